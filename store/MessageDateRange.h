#pragma once

#include "store/MsgMessageList.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// The messages dated between two moments, both included; either end may be
// open. Exports and prints of a period use it, so a range names the same
// messages on the command line and in the window.
class MessageDateRange
{
public:
    enum class Bound { Start, End };

    // Every message.
    MessageDateRange() = default;
    // Throws std::runtime_error when `since` comes after `until`.
    MessageDateRange(const std::optional<QDateTime> &since, const std::optional<QDateTime> &until);

    // Whole local days: from the first moment of `first` to the last of `last`.
    static MessageDateRange ofDays(const std::optional<QDate> &first, const std::optional<QDate> &last);
    // "2024-03-01", "2024-03-01T08:30" or "2024-03-01T08:30:00+01:00"; a day
    // alone stands for its first moment (Start) or its last (End), local time.
    // Throws std::runtime_error naming the text when it is no date.
    static QDateTime parseBound(const QString &text, Bound bound);

    bool isOpen() const { return !m_since && !m_until; }
    // The ends as stored dates (seconds since 2001); nothing for an open end.
    std::optional<qint64> since() const { return m_since; }
    std::optional<qint64> until() const { return m_until; }
    bool contains(const _MsgMessage &message) const;
    MsgMessageList filtered(const MsgMessageList &messages) const;

private:
    // Stored dates: seconds since 2001, as the messages keep them.
    std::optional<qint64> m_since;
    std::optional<qint64> m_until;
};
