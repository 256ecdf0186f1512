#include "ops/ExportMessagesCsv.h"

#include "ops/ExportFile.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

namespace {

struct Correspondent
{
    QString person;
    QString number;
};

// A group chat is named by its identifier; another chat by its first handle.
Correspondent correspondentOf(const _MsgMessage &message)
{
    const _MsgChat *chat = message.chat;
    if (!chat)
        return {};
    if (chat->isGroup())
        return {chat->chat_identifier, chat->chat_identifier};
    if (chat->handles.isEmpty() || !chat->handles.first())
        return {};
    const _MsgHandle &handle = *chat->handles.first();
    return {handle._ct_name, handle.id};
}

bool needsQuotes(const QString &value)
{
    // A bare carriage return ends a record for most readers, so it is quoted too.
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char(',') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return true;
    }
    return false;
}

} // namespace

ExportMessagesCsv::ExportMessagesCsv(const QString &path)
    : m_file(path)
{
}

QString ExportMessagesCsv::csvField(const QString &value)
{
    if (!needsQuotes(value))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void ExportMessagesCsv::begin()
{
    openForWriting(m_file);
    m_stream.setDevice(&m_file);
    m_stream.setEncoding(QStringConverter::Utf8);
    m_stream << "date,send,person,number,content\n";
}

void ExportMessagesCsv::write(const _MsgMessage &message)
{
    const Correspondent who = correspondentOf(message);
    m_stream << appleTimeToDateTime(message.date).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << ','
             << (message.is_from_me ? '1' : '0') << ',' << csvField(who.person) << ',' << csvField(who.number) << ','
             << csvField(messageDisplayText(message)) << '\n';
}

void ExportMessagesCsv::end()
{
    commitStream(m_stream, m_file);
}
