#pragma once

#include <QHash>
#include <QImage>
#include <QSharedPointer>

#include "views/AbsTreeItemModel.h"

struct AndroidDevice;
class IOS6MessageDb;
class _AbsDBItemNode;
class _AndroidDeviceItemNode;
class _ChatSessionItemNode;
class _LocalDBItemNode;
class _RootDeviceItemNode;
class _RootLocalDBItemNode;

// The tree of message sources: "Devices" with the connected phones and
// "Local Databases" with the database folders, each source with its
// conversations below it. One column; rows are 25 pixels high.
//
// The model loads nothing itself: the owner adds source nodes, loads into a
// node's data set and calls rebuildConversations.
class ItemModelMain : public AbsTreeItemModel
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 25;
    static constexpr int kIconSize = 18;

    explicit ItemModelMain(QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The two top-level rows; they live as long as the model.
    _RootDeviceItemNode *deviceRoot() const { return m_deviceRoot; }
    _RootLocalDBItemNode *localDbRoot() const { return m_localDbRoot; }

    // A phone at the end of "Devices", with an empty data set.
    _AndroidDeviceItemNode *addAndroidDevice(const QSharedPointer<IOS6MessageDb> &db,
                                             const AndroidDevice &device);
    // A database folder at the end of "Local Databases", with an empty data set.
    _LocalDBItemNode *addLocalDatabase(const QSharedPointer<IOS6MessageDb> &db, const QString &name);

    // Replaces the node's conversations by the chats of its data set grouped
    // by chat_identifier, newest first.
    void rebuildConversations(_AbsDBItemNode *node);

protected:
    bool isPermanent(const _ItemNode *node) const override;

private:
    QImage nodeIcon(const _ItemNode &node) const;
    QImage conversationIcon(const _ChatSessionItemNode &node) const;
    QImage kindIcon(qint32 kind) const;

    _RootDeviceItemNode *m_deviceRoot = nullptr;
    _RootLocalDBItemNode *m_localDbRoot = nullptr;
    mutable QHash<qint32, QImage> m_kindIcons;
};
