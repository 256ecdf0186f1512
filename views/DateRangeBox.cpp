#include "views/DateRangeBox.h"

#include "store/AppleTime.h"
#include "store/MsgMessage.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

#include <algorithm>
#include <limits>

namespace {

// The first and the last local day of the messages; today for none.
std::pair<QDate, QDate> messageDays(const MsgMessageList &messages)
{
    qint32 first = std::numeric_limits<qint32>::max();
    qint32 last = std::numeric_limits<qint32>::min();
    for (const _MsgMessage *message : messages) {
        if (!message)
            continue;
        first = std::min(first, message->date);
        last = std::max(last, message->date);
    }
    if (first > last)
        return {QDate::currentDate(), QDate::currentDate()};
    return {appleTimeToDateTime(first).date(), appleTimeToDateTime(last).date()};
}

} // namespace

DateRangeBox::DateRangeBox(const MsgMessageList &messages, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_from = addEnd(tr("From"), tr("First day to keep"), m_fromCheck);
    m_to = addEnd(tr("To"), tr("Last day to keep"), m_toCheck);
    layout->addStretch();

    const auto [first, last] = messageDays(messages);
    m_from->setDate(first);
    m_to->setDate(last);
    // The ends never cross, so the period is always one a range can hold.
    connect(m_from, &QDateEdit::dateChanged, m_to, &QDateEdit::setMinimumDate);
    connect(m_to, &QDateEdit::dateChanged, m_from, &QDateEdit::setMaximumDate);
    m_to->setMinimumDate(first);
    m_from->setMaximumDate(last);
}

QDateEdit *DateRangeBox::addEnd(const QString &label, const QString &accessibleName, QCheckBox *&check)
{
    check = new QCheckBox(label, this);
    auto *edit = new QDateEdit(this);
    edit->setCalendarPopup(true);
    edit->setEnabled(false);
    edit->setAccessibleName(accessibleName);
    layout()->addWidget(check);
    layout()->addWidget(edit);
    connect(check, &QCheckBox::toggled, edit, &QDateEdit::setEnabled);
    connect(check, &QCheckBox::toggled, this, &DateRangeBox::rangeChanged);
    connect(edit, &QDateEdit::dateChanged, this, [this, check] {
        if (check->isChecked())
            emit rangeChanged();
    });
    return edit;
}

MessageDateRange DateRangeBox::range() const
{
    const auto day = [](const QCheckBox *check, const QDateEdit *edit) -> std::optional<QDate> {
        if (!check->isChecked())
            return std::nullopt;
        return edit->date();
    };
    return MessageDateRange::ofDays(day(m_fromCheck, m_from), day(m_toCheck, m_to));
}
