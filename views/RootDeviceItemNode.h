#pragma once

#include "views/AbsTreeItemModel.h"

// The "Devices" row; its children are the phones.
class _RootDeviceItemNode : public AbsTreeItemModel::_ItemNode
{
public:
    explicit _RootDeviceItemNode(const QString &text)
        : _ItemNode(AbsTreeItemModel::KindRootDevice, text)
    {
    }
};
