#include "android/DownloadRecord.h"

#include "android/Base64Decode.h"
#include "android/GroupConversation.h"
#include "app/AppFolders.h"
#include "store/AttachmentBody.h"
#include "store/MessageIds.h"
#include "store/MessageText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

const int MinimumFields = 6;
const qint64 AppleEpochOffset = 978307200;  // Unix time of 2001-01-01 00:00 UTC
const QChar AttachmentMarker(0xFFFC);

QString decodedText(const QString &field)
{
    return QString::fromUtf8(decodeBase64(field));
}

} // namespace

bool DownloadRecord::parse(const QString &argument, DownloadRecord &record)
{
    const QStringList fields = argument.split(QLatin1Char(','));
    if (fields.size() < MinimumFields)
        return false;
    record.timeMs = fields.at(0).toLongLong();
    record.fromMe = fields.at(1).toInt() == 1;
    record.number = decodedText(fields.at(2));
    record.contactName = decodedText(fields.at(3));
    record.text = decodedText(fields.at(4));
    record.subject = decodedText(fields.at(5));
    record.attachmentCount = attachmentsAnnounced(argument);
    return true;
}

int DownloadRecord::attachmentsAnnounced(QStringView argument)
{
    qsizetype start = 0;
    for (int field = 0; field < MinimumFields; ++field) {
        const qsizetype comma = argument.indexOf(QLatin1Char(','), start);
        if (comma < 0)
            return field == MinimumFields - 1 ? 0 : -1;  // six fields: none announced
        start = comma + 1;
    }
    const qsizetype end = argument.indexOf(QLatin1Char(','), start);
    return std::max(0, argument.mid(start, end < 0 ? -1 : end - start).toInt());
}

QString DownloadRecord::numberOf(QStringView argument)
{
    const qsizetype start = argument.indexOf(QLatin1Char(','), argument.indexOf(QLatin1Char(',')) + 1) + 1;
    const qsizetype end = argument.indexOf(QLatin1Char(','), start);
    return QString::fromUtf8(decodeBase64(argument.mid(start, end - start)));
}

qint32 DownloadRecord::date() const
{
    return qint32(timeMs / 1000 - AppleEpochOffset);
}

QStringList DownloadRecord::parties() const
{
    QStringList parties;
    for (const QString &party : number.split(QLatin1Char(';'))) {
        if (!party.trimmed().isEmpty())
            parties.append(party.trimmed());
    }
    return parties;
}

bool AttachmentHeader::parse(const QString &argument, AttachmentHeader &header)
{
    const qsizetype comma = argument.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    // Received lines hold one character per byte; the name's bytes are UTF-8.
    header.mime = argument.left(comma);
    header.name = QString::fromUtf8(argument.mid(comma + 1).toLatin1());
    return true;
}

AttachmentHeader::Use AttachmentHeader::use() const
{
    if (mime.startsWith(QLatin1String("application/"), Qt::CaseInsensitive))
        return Use::Discarded;
    if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0)
        return Use::Text;
    return Use::Media;
}

QString AttachmentHeader::storedName(QSet<QString> &used) const
{
    return uniqueAttachmentName(attachmentFileName(name), used);
}

QString attachmentFileName(const QString &sentName)
{
    // Windows drops trailing dots and blanks, so "x.exe." would be x.exe there.
    static const QRegularExpression trailingDotsAndBlanks(QStringLiteral("[. ]+$"));
    const QString name =
        fileNameWithin(sanitizeFileName(withoutControlCharacters(sentName))).remove(trailingDotsAndBlanks);
    static const QRegularExpression onlyDots(QStringLiteral("^\\.*$"));
    return onlyDots.match(name).hasMatch() ? QStringLiteral("Unknown2") : name;
}

QString uniqueAttachmentName(const QString &name, QSet<QString> &used)
{
    QString unique = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1; used.contains(unique.toLower()); ++n)
        unique = QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(suffix);
    used.insert(unique.toLower());
    return unique;
}

RecordMessages::RecordMessages(const DownloadRecord &record, const QString &address)
{
    m_handle.id = address;
    m_handle.service = QStringLiteral("SMS");
    m_handle._ct_name = record.contactName;

    m_chat.guid = QStringLiteral("SMS;-;") + address;
    m_chat.style = 45;
    m_chat.state = 3;
    m_chat.chat_identifier = address;
    m_chat.service_name = QStringLiteral("SMS");
    m_chat.account_login = QStringLiteral("E:");
    m_chat.handles.insert(QStringLiteral("0"), &m_handle);

    _MsgMessage &m = m_message;
    m.text = record.text;
    m.subject = record.subject;
    m.version = 10;
    m.type = 0;
    m.service = QStringLiteral("SMS");
    m.account = QStringLiteral("e:");
    m.error = 0;
    m.date = m.date_read = m.date_delivered = record.date();
    m.is_from_me = record.fromMe ? 1 : 0;
    m.is_finished = m.is_prepared = m.is_read = m.is_sent = m.was_data_detected = 1;
    m.handle = &m_handle;
    m.chat = &m_chat;

    m_recordHash = logicHash(m);
}

RecordMessages::RecordMessages(const DownloadRecord &record, const QString &address, const QStringList &members,
                               const QString &sender)
    : RecordMessages(record, address)
{
    m_group = std::make_unique<GroupConversation>(members);
    m_sender = m_group->member(sender);
}

RecordMessages::~RecordMessages() = default;

std::unique_ptr<RecordMessages> RecordMessages::downloaded(const DownloadRecord &record,
                                                           const std::function<QString(const QString &)> &normalised)
{
    // The record keeps the name its whole number field gives it, a group's
    // too: caches downloaded before groups had chats of their own know their
    // records by it.
    const QString address = normalised(record.number);
    QStringList members;
    for (const QString &party : record.parties())
        members.append(normalised(party));
    members.removeDuplicates();
    if (members.size() < 2)
        return std::make_unique<RecordMessages>(record, address);
    return std::make_unique<RecordMessages>(record, address, members, QString());
}

_MsgMessage RecordMessages::placed(_MsgMessage message) const
{
    if (m_group) {
        message.chat = m_group->chat();
        message.handle = m_sender;
    }
    return message;
}

_MsgMessage RecordMessages::message() const
{
    _MsgMessage message = m_message;
    message.guid = guidFromBytes(m_recordHash.toUtf8());
    return placed(message);
}

void RecordMessages::renameByContent(_MsgMessage &message)
{
    message.guid = guidFromBytes(logicHash(message).toUtf8());
}

bool RecordMessages::hasOwnText() const
{
    return !hashText(m_message).isEmpty();
}

_MsgMessage RecordMessages::textPart() const
{
    _MsgMessage part = message();
    part.text = hashText(m_message);
    part.attachments.clear();
    return part;
}

_MsgMessage RecordMessages::plainTextPart(const QString &text) const
{
    _MsgMessage part = m_message;
    part.text = text;
    part.attachments.clear();
    renameByContent(part);
    return placed(part);
}

_MsgAttachment RecordMessages::mediaAttachment(const QString &mime, const QString &name,
                                               const QString &localPath, qint64 bytes) const
{
    _MsgAttachment attachment;
    attachment.guid = guidFromBytes((m_recordHash + name).toUtf8());
    attachment.created_date = m_message.date;
    attachment.filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                              .arg(attachment.guid.mid(0, 2).toLower(), attachment.guid.mid(2, 2).toLower(),
                                   attachment.guid, name);
    const qsizetype slash = mime.indexOf(QLatin1Char('/'));
    attachment.uti = QStringLiteral("public.") + (slash >= 0 ? mime.mid(slash + 1) : QString());
    attachment.mime_type = mime;
    attachment.transfer_state = 5;
    attachment.is_outgoing = m_message.is_from_me;
    attachment.transfer_name = name;
    attachment.total_bytes = bytes;
    attachment.localPath = localPath;
    return attachment;
}

_MsgMessage RecordMessages::mediaPart(_MsgAttachment &attachment) const
{
    _MsgMessage part = m_message;
    part.attachments.clear();
    part.attachments.insert(QStringLiteral("0"), &attachment);
    part.text = QString(AttachmentMarker);
    renameByContent(part);
    part.attributedBody = attachmentAttributedBody(attachment.guid);
    return placed(part);
}
