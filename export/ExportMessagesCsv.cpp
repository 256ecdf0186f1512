#include "export/ExportMessagesCsv.h"

#include "export/ExportFile.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

#include <algorithm>
#include <cstdio>

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

// "yyyy-MM-dd hh:mm:ss" without a format parser: the export writes one per message.
QString dateText(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                     date.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(buffer, std::clamp(length, 0, int(sizeof buffer) - 1));
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
    // Columns added later go last, so readers of the first five keep working.
    m_stream << "date,send,person,number,content,sender,subject\n";
}

void ExportMessagesCsv::write(const _MsgMessage &message)
{
    const Correspondent who = correspondentOf(message);
    m_stream << dateText(m_localTime.localDateTime(qint64(message.date) + kAppleEpochUnixSeconds)) << ','
             << (message.is_from_me ? '1' : '0') << ',' << csvField(oneLineText(who.person)) << ','
             << csvField(oneLineText(who.number)) << ',' << csvField(lineFeedText(messageDisplayText(message))) << ','
             << csvField(oneLineText(groupSenderName(message))) << ',' << csvField(oneLineText(message.subject)) << '\n';
}

void ExportMessagesCsv::end()
{
    commitStream(m_stream, m_file);
}
