#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class CountryLibDb;
class ExportMessagesDb;
class RecordMessages;
struct SmsBackupRecord;

// Turns the messages of a backup file into the records a phone download
// makes of the same messages, and merges them through the writer. Identical
// fields (date, direction, normalised number, text, attachment names) give
// identical content hashes, so a message imported here and downloaded from
// the phone later is stored once:
//  - an SMS is one message;
//  - an MMS is one message per non-empty text part and one per media part
//    (with U+FFFC as text and that one attachment), as a download splits it;
//  - an MMS with several other parties goes to their GroupConversation (the
//    phone's own numbers, when known, are no members); a received one is
//    attributed to its sender (address type 137), and meets the same message
//    downloaded from the phone, which names no sender, in the merge writer.
class SmsBackupMessageWriter
{
public:
    // `writer` has begun its run and outlives this object; `countryCode` is
    // the mobile country code that completes national numbers.
    SmsBackupMessageWriter(ExportMessagesDb &writer, const QString &countryCode);
    ~SmsBackupMessageWriter();
    SmsBackupMessageWriter(const SmsBackupMessageWriter &) = delete;
    SmsBackupMessageWriter &operator=(const SmsBackupMessageWriter &) = delete;

    // Hands the record's messages to the writer; returns how many.
    int write(const SmsBackupRecord &record);
    // The phone's own numbers, as written: a source that lists the phone
    // among a group's addresses has them left out of the group's members.
    void setOwnNumbers(const QStringList &numbers);

private:
    int writeSms(const SmsBackupRecord &record);
    int writeMms(const SmsBackupRecord &record);
    // The parts as messages of `source`.
    int writeParts(const SmsBackupRecord &record, const RecordMessages &source);
    // `parties` (normalised) but the phone's own numbers, unless only those.
    QStringList withoutOwnNumbers(const QStringList &parties) const;
    // The other parties as written: the "~"-separated address, else the
    // addresses of the other side.
    static QStringList otherParties(const SmsBackupRecord &record);
    static QString senderAddress(const SmsBackupRecord &record);
    QString normalised(const QString &number);

    ExportMessagesDb &m_writer;
    std::unique_ptr<CountryLibDb> m_countries;
    QHash<QString, QString> m_normalised;  // as written -> normalised
    QSet<QString> m_ownNumbers;            // normalised
};
