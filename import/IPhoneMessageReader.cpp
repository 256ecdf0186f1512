#include "import/IPhoneMessageReader.h"

#include "import/AttributedBodyText.h"
#include "import/IPhoneBackupFolder.h"
#include "store/AppleTime.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QObject>

#include <cstdlib>
#include <stdexcept>

namespace {

// Dates above this many units since 2001 are nanoseconds: as seconds they
// would lie thousands of years ahead.
const qint64 NanosecondDates = 100000000000LL;
const qint32 GroupChatStyle = 43;
const QChar AttachmentMarker(0xFFFC);
// Link previews and app payloads: what draws a message on an iPhone, not a file sent.
const QLatin1String PayloadSuffix(".pluginPayloadAttachment");

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

[[noreturn]] void failUnknownLayout(const QString &missing)
{
    fail(QObject::tr("The message database of this iPhone backup is not one this program can read: "
                     "it has no \"%1\".").arg(missing));
}

} // namespace

IPhoneMessageReader::IPhoneMessageReader(IPhoneBackupFolder &backup)
    : m_backup(backup)
{
    const QString path = backup.messageDatabasePath();
    try {
        m_db.openThrow(path, Sqlite3DB::OpenReadOnly);
        checkSchema();
        loadChats();
        Sqlite3Cursor count = m_db.queryThrow(QStringLiteral("select count(*) from message"));
        m_rowCount = count.moveNext() ? count.getInt64(0) : 0;
        m_rows = m_db.queryThrow(
            QStringLiteral("select m.ROWID, m.text, %1 as body, m.date, m.is_from_me, %2 as hasFiles,"
                           " %3 as associated, %4 as item, %5 as retracted, %6 as edited, %7 as effect,"
                           " h.id as sender,"
                           " (select min(chat_id) from chat_message_join j where j.message_id=m.ROWID) as chat"
                           " from message m left join handle h on h.ROWID=m.handle_id order by m.ROWID")
                .arg(optionalColumn(QStringLiteral("attributedBody"), QStringLiteral("NULL")),
                     optionalColumn(QStringLiteral("cache_has_attachments"), QStringLiteral("1")),
                     optionalColumn(QStringLiteral("associated_message_type"), QStringLiteral("0")),
                     optionalColumn(QStringLiteral("item_type"), QStringLiteral("0")),
                     optionalColumn(QStringLiteral("date_retracted"), QStringLiteral("0")),
                     optionalColumn(QStringLiteral("date_edited"), QStringLiteral("0")),
                     optionalColumn(QStringLiteral("expressive_send_style_id"), QStringLiteral("NULL"))));
    } catch (const SqliteException &) {
        failDamaged(QObject::tr("The message database of this iPhone backup could not be read (%1)."));
    }
}

void IPhoneMessageReader::checkSchema()
{
    const QStringList needed{QStringLiteral("message"), QStringLiteral("handle"), QStringLiteral("chat"),
                             QStringLiteral("chat_message_join"), QStringLiteral("chat_handle_join")};
    for (const QString &table : needed) {
        if (m_db.tbInfo(table).isEmpty())
            failUnknownLayout(table);
    }
    for (const QString &column : m_db.tbInfo(QStringLiteral("message")).keys())
        m_messageColumns.insert(column.toLower());
    for (const char *column : {"text", "date", "is_from_me", "handle_id"}) {
        if (!m_messageColumns.contains(QLatin1String(column)))
            failUnknownLayout(QStringLiteral("message.") + QLatin1String(column));
    }
}

QString IPhoneMessageReader::optionalColumn(const QString &column, const QString &fallback) const
{
    return m_messageColumns.contains(column.toLower()) ? QStringLiteral("m.") + column : fallback;
}

void IPhoneMessageReader::loadChats()
{
    Sqlite3Cursor chats = m_db.queryThrow(QStringLiteral("select ROWID, chat_identifier, style from chat"));
    while (chats.moveNext()) {
        Chat &chat = m_chats[chats.getInt64(0)];
        chat.identifier = chats.getText(1);
        chat.group = chats.getInt(2) == GroupChatStyle;
    }
    Sqlite3Cursor members = m_db.queryThrow(QStringLiteral(
        "select j.chat_id, h.id from chat_handle_join j join handle h on h.ROWID=j.handle_id order by j.chat_id, h.ROWID"));
    while (members.moveNext()) {
        const auto chat = m_chats.find(members.getInt64(0));
        if (chat != m_chats.end() && !chat->members.contains(members.getText(1)))
            chat->members.append(members.getText(1));
    }
}

qint64 IPhoneMessageReader::unixMilliseconds(qint64 appleDate)
{
    const qint64 sinceEpoch = std::llabs(appleDate) > NanosecondDates ? appleDate / 1000000 : appleDate * 1000;
    return kAppleEpochUnixSeconds * 1000 + sinceEpoch;
}

bool IPhoneMessageReader::next(SmsBackupRecord &record)
{
    try {
        for (;;) {
            if (!m_rows.moveNext())
                return false;
            ++m_rowsRead;
            if (readRow(record))
                return true;
            ++m_skipped;
        }
    } catch (const SqliteException &) {
        failDamaged(QObject::tr("The message database of this iPhone backup is damaged (%1)."));
    }
}

bool IPhoneMessageReader::readRow(SmsBackupRecord &record)
{
    if (isSkippedItem())
        return false;
    record = SmsBackupRecord();
    record.line = m_rows.getInt64(0);
    record.dateMs = unixMilliseconds(m_rows.getInt64(3));
    record.fromMe = m_rows.getInt(4) != 0;
    const QString sender = m_rows.getText(11);
    const auto chat = m_chats.constFind(m_rows.getInt64(12));
    const Chat *conversation = chat == m_chats.constEnd() ? nullptr : &*chat;
    const QStringList parties = otherParties(conversation, sender);
    if (parties.isEmpty())
        return false;  // no one to file it under

    QString text = m_rows.getText(1);
    if (text.isEmpty())
        text = attributedBodyText(m_rows.getBlob(2));
    text.remove(AttachmentMarker);  // the places of attachments, which become parts of their own
    if (m_rows.getInt(5) != 0)
        addAttachmentParts(record.line, record);
    const bool group = conversation && conversation->group && parties.size() > 1;
    if (record.parts.empty() && !group) {
        if (text.trimmed().isEmpty())
            return false;
        record.kind = SmsBackupRecord::Sms;
        record.address = parties.constFirst();
        record.body = text;
    } else {
        record.kind = SmsBackupRecord::Mms;
        record.address = parties.join(QLatin1Char('~'));
        if (!record.fromMe && !sender.isEmpty())
            record.addresses.push_back(SmsBackupAddress{sender, SmsBackupAddress::From});
        addTextPart(text, record);
        if (record.parts.empty())
            return false;
    }
    if (m_rows.getInt64(9) != 0)
        ++m_leftOut;
    if (!m_rows.getText(10).isEmpty())
        ++m_leftOut;
    return true;
}

bool IPhoneMessageReader::isSkippedItem() const
{
    // Reactions, stickers and replies drawn onto another message; group
    // renames and member changes; messages unsent again.
    return m_rows.getInt64(6) != 0 || m_rows.getInt64(7) != 0 || m_rows.getInt64(8) != 0;
}

QStringList IPhoneMessageReader::otherParties(const Chat *chat, const QString &sender) const
{
    if (chat && chat->group && !chat->members.isEmpty())
        return chat->members;
    if (!sender.isEmpty())
        return {sender};
    if (chat && !chat->members.isEmpty())
        return {chat->members.constFirst()};
    if (chat && !chat->identifier.isEmpty())
        return {chat->identifier};
    return {};
}

void IPhoneMessageReader::addTextPart(const QString &text, SmsBackupRecord &record)
{
    if (text.trimmed().isEmpty())
        return;
    SmsBackupPart part;
    part.mime = QStringLiteral("text/plain");
    part.name = QStringLiteral("text_0.txt");
    part.text = text;
    // The text goes first, as it is read on the phone.
    record.parts.insert(record.parts.begin(), std::move(part));
}

void IPhoneMessageReader::addAttachmentParts(qint64 messageRowid, SmsBackupRecord &record)
{
    static const QMimeDatabase mimeTypes;
    Sqlite3Cursor files = m_db.queryThrow(
        Sqlite3Sql(QStringLiteral("select a.filename, a.mime_type, a.transfer_name, a.total_bytes"
                                  " from message_attachment_join j join attachment a on a.ROWID=j.attachment_id"
                                  " where j.message_id=? order by a.ROWID"))
            .addInt64Param(messageRowid));
    while (files.moveNext()) {
        const QString filename = files.getText(0);
        QString name = files.getText(2);
        if (name.isEmpty())
            name = QFileInfo(filename).fileName();
        if (name.endsWith(PayloadSuffix) || filename.endsWith(PayloadSuffix))
            continue;
        const QString path = m_backup.attachmentPath(filename);
        if (path.isEmpty()) {
            ++m_missingAttachments;
            continue;
        }
        SmsBackupPart part;
        part.mime = files.getText(1);
        if (part.mime.isEmpty())
            part.mime = mimeTypes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
        part.name = name;
        part.sourcePath = path;
        part.bytes = QFileInfo(path).size();
        record.parts.push_back(std::move(part));
    }
}

void IPhoneMessageReader::failDamaged(const QString &message) const
{
    // SQLite's own words name the damage; the statement is no reader's business.
    fail(message.arg(m_db.lastErrorText()));
}
