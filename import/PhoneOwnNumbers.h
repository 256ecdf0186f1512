#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

struct SmsBackupRecord;

// The phone's own numbers as the addresses of its MMS show them: the sender
// of what it sent (where the phone wrote its number rather than a
// placeholder) and the one recipient of what it received from one other
// party. A source that lists the phone among the recipients of a group's MMS
// needs them to tell the phone from the group's members.
class PhoneOwnNumbers
{
public:
    void learn(const SmsBackupRecord &record);
    // As written in the source, each once.
    QStringList numbers() const { return QStringList(m_numbers.begin(), m_numbers.end()); }

private:
    QSet<QString> m_numbers;
};
