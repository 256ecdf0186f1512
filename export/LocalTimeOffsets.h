#pragma once

#include <QDateTime>
#include <QTimeZone>

// Local date-times for many instants in a row, as an export needs them. Each
// conversion through the C library's local time looks at the time-zone file
// again (a system call per message); here the offset is looked up once per
// stretch between two transitions of the zone and reused while the instants
// stay inside it.
class LocalTimeOffsets
{
public:
    LocalTimeOffsets();

    // The local date-time of `unixSeconds`, as a date-time with a fixed
    // offset from UTC (same fields as the local one).
    QDateTime localDateTime(qint64 unixSeconds);
    // ISO 8601 with the offset always written out ("+00:00", never "Z"), so
    // that a reader sees it is the local time: "2023-05-14T09:30:00+02:00".
    static QString isoWithOffset(const QDateTime &time);
    // The local wall-clock time of `unixSeconds` counted like a Unix time.
    qint64 localSeconds(qint64 unixSeconds);

private:
    void lookUp(qint64 unixSeconds);

    QTimeZone m_zone;
    qint64 m_validFrom = 1;  // empty range: nothing looked up yet
    qint64 m_validUntil = 0;
    int m_offset = 0;
};
