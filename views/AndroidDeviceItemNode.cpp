#include "views/AndroidDeviceItemNode.h"

_AndroidDeviceItemNode::_AndroidDeviceItemNode(const AndroidDevice &device,
                                               const QSharedPointer<IOS6MessageDb> &db)
    : _AbsDBItemNode(AbsTreeItemModel::KindAndroidDevice, device.displayName(), db)
    , device(device)
{
}
