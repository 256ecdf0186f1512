#pragma once

#include "views/AbsTreeItemModel.h"

// The "Local Databases" row; its children are the database folders.
class _RootLocalDBItemNode : public AbsTreeItemModel::_ItemNode
{
public:
    explicit _RootLocalDBItemNode(const QString &text)
        : _ItemNode(AbsTreeItemModel::KindRootLocalDb, text)
    {
    }
};
