#include "import/PhoneOwnNumbers.h"

#include "import/SmsBackupRecord.h"

namespace {

// A number, not a placeholder such as "insert-address-token".
bool isNumber(const QString &address)
{
    bool digit = false;
    for (const QChar c : address) {
        if (c.isLetter())
            return false;
        digit = digit || c.isDigit();
    }
    return digit;
}

} // namespace

void PhoneOwnNumbers::learn(const SmsBackupRecord &record)
{
    if (record.kind != SmsBackupRecord::Mms)
        return;
    QStringList senders;
    QStringList recipients;
    for (const SmsBackupAddress &address : record.addresses)
        (address.role == SmsBackupAddress::From ? senders : recipients).append(address.address);
    if (record.fromMe && senders.size() == 1 && isNumber(senders.first()))
        m_numbers.insert(senders.first());
    if (!record.fromMe && senders.size() == 1 && recipients.size() == 1 && isNumber(recipients.first()))
        m_numbers.insert(recipients.first());
}
