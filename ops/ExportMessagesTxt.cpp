#include "ops/ExportMessagesTxt.h"

#include "ops/ExportFile.h"
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

// One line per message: line breaks become spaces.
QString singleLine(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

ExportMessagesTxt::ExportMessagesTxt(const QString &path)
    : m_file(path)
    , m_locale(QLocale::system())
    , m_dateFormat(m_locale.dateTimeFormat(QLocale::ShortFormat))
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
    const QString date = m_locale.toString(appleTimeToDateTime(message.date), m_dateFormat);
    const QString name = message.chat ? chatDisplayName(*message.chat, false) : QStringLiteral("Unknown");
    m_stream << date.leftJustified(kDateWidth) << flagText(message).leftJustified(kFlagWidth)
             << name.leftJustified(kNameWidth) << singleLine(messagePlainText(message)) << '\n';
}

void ExportMessagesTxt::end()
{
    commitStream(m_stream, m_file);
}
