#include "export/ExportMessagesNdjson.h"

#include "export/ExportFile.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue sha256OrNull(const QString &path)
{
    const QString hash = fileSha256(path);
    return hash.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(hash);
}

QJsonArray chatAddresses(const _MsgChat *chat)
{
    QJsonArray addresses;
    if (!chat)
        return addresses;
    for (const _MsgHandle *handle : chat->handles) {
        if (handle)
            addresses.append(handle->id);
    }
    return addresses;
}

QJsonArray attachmentsOf(const _MsgMessage &message)
{
    QJsonArray attachments;
    for (const _MsgAttachment *attachment : message.attachments) {
        if (!attachment)
            continue;
        attachments.append(QJsonObject{{QStringLiteral("path"), attachment->localPath},
                                       {QStringLiteral("mime"), attachment->mime_type},
                                       {QStringLiteral("sha256"), sha256OrNull(attachment->localPath)}});
    }
    return attachments;
}

} // namespace

ExportMessagesNdjson::ExportMessagesNdjson(const QString &path)
    : m_file(path)
{
}

QJsonObject ExportMessagesNdjson::messageObject(const _MsgMessage &message)
{
    const bool sent = message.is_from_me != 0;
    QJsonObject object{
        {QStringLiteral("conversation"), message.chat ? message.chat->chat_identifier : QString()},
        {QStringLiteral("addresses"), chatAddresses(message.chat)},
        {QStringLiteral("date"), appleTimeToDateTime(message.date).toUTC().toString(Qt::ISODate)},
        {QStringLiteral("direction"), sent ? QStringLiteral("sent") : QStringLiteral("received")},
        {QStringLiteral("text"), hashText(message)},
        {QStringLiteral("subject"), message.subject},
        {QStringLiteral("attachments"), attachmentsOf(message)}};
    if (!sent && message.handle)
        object.insert(QStringLiteral("from"), message.handle->id);
    return object;
}

void ExportMessagesNdjson::begin()
{
    openForWriting(m_file);
    m_stream.setDevice(&m_file);
    m_stream.setEncoding(QStringConverter::Utf8);
}

void ExportMessagesNdjson::write(const _MsgMessage &message)
{
    m_stream << QString::fromUtf8(QJsonDocument(messageObject(message)).toJson(QJsonDocument::Compact)) << '\n';
}

void ExportMessagesNdjson::end()
{
    commitStream(m_stream, m_file);
}
