#include "android/UploadedRecord.h"

#include "android/DownloadRecord.h"
#include "store/MessageIds.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

const qint64 AppleEpochSeconds = 978307200;

bool hasMimePrefix(const QString &mime, const char *prefix)
{
    return mime.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

DownloadRecord recordFields(const _MsgMessage &first)
{
    DownloadRecord fields;
    fields.timeMs = (qint64(first.date) + AppleEpochSeconds) * 1000;
    fields.fromMe = first.is_from_me != 0;
    fields.number = first.handle ? first.handle->id : QString();
    fields.text = hashText(first);
    fields.subject = first.subject;
    return fields;
}

} // namespace

UploadedRecord::UploadedRecord(const MsgMessageList &record, const QString &address)
    : m_record(std::make_unique<RecordMessages>(recordFields(*record.first()), address))
{
    int attachments = 0;
    for (const _MsgMessage *message : record)
        attachments += int(message->attachments.size());
    if (attachments == 0) {
        m_messages.append(m_record->message());
        return;
    }
    if (m_record->hasOwnText())
        m_messages.append(m_record->textPart());
    QSet<QString> usedNames;
    for (const _MsgMessage *message : record) {
        for (const _MsgAttachment *attachment : sortedAttachments(*message)) {
            const QString sentName = QFileInfo(attachment->localPath).fileName();
            addPart(*attachment, uniqueAttachmentName(attachmentFileName(sentName), usedNames));
        }
    }
}

UploadedRecord::~UploadedRecord() = default;

void UploadedRecord::addPart(const _MsgAttachment &sent, const QString &name)
{
    // The download's rules: layouts and documents are dropped, a text part
    // becomes a text message, anything else a media message.
    if (hasMimePrefix(sent.mime_type, "application/"))
        return;
    if (sent.mime_type.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
        QFile file(sent.localPath);
        const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
        if (!text.isEmpty())
            m_messages.append(m_record->plainTextPart(text));
        return;
    }
    m_attachments.push_back(
        m_record->mediaAttachment(sent.mime_type, name, sent.localPath, QFileInfo(sent.localPath).size()));
    m_messages.append(m_record->mediaPart(m_attachments.back()));
}

QStringList UploadedRecord::hashes() const
{
    QStringList list;
    for (const _MsgMessage &message : m_messages)
        list.append(logicHash(message));
    return list;
}

QString UploadedRecord::recordHash() const
{
    return m_record->recordHash();
}
