#include "views/AbsTreeItemModel.h"

#include <algorithm>

AbsTreeItemModel::_ItemNode::_ItemNode(qint32 kind, const QString &text)
    : kind(kind)
    , text(text)
{
}

AbsTreeItemModel::_ItemNode::~_ItemNode()
{
    qDeleteAll(children);
}

AbsTreeItemModel::AbsTreeItemModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

AbsTreeItemModel::~AbsTreeItemModel()
{
    qDeleteAll(roots);
}

QModelIndex AbsTreeItemModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    const QList<_ItemNode *> &siblings = siblingsOf(nodeFromIndex(parent));
    return createIndex(row, column, siblings.at(row));
}

QModelIndex AbsTreeItemModel::parent(const QModelIndex &index) const
{
    const _ItemNode *node = nodeFromIndex(index);
    if (!node || !node->parentNode)
        return QModelIndex();
    return indexOfNode(node->parentNode);
}

int AbsTreeItemModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(siblingsOf(nodeFromIndex(parent)).size());
}

AbsTreeItemModel::_ItemNode *AbsTreeItemModel::nodeFromIndex(const QModelIndex &index)
{
    return index.isValid() ? static_cast<_ItemNode *>(index.internalPointer()) : nullptr;
}

QModelIndex AbsTreeItemModel::indexOfNode(const _ItemNode *node) const
{
    if (!node)
        return QModelIndex();
    // Rows are looked up rather than remembered: a removal shifts the rows of
    // the siblings after it.
    const int row = rowOfNode(node);
    if (row < 0)
        return QModelIndex();
    return createIndex(row, 0, const_cast<_ItemNode *>(node));
}

void AbsTreeItemModel::removeChildren(_ItemNode *node)
{
    if (node && rowOfNode(node) < 0)
        return;  // not a node of this tree
    QList<_ItemNode *> &children = siblingsOf(node);
    const int count = int(children.size());
    if (count < 1)
        return;
    beginRemoveRows(indexOfNode(node), 0, count - 1);
    const QList<_ItemNode *> doomed = children;
    children.clear();
    qDeleteAll(doomed);
    endRemoveRows();
}

void AbsTreeItemModel::removeNode(_ItemNode *node)
{
    if (!node || isPermanent(node) || rowOfNode(node) < 0)
        return;
    removeChildren(node);
    QList<_ItemNode *> &siblings = siblingsOf(node->parentNode);
    const int row = int(siblings.indexOf(node));
    beginRemoveRows(indexOfNode(node->parentNode), row, row);
    siblings.removeAt(row);
    delete node;
    endRemoveRows();
}

int AbsTreeItemModel::countChildrenOfKind(const _ItemNode *node, qint32 kind)
{
    if (!node)
        return 0;
    return int(std::count_if(node->children.cbegin(), node->children.cend(),
                             [kind](const _ItemNode *child) { return child->kind == kind; }));
}

void AbsTreeItemModel::appendNodes(_ItemNode *parentNode, const QList<_ItemNode *> &nodes)
{
    if (nodes.isEmpty())
        return;
    QList<_ItemNode *> &siblings = siblingsOf(parentNode);
    const int first = int(siblings.size());
    beginInsertRows(indexOfNode(parentNode), first, first + int(nodes.size()) - 1);
    for (_ItemNode *node : nodes) {
        node->parentNode = parentNode;
        siblings.append(node);
    }
    endInsertRows();
}

bool AbsTreeItemModel::isPermanent(const _ItemNode *) const
{
    return false;
}

QList<AbsTreeItemModel::_ItemNode *> &AbsTreeItemModel::siblingsOf(_ItemNode *parentNode)
{
    return parentNode ? parentNode->children : roots;
}

const QList<AbsTreeItemModel::_ItemNode *> &AbsTreeItemModel::siblingsOf(const _ItemNode *parentNode) const
{
    return parentNode ? parentNode->children : roots;
}

int AbsTreeItemModel::rowOfNode(const _ItemNode *node) const
{
    const _ItemNode *top = node;
    while (top->parentNode)
        top = top->parentNode;
    if (!roots.contains(const_cast<_ItemNode *>(top)))
        return -1;  // a node of another tree, or one already taken out
    return int(siblingsOf(node->parentNode).indexOf(const_cast<_ItemNode *>(node)));
}
