#include "export/LocalTimeOffsets.h"

#include <cstdlib>
#include <limits>

namespace {

// Without a list of transitions an offset is trusted for a quarter of an
// hour: every zone changes its offset on such a boundary.
constexpr qint64 kFallbackStretchSeconds = 15 * 60;

} // namespace

LocalTimeOffsets::LocalTimeOffsets()
    : m_zone(QTimeZone::systemTimeZone())
{
}

QDateTime LocalTimeOffsets::localDateTime(qint64 unixSeconds)
{
    if (unixSeconds < m_validFrom || unixSeconds >= m_validUntil)
        lookUp(unixSeconds);
    return QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::OffsetFromUTC, m_offset);
}

QString LocalTimeOffsets::isoWithOffset(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toOffsetFromUtc(offset).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))
        + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

qint64 LocalTimeOffsets::localSeconds(qint64 unixSeconds)
{
    if (unixSeconds < m_validFrom || unixSeconds >= m_validUntil)
        lookUp(unixSeconds);
    return unixSeconds + m_offset;
}

void LocalTimeOffsets::lookUp(qint64 unixSeconds)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::UTC);
    if (!m_zone.isValid() || !m_zone.hasTransitions()) {
        m_offset = QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::LocalTime).offsetFromUtc();
        m_validFrom = unixSeconds - ((unixSeconds % kFallbackStretchSeconds) + kFallbackStretchSeconds)
            % kFallbackStretchSeconds;
        m_validUntil = m_validFrom + kFallbackStretchSeconds;
        return;
    }
    m_offset = m_zone.offsetFromUtc(at);
    const QTimeZone::OffsetData before = m_zone.previousTransition(at.addSecs(1));
    const QTimeZone::OffsetData after = m_zone.nextTransition(at);
    m_validFrom = before.atUtc.isValid() ? before.atUtc.toSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    m_validUntil = after.atUtc.isValid() ? after.atUtc.toSecsSinceEpoch() : std::numeric_limits<qint64>::max();
}
