#pragma once

#include <QDateTime>

// Stored dates count seconds since 2001-01-01 00:00:00 UTC in a signed 32-bit
// integer.

// Unix time of 2001-01-01 00:00:00 UTC.
constexpr qint64 kAppleEpochUnixSeconds = 978307200;

// The stored date as a local date-time.
QDateTime appleTimeToDateTime(qint32 seconds);
// The inverse; whole seconds, clamped to the 32-bit range. An invalid
// date-time gives 0.
qint32 dateTimeToAppleTime(const QDateTime &dateTime);
// The stored date of a Unix time (seconds), clamped likewise.
qint32 unixTimeToAppleTime(qint64 unixSeconds);
