#pragma once

#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

#include <QWidget>

class QCheckBox;
class QDateEdit;

// "From [day]  To [day]": the period an export or a print keeps. An end
// left unticked is open, so the box changes nothing until the user asks;
// the days start at the first and the last day of the messages.
class DateRangeBox : public QWidget
{
    Q_OBJECT
public:
    explicit DateRangeBox(const MsgMessageList &messages, QWidget *parent = nullptr);

    MessageDateRange range() const;

signals:
    void rangeChanged();

private:
    QDateEdit *addEnd(const QString &label, const QString &accessibleName, QCheckBox *&check);

    QCheckBox *m_fromCheck = nullptr;
    QDateEdit *m_from = nullptr;
    QCheckBox *m_toCheck = nullptr;
    QDateEdit *m_to = nullptr;
};
