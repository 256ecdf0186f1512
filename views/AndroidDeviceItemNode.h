#pragma once

#include "android/AndroidDevice.h"
#include "views/AbsDBItemNode.h"

// A phone whose messages were downloaded; its database is the phone's cache.
// The copy of the device record lets the window find the node of a phone.
class _AndroidDeviceItemNode : public _AbsDBItemNode
{
public:
    _AndroidDeviceItemNode(const AndroidDevice &device, const QSharedPointer<IOS6MessageDb> &db);

    AndroidDevice device;
};
