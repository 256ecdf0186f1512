#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>

// An item model over a tree of nodes that the model owns. Nodes carry a kind
// number that callers test instead of the node's class; a node owns its
// children, so deleting a node deletes its subtree.
class AbsTreeItemModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    // The kinds of node of the main tree.
    enum NodeKind : qint32 {
        KindRootDevice = 1,
        KindRootLocalDb = 2,
        KindIPhoneDevice = 3,  // only its icon exists; never created
        KindAndroidDevice = 4,
        KindLocalDb = 5,
        KindChatSession = 6,
    };

    class _ItemNode
    {
    public:
        _ItemNode(qint32 kind, const QString &text);
        virtual ~_ItemNode();
        _ItemNode(const _ItemNode &) = delete;
        _ItemNode &operator=(const _ItemNode &) = delete;

        const qint32 kind;
        QString text;
        _ItemNode *parentNode = nullptr;
        QList<_ItemNode *> children;  // owned
    };

    explicit AbsTreeItemModel(QObject *parent = nullptr);
    ~AbsTreeItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;

    // The node an index of this model stands for; null for the invalid index.
    static _ItemNode *nodeFromIndex(const QModelIndex &index);

    // The index of a node of this model (column 0); invalid for null.
    QModelIndex indexOfNode(const _ItemNode *node) const;

    // Deletes the node's children (the top-level nodes for null), announced
    // as one row removal; nothing is announced when there are none.
    void removeChildren(_ItemNode *node);

    // Removes the node's children, then the node itself, each announced as a
    // row removal. A node that is not in the tree, or that the model keeps
    // for its whole life, is left alone.
    void removeNode(_ItemNode *node);

    // How many direct children of `node` have that kind.
    static int countChildrenOfKind(const _ItemNode *node, qint32 kind);

    const QList<_ItemNode *> &rootNodes() const { return roots; }

protected:
    // Appends nodes under `parentNode` (top level for null), announced as one
    // row insertion; the model takes ownership.
    void appendNodes(_ItemNode *parentNode, const QList<_ItemNode *> &nodes);

    // Nodes removeNode must keep (the fixed roots of a subclass).
    virtual bool isPermanent(const _ItemNode *node) const;

    QList<_ItemNode *> roots;  // top-level nodes, owned

private:
    QList<_ItemNode *> &siblingsOf(_ItemNode *parentNode);
    const QList<_ItemNode *> &siblingsOf(const _ItemNode *parentNode) const;
    int rowOfNode(const _ItemNode *node) const;
};
