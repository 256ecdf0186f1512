#include "store/MessageIds.h"

#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

#include <QCryptographicHash>
#include <QStringList>
#include <QUuid>
#include <QtEndian>

namespace {

QStringList sortedAttachmentNames(const _MsgMessage &message)
{
    QStringList names;
    for (const _MsgAttachment *attachment : message.attachments) {
        if (attachment && !attachment->filename.isEmpty())
            names.append(attachmentHashName(attachment->filename));
    }
    names.sort(Qt::CaseSensitive);
    return names;
}

} // namespace

QString newGuid()
{
    const QString text = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QString guid;
    guid.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('-') || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            guid.append(c);
    }
    return guid;
}

QString guidFromBytes(const QByteArray &bytes)
{
    const QString hex = QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
    return QStringList{hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12)}
        .join(QLatin1Char('-'));
}

QString attachmentHashName(const QString &filename)
{
    // Stored names use '/', files named on Windows may use '\'.
    const qsizetype cut = qMax(filename.lastIndexOf(QLatin1Char('/')), filename.lastIndexOf(QLatin1Char('\\')));
    return filename.mid(cut + 1).toLower();
}

QByteArray logicHashInput(const _MsgMessage &message)
{
    if (message.item_type != 0)
        return message.guid.toUtf8();

    QByteArray bytes;
    if (message.handle)
        bytes += message.handle->id.toUtf8();
    else if (message.chat && message.chat->isGroup())
        bytes += message.chat->chat_identifier.toUtf8();  // a group's message from no one member
    char date[4];
    qToLittleEndian<qint32>(message.date, date);
    bytes.append(date, 4);
    bytes.append(char(message.is_from_me & 0xff));
    bytes += hashText(message).toUtf8();
    for (const QString &name : sortedAttachmentNames(message))
        bytes += name.toUtf8();
    return bytes;
}

QString logicHash(const _MsgMessage &message)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(logicHashInput(message), QCryptographicHash::Md5).toHex());
}
