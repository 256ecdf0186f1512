#include "import/SmsBackupMessageWriter.h"

#include "android/DownloadRecord.h"
#include "android/GroupConversation.h"
#include "country/CountryLibDb.h"
#include "import/SmsBackupRecord.h"
#include "store/ExportMessagesDb.h"

#include <QSet>

namespace {

// Normalised numbers remembered at most (then forgotten all at once).
const qsizetype NormalisedCacheSize = 20000;

DownloadRecord downloadRecord(const SmsBackupRecord &record, const QString &number, const QString &text)
{
    DownloadRecord fields;
    fields.timeMs = record.dateMs;
    fields.fromMe = record.fromMe;
    fields.number = number;
    fields.contactName = record.contactName;
    fields.text = text;
    fields.subject = record.subject;
    return fields;
}

} // namespace

SmsBackupMessageWriter::SmsBackupMessageWriter(ExportMessagesDb &writer, const QString &countryCode)
    : m_writer(writer)
    , m_countries(std::make_unique<CountryLibDb>(countryCode))
{
}

SmsBackupMessageWriter::~SmsBackupMessageWriter() = default;

int SmsBackupMessageWriter::write(const SmsBackupRecord &record)
{
    return record.kind == SmsBackupRecord::Sms ? writeSms(record) : writeMms(record);
}

int SmsBackupMessageWriter::writeSms(const SmsBackupRecord &record)
{
    const RecordMessages source(downloadRecord(record, record.address, record.body), normalised(record.address));
    m_writer.write(source.message());
    return 1;
}

int SmsBackupMessageWriter::writeMms(const SmsBackupRecord &record)
{
    // The text comes in text parts, as a download receives it.
    QStringList parties;
    for (const QString &party : otherParties(record))
        parties.append(normalised(party));
    parties = withoutOwnNumbers(parties);
    parties.removeDuplicates();
    if (parties.size() <= 1) {
        const QString party = parties.value(0);
        const RecordMessages source(downloadRecord(record, party, QString()), party);
        return writeParts(record, source);
    }

    const QString sender = record.fromMe ? QString() : normalised(senderAddress(record));
    if (!sender.isEmpty() && !parties.contains(sender))
        parties.append(sender);
    // What is sent to a group has no one other party; the group's members
    // stand in for it in the content the message is named by.
    const QString party = sender.isEmpty() ? GroupConversation::identifierOf(parties) : sender;
    DownloadRecord fields = downloadRecord(record, party, QString());
    fields.contactName.clear();  // the names of all members, not the sender's
    const RecordMessages source(fields, party, parties, sender);
    return writeParts(record, source);
}

int SmsBackupMessageWriter::writeParts(const SmsBackupRecord &record, const RecordMessages &source)
{
    int written = 0;
    QSet<QString> usedNames;
    for (const SmsBackupPart &part : record.parts) {
        // Named like a download names them, text parts included.
        const QString name = uniqueAttachmentName(attachmentFileName(part.name), usedNames);
        if (part.isPlainText()) {
            const QString text = part.text.trimmed();
            if (text.isEmpty())
                continue;
            m_writer.write(source.plainTextPart(text));
        } else if (!part.filePath().isEmpty()) {
            _MsgAttachment attachment = source.mediaAttachment(part.mime, name, part.filePath(), part.bytes);
            m_writer.write(source.mediaPart(attachment));
        } else {
            continue;
        }
        ++written;
    }
    return written;
}

QStringList SmsBackupMessageWriter::withoutOwnNumbers(const QStringList &parties) const
{
    QStringList others;
    for (const QString &party : parties) {
        if (!m_ownNumbers.contains(party))
            others.append(party);
    }
    // A message the phone sent itself still has a party.
    return others.isEmpty() ? parties : others;
}

void SmsBackupMessageWriter::setOwnNumbers(const QStringList &numbers)
{
    m_ownNumbers.clear();
    for (const QString &number : numbers)
        m_ownNumbers.insert(normalised(number));
}

QStringList SmsBackupMessageWriter::otherParties(const SmsBackupRecord &record)
{
    QStringList parties;
    for (const QString &address : record.address.split(QLatin1Char('~'), Qt::SkipEmptyParts)) {
        if (!address.trimmed().isEmpty())
            parties.append(address.trimmed());
    }
    if (!parties.isEmpty())
        return parties;
    for (const SmsBackupAddress &address : record.addresses) {
        const bool otherSide = record.fromMe ? address.role != SmsBackupAddress::From
                                             : address.role == SmsBackupAddress::From;
        if (otherSide && !address.address.isEmpty())
            parties.append(address.address);
    }
    return parties;
}

QString SmsBackupMessageWriter::senderAddress(const SmsBackupRecord &record)
{
    for (const SmsBackupAddress &address : record.addresses) {
        if (address.role == SmsBackupAddress::From)
            return address.address;
    }
    return QString();
}

QString SmsBackupMessageWriter::normalised(const QString &number)
{
    // Most messages of a backup come from a few hundred numbers.
    const auto known = m_normalised.constFind(number);
    if (known != m_normalised.constEnd())
        return *known;
    if (m_normalised.size() >= NormalisedCacheSize)
        m_normalised.clear();
    const QString result = m_countries->normalise(number);
    m_normalised.insert(number, result);
    return result;
}
