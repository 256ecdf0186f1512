#include "store/AppleTime.h"

#include <limits>

QDateTime appleTimeToDateTime(qint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(kAppleEpochUnixSeconds + seconds, Qt::LocalTime);
}

qint32 unixTimeToAppleTime(qint64 unixSeconds)
{
    // Bounded before the subtraction, which would overflow near the ends of
    // the 64-bit range (dates read from files are anything).
    constexpr qint64 lowest = std::numeric_limits<qint32>::min() + kAppleEpochUnixSeconds;
    constexpr qint64 highest = std::numeric_limits<qint32>::max() + kAppleEpochUnixSeconds;
    return qint32(qBound(lowest, unixSeconds, highest) - kAppleEpochUnixSeconds);
}

qint32 dateTimeToAppleTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    return unixTimeToAppleTime(dateTime.toSecsSinceEpoch());
}
