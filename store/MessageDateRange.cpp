#include "store/MessageDateRange.h"

#include "store/AppleTime.h"
#include "store/MsgMessage.h"

#include <QCoreApplication>
#include <QTime>

#include <algorithm>
#include <stdexcept>

namespace {

std::optional<qint64> storedSeconds(const std::optional<QDateTime> &moment)
{
    if (!moment)
        return std::nullopt;
    return moment->toSecsSinceEpoch() - kAppleEpochUnixSeconds;
}

} // namespace

MessageDateRange::MessageDateRange(const std::optional<QDateTime> &since, const std::optional<QDateTime> &until)
    : m_since(storedSeconds(since))
    , m_until(storedSeconds(until))
{
    if (m_since && m_until && *m_since > *m_until)
        throw std::runtime_error(QCoreApplication::translate("MessageDateRange", "The start of the period (%1) comes after its end (%2).")
                                     .arg(since->toString(Qt::ISODate), until->toString(Qt::ISODate))
                                     .toStdString());
}

MessageDateRange MessageDateRange::ofDays(const std::optional<QDate> &first, const std::optional<QDate> &last)
{
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
    if (first)
        since = first->startOfDay();
    if (last)
        until = last->endOfDay();
    return MessageDateRange(since, until);
}

QDateTime MessageDateRange::parseBound(const QString &text, Bound bound)
{
    const QString trimmed = text.trimmed();
    const QDate day = QDate::fromString(trimmed, Qt::ISODate);
    if (day.isValid())
        return bound == Bound::Start ? day.startOfDay() : day.endOfDay();
    const QDateTime moment = QDateTime::fromString(trimmed, Qt::ISODate);
    if (moment.isValid())
        return moment;
    throw std::runtime_error(
        QCoreApplication::translate("MessageDateRange", "'%1' is not a date; write it as 2024-03-01 or 2024-03-01T08:30").arg(text).toStdString());
}

bool MessageDateRange::contains(const _MsgMessage &message) const
{
    const qint64 date = message.date;
    return (!m_since || date >= *m_since) && (!m_until || date <= *m_until);
}

MsgMessageList MessageDateRange::filtered(const MsgMessageList &messages) const
{
    if (isOpen())
        return messages;
    MsgMessageList inRange;
    std::copy_if(messages.cbegin(), messages.cend(), std::back_inserter(inRange),
                 [this](const _MsgMessage *message) { return message && contains(*message); });
    return inRange;
}
