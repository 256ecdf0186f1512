#include "export/ExportMessagesTxt.h"

#include "export/ExportFile.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"

namespace {

constexpr int kDateWidth = 30;
constexpr int kFlagWidth = 6;
constexpr int kNameWidth = 40;

QString flagText(const _MsgMessage &message)
{
    if (message.item_type != _MsgMessage::ItemOrdinary)
        return QString();
    return message.is_from_me ? QStringLiteral("To") : QStringLiteral("From");
}

// One line per message: who said it in a group, the subject, the text.
QString messageColumn(const _MsgMessage &message)
{
    QString column;
    const QString sender = groupSenderName(message);
    if (!sender.isEmpty())
        column = sender + QLatin1String(": ");
    if (!message.subject.isEmpty())
        column += QStringLiteral("<Subject:%1> ").arg(message.subject);
    return oneLineText(column + messagePlainText(message));
}

} // namespace

ExportMessagesTxt::ExportMessagesTxt(const QString &path)
    : m_file(path)
    , m_locale(QLocale::system())
    , m_dateFormat(m_locale.dateTimeFormat(QLocale::ShortFormat))
    , m_dateByMinute(!m_dateFormat.contains(QLatin1Char('s')))
{
}

void ExportMessagesTxt::begin()
{
    openForWriting(m_file);
    m_stream.setDevice(&m_file);
    m_stream.setEncoding(QStringConverter::Utf8);
    m_stream << QStringLiteral("Date").leftJustified(kDateWidth) << QStringLiteral("Flag").leftJustified(kFlagWidth)
             << QStringLiteral("Name").leftJustified(kNameWidth) << QStringLiteral("Message") << '\n';
}

void ExportMessagesTxt::write(const _MsgMessage &message)
{
    m_stream << dateColumn(qint64(message.date) + kAppleEpochUnixSeconds) << flagText(message).leftJustified(kFlagWidth)
             << nameColumn(message.chat) << messageColumn(message) << '\n';
}

const QString &ExportMessagesTxt::dateColumn(qint64 unixSeconds)
{
    const qint64 local = m_localTime.localSeconds(unixSeconds);
    const qint64 minute = local / 60 - (local % 60 < 0 ? 1 : 0);
    if (!m_dateByMinute || m_dateColumn.isEmpty() || minute != m_dateMinute) {
        m_dateMinute = minute;
        m_dateColumn = m_locale.toString(m_localTime.localDateTime(unixSeconds), m_dateFormat).leftJustified(kDateWidth);
    }
    return m_dateColumn;
}

const QString &ExportMessagesTxt::nameColumn(const _MsgChat *chat)
{
    auto it = m_nameColumns.find(chat);
    if (it == m_nameColumns.end()) {
        const QString name = chat ? oneLineText(chatDisplayName(*chat, false)) : QStringLiteral("Unknown");
        it = m_nameColumns.insert(chat, name.leftJustified(kNameWidth));
    }
    return *it;
}

void ExportMessagesTxt::end()
{
    commitStream(m_stream, m_file);
}
