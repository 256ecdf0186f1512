#include "store/AppleTime.h"

#include <limits>

QDateTime appleTimeToDateTime(qint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(kAppleEpochUnixSeconds + seconds, Qt::LocalTime);
}

qint32 unixTimeToAppleTime(qint64 unixSeconds)
{
    const qint64 seconds = unixSeconds - kAppleEpochUnixSeconds;
    constexpr qint64 lowest = std::numeric_limits<qint32>::min();
    constexpr qint64 highest = std::numeric_limits<qint32>::max();
    return qint32(qBound(lowest, seconds, highest));
}

qint32 dateTimeToAppleTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    return unixTimeToAppleTime(dateTime.toSecsSinceEpoch());
}
