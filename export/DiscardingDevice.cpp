#include "export/DiscardingDevice.h"

DiscardingDevice::DiscardingDevice()
{
    open(QIODevice::WriteOnly);
}

qint64 DiscardingDevice::readData(char *, qint64)
{
    return -1;
}

qint64 DiscardingDevice::writeData(const char *, qint64 size)
{
    return size;
}
