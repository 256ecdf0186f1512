#pragma once

#include <QIODevice>

// A device that takes every byte and keeps none: a paint run whose only use
// is to count the pages it makes writes its PDF here.
class DiscardingDevice : public QIODevice
{
public:
    DiscardingDevice();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;
};
