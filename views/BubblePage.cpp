#include "views/BubblePage.h"

#include "store/AppleTime.h"
#include "store/AttachmentBody.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"
#include "views/BubbleHtml.h"
#include "views/ContactCard.h"

#include <QFile>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

// A text part is shown up to this size; a bigger file (a message part is
// rarely more than a few kilobytes) would only stall the view.
constexpr qint64 kMaxTextPartBytes = 4 * 1024 * 1024;

// A date line is shown when a message comes more than this after the last one shown.
constexpr qint64 kDateLineGapSeconds = 60;

const QString kPageHead = QStringLiteral(
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">"
    "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
    "<title>Bubble</title>");
const QString kStyleLink = QStringLiteral("<link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/>");
const QString kBodyStart = QStringLiteral("</head><body><a name=\"start\"></a>");
const QString kPreviousPageLink = QStringLiteral("<p><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>");
const QString kNextPageLink = QStringLiteral("<p><a href=\"/next_page\">&gt;&gt;Next Page</a></p>");
const QString kPageEnd = QStringLiteral("<a name=\"end\"></a></body></html>");

const QString kThumbnailAttributes = QStringLiteral("stype=\"max-width:120px;max-height:120px\"");
const QString kCardAttributes = QStringLiteral("stype=\"max-width:200px;max-height:200px\"");

QString fileLink(const _MsgAttachment &attachment, const QString &label)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(xmlEscaped(fileUrlText(attachment.localPath)), label);
}

QString contactCardContent(const _MsgAttachment &attachment)
{
    const QString card = attachment.localPath.isEmpty() ? QString() : renderContactCard(attachment.localPath);
    if (!card.isEmpty() && QFileInfo(card).isFile())
        return imageLink(attachment.localPath, card, kCardAttributes, attachmentAltText(attachment));
    return fileLink(attachment, QStringLiteral("[VCARD]"));
}

// The file's text up to its first NUL byte; nothing when unreadable.
std::optional<QString> plainTextContent(const _MsgAttachment &attachment)
{
    if (attachment.localPath.isEmpty() || !QFileInfo(attachment.localPath).isFile())
        return std::nullopt;
    QFile file(attachment.localPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(kMaxTextPartBytes);
    const bool cut = !file.atEnd();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    QString text = QString::fromUtf8(bytes);
    if (cut && nul < 0)
        text += QStringLiteral(" \u2026");
    return textToBubbleHtml(text);
}


QString dateLine(qint64 unixSeconds)
{
    return QStringLiteral("<div class=\"dt\">%1</div>")
        .arg(readableDateTime(QDateTime::fromSecsSinceEpoch(unixSeconds)));
}

} // namespace

QString spokenLabel(const _MsgMessage &message)
{
    QString who;
    if (message.is_from_me)
        who = QCoreApplication::translate("BubblePage", "You");
    else if (message.handle)
        who = handleDisplayName(*message.handle, false);
    else if (message.chat)
        who = chatDisplayName(*message.chat, false);
    const QString when = readableDateTime(appleTimeToDateTime(message.date));
    return who.isEmpty() ? when : QStringLiteral("%1, %2").arg(who, when);
}

QString attachmentAltText(const _MsgAttachment &attachment)
{
    const QString name = QFileInfo(attachment.filename.isEmpty() ? attachment.localPath : attachment.filename).fileName();
    if (mimeIs(attachment, QLatin1String("text/x-vCard")) || mimeIs(attachment, QLatin1String("text/vcard")))
        return QCoreApplication::translate("BubblePage", "Contact card %1").arg(name).trimmed();
    return QCoreApplication::translate("BubblePage", "Picture %1").arg(name).trimmed();
}

QString messageAnchorName(const _MsgMessage &message)
{
    return QStringLiteral("sms_%1").arg(message.rowid);
}

int bubblePageCount(qsizetype messageCount)
{
    return messageCount <= 0 ? 0 : int((messageCount + kBubblePageSize - 1) / kBubblePageSize);
}

int bubblePageOfPosition(qsizetype position)
{
    return int(position / kBubblePageSize) + 1;
}

std::optional<QString> attachmentBubbleContent(const _MsgAttachment &attachment)
{
    if (mimeStartsWith(attachment, QLatin1String("image/")))
        return imageLink(attachment.localPath, attachmentThumbnail(attachment), kThumbnailAttributes,
                         attachmentAltText(attachment));
    if (mimeStartsWith(attachment, QLatin1String("video/")))
        return fileLink(attachment, QStringLiteral("[VIDEO]"));
    if (mimeStartsWith(attachment, QLatin1String("audio/")))
        return fileLink(attachment, QStringLiteral("[AUDIO]"));
    if (mimeIs(attachment, QLatin1String("text/x-vCard")) || mimeIs(attachment, QLatin1String("text/vcard")))
        return contactCardContent(attachment);
    if (mimeIs(attachment, QLatin1String("text/plain")))
        return plainTextContent(attachment);
    return fileLink(attachment, QStringLiteral("[ATTACHMENT]"));
}

QString messageBubblesHtml(const _MsgMessage &message, qint64 &lastShownDate)
{
    return QStringLiteral("<a name=\"%1\"></a>").arg(messageAnchorName(message))
        + messageBodyHtml(message, lastShownDate, attachmentBubbleContent);
}

QString messageBodyHtml(const _MsgMessage &message, qint64 &lastShownDate, const AttachmentContentFn &content)
{
    if (message.item_type != _MsgMessage::ItemOrdinary)
        return QStringLiteral("<div class=\"sysif\">%1</div>").arg(textToBubbleHtml(messagePlainText(message)));
    QString html;

    const QString name = groupSenderName(message);
    const bool sent = message.is_from_me != 0;
    const qint64 unixSeconds = qint64(message.date) + kAppleEpochUnixSeconds;
    if (unixSeconds - lastShownDate > kDateLineGapSeconds) {
        html += dateLine(unixSeconds);
        lastShownDate = unixSeconds;
    }
    const QString body = bubbleText(message);
    const QString spoken = spokenLabel(message);
    if (!body.isEmpty() || message.attachments.isEmpty())
        html += bubbleDiv(textToBubbleHtml(body), sent, name, spoken);
    for (const _MsgAttachment *attachment : sortedAttachments(message)) {
        if (const std::optional<QString> bubble = content(*attachment))
            html += bubbleDiv(*bubble, sent, name, spoken);
    }
    return html;
}

QString bubblePageHtml(const MsgMessageList &messages, int page, const QString &baseHref)
{
    const int pageCount = bubblePageCount(messages.size());
    if (page < 1 || page > pageCount)
        return QString();
    QString html = kPageHead;
    if (!baseHref.isEmpty())
        html += QStringLiteral("<base href=\"%1\" />").arg(xmlEscaped(baseHref));
    html += kStyleLink;
    html += kBodyStart;
    if (page != 1)
        html += kPreviousPageLink;
    const qsizetype first = qsizetype(page - 1) * kBubblePageSize;
    const qsizetype end = std::min(first + kBubblePageSize, messages.size());
    qint64 lastShownDate = 0;
    for (qsizetype i = first; i < end; ++i) {
        if (messages.at(i))
            html += messageBubblesHtml(*messages.at(i), lastShownDate);
    }
    if (page != pageCount)
        html += kNextPageLink;
    html += kPageEnd;
    return html;
}
