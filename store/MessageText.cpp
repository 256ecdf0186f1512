#include "store/MessageText.h"

#include <algorithm>

#include "store/AppleTime.h"
#include "store/EmojiScanner.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace {

constexpr QChar kAttachmentMarker(0xFFFC);

QString eventDate(const _MsgMessage &message)
{
    return readableDateTime(appleTimeToDateTime(message.date));
}

// The party of a group event; a missing handle is the phone's owner.
QString eventName(const _MsgHandle *handle)
{
    return handle ? handleDisplayName(*handle, false) : QStringLiteral("You");
}

QString attachmentTag(const _MsgAttachment &attachment)
{
    const QString &mime = attachment.mime_type;
    if (mime.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
        return QStringLiteral(" [IMAGE]");
    if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
        return QStringLiteral(" [VIDEO]");
    if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
        return QStringLiteral(" [AUDIO]");
    if (mime.compare(QLatin1String("text/x-vCard"), Qt::CaseInsensitive) == 0
        || mime.compare(QLatin1String("text/vcard"), Qt::CaseInsensitive) == 0)
        return QStringLiteral(" [VCARD]");
    return QStringLiteral(" [ATTA]");
}

QString ordinaryText(const _MsgMessage &message)
{
    QString text = hashText(message);
    for (const _MsgAttachment *attachment : message.attachments) {
        if (attachment)
            text += attachmentTag(*attachment);
    }
    return text.trimmed();
}

QString eventText(const _MsgMessage &message)
{
    switch (message.item_type) {
    case _MsgMessage::ItemParticipantAdded:
        return QStringLiteral("%1 Added %2 to the conversation.\n%3")
            .arg(eventName(message.handle), eventName(message.otherHandle), eventDate(message));
    case _MsgMessage::ItemConversationNamed:
        return QStringLiteral("%1 named the conversation \"%2\".\n%3")
            .arg(eventName(message.handle), message.group_title, eventDate(message));
    case _MsgMessage::ItemParticipantLeft:
        return QStringLiteral("%1 left the conversation.\n%2")
            .arg(eventName(message.handle), eventDate(message));
    case _MsgMessage::ItemLocationSharing:
        return QStringLiteral("%1 %2 sharing location with %3.\n%4")
            .arg(eventName(message.handle),
                 message.share_status != 0 ? QStringLiteral("stopped") : QStringLiteral("started"),
                 eventName(message.otherHandle), eventDate(message));
    default:
        return QStringLiteral("System Information.\n%1").arg(eventDate(message));
    }
}

bool isOtherLineBreak(char16_t c)
{
    return c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isDroppedControl(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7F || (c >= 0x80 && c < 0xA0 && c != 0x85);
}

// One pass over `text`: every break, as `isBreak` tells, becomes `breakAs`
// (a CR LF pair one), dropped controls go; the text itself when none is there.
template <typename IsBreak>
QString withBreaksAs(const QString &text, IsBreak isBreak, QChar breakAs)
{
    const auto untouched = [&](QChar c) { return !isBreak(c.unicode()) && !isDroppedControl(c.unicode()); };
    if (std::all_of(text.cbegin(), text.cend(), untouched))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isBreak(c)) {
            if (!(c == u'\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')))
                out.append(breakAs);
        } else if (!isDroppedControl(c)) {
            out.append(text[i]);
        }
    }
    return out;
}

} // namespace

QString readableDateTime(const QDateTime &when)
{
    // QDateTime::toString with a pattern would write English names whatever
    // the user's language; the locale writes its own, and its own clock.
    const QLocale locale;
    return locale.toString(when.date(), QStringLiteral("d MMM yyyy")) + QLatin1Char(' ')
           + locale.toString(when.time(), QLocale::ShortFormat);
}

QString hashText(const _MsgMessage &message)
{
    QString text = message.text;
    text.remove(kAttachmentMarker);
    return text;
}

QString handleDisplayName(const _MsgHandle &handle, bool withId)
{
    if (handle._ct_name.isEmpty())
        return handle.id;
    if (withId)
        return QStringLiteral("%1 (%2)").arg(handle._ct_name, handle.id);
    return handle._ct_name;
}

QString chatDisplayName(const _MsgChat &chat, bool withId)
{
    if (!chat.display_name.isEmpty())
        return chat.display_name;
    QStringList names;
    for (const _MsgHandle *handle : chat.handles) {
        if (handle)
            names.append(handleDisplayName(*handle, withId));
    }
    if (names.isEmpty())
        return QStringLiteral("Unknown");
    return names.join(QStringLiteral(", "));
}

QString messageSenderLabel(const _MsgMessage &message)
{
    if (!message.chat)
        return QStringLiteral("unknown");
    QString label = chatDisplayName(*message.chat, true);
    if (message.chat->isGroup() && message.handle) {
        const _MsgHandle &handle = *message.handle;
        label += QStringLiteral(" (%1)").arg(handle._ct_name.isEmpty() ? handle.id : handle._ct_name);
    }
    return label;
}

QString messageDisplayText(const _MsgMessage &message)
{
    return message.item_type == _MsgMessage::ItemOrdinary ? ordinaryText(message) : eventText(message);
}

QString messagePlainText(const _MsgMessage &message)
{
    return replaceEmoji(messageDisplayText(message),
                        [](const QString &) { return QStringLiteral("[EMOJI]"); });
}

QString groupSenderName(const _MsgMessage &message)
{
    if (message.chat && message.chat->isGroup() && message.is_from_me == 0 && message.handle)
        return handleDisplayName(*message.handle, false);
    return QString();
}

QString bubbleText(const _MsgMessage &message)
{
    QString body;
    if (!message.subject.isEmpty())
        body = QStringLiteral("<Subject:%1>\n").arg(message.subject);
    body += hashText(message);
    return body.trimmed();
}

QString oneLineText(const QString &text)
{
    const auto anyBreak = [](char16_t c) { return c == u'\n' || c == u'\r' || isOtherLineBreak(c); };
    return withBreaksAs(text, anyBreak, QLatin1Char(' '));
}

QString lineFeedText(const QString &text)
{
    return withBreaksAs(text, isOtherLineBreak, QLatin1Char('\n'));
}
