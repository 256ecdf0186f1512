#include "export/ExportMessagesNdjson.h"

#include "export/ExportFile.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

#include <QDate>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kSecondsPerDay = 86400;
constexpr qint64 kUnixEpochJulianDay = 2440588;

bool needsEscape(char c)
{
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
}

// A JSON string: quotes, backslashes and control characters escaped, the
// rest as UTF-8 (JSON allows every other character as it is). Runs without
// anything to escape are copied whole.
void appendString(QByteArray &out, const QString &value)
{
    static const char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = value.toUtf8();
    const char *at = utf8.constData();
    const char *const end = at + utf8.size();
    out += '"';
    while (at != end) {
        const char *const special = std::find_if(at, end, needsEscape);
        out.append(at, special - at);
        if (special == end)
            break;
        const auto byte = static_cast<unsigned char>(*special);
        if (byte >= 0x20) {
            out += '\\';
            out += *special;
        } else {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
        at = special + 1;
    }
    out += '"';
}

void appendKey(QByteArray &out, const char *key)
{
    out += '"';
    out += key;
    out += "\":";
}

// "yyyy-MM-ddThh:mm:ssZ" without a format parser: one per message.
void appendUtcDate(QByteArray &out, qint64 unixSeconds)
{
    const qint64 day = unixSeconds >= 0 ? unixSeconds / kSecondsPerDay : -((-unixSeconds - 1) / kSecondsPerDay) - 1;
    const qint64 second = unixSeconds - day * kSecondsPerDay;
    const QDate date = QDate::fromJulianDay(day + kUnixEpochJulianDay);
    char buffer[40];
    const int length = std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02dT%02d:%02d:%02dZ\"", date.year(),
                                     date.month(), date.day(), int(second / 3600), int(second / 60 % 60),
                                     int(second % 60));
    out.append(buffer, std::clamp(length, 0, int(sizeof buffer) - 1));
}

void appendAddresses(QByteArray &out, const _MsgChat *chat)
{
    out += '[';
    bool first = true;
    if (chat) {
        for (const _MsgHandle *handle : chat->handles) {
            if (!handle)
                continue;
            if (!first)
                out += ',';
            appendString(out, handle->id);
            first = false;
        }
    }
    out += ']';
}

void appendAttachments(QByteArray &out, const _MsgMessage &message)
{
    out += '[';
    bool first = true;
    for (const _MsgAttachment *attachment : message.attachments) {
        if (!attachment)
            continue;
        if (!first)
            out += ',';
        first = false;
        out += '{';
        appendKey(out, "path");
        appendString(out, attachment->localPath);
        out += ',';
        appendKey(out, "mime");
        appendString(out, attachment->mime_type);
        out += ',';
        appendKey(out, "sha256");
        const QString sha256 = fileSha256(attachment->localPath);
        if (sha256.isEmpty())
            out += "null";
        else
            appendString(out, sha256);
        out += '}';
    }
    out += ']';
}

void appendMessage(QByteArray &out, const _MsgMessage &message)
{
    const bool sent = message.is_from_me != 0;
    out += '{';
    appendKey(out, "conversation");
    appendString(out, message.chat ? message.chat->chat_identifier : QString());
    out += ',';
    appendKey(out, "addresses");
    appendAddresses(out, message.chat);
    out += ',';
    appendKey(out, "date");
    appendUtcDate(out, qint64(message.date) + kAppleEpochUnixSeconds);
    out += ',';
    appendKey(out, "direction");
    out += sent ? "\"sent\"" : "\"received\"";
    if (!sent && message.handle) {
        out += ',';
        appendKey(out, "from");
        appendString(out, message.handle->id);
    }
    out += ',';
    appendKey(out, "text");
    appendString(out, hashText(message));
    out += ',';
    appendKey(out, "subject");
    appendString(out, message.subject);
    out += ',';
    appendKey(out, "attachments");
    appendAttachments(out, message);
    out += '}';
}

} // namespace

ExportMessagesNdjson::ExportMessagesNdjson(const QString &path)
    : m_file(path)
{
}

void ExportMessagesNdjson::begin()
{
    openForWriting(m_file);
}

void ExportMessagesNdjson::write(const _MsgMessage &message)
{
    m_line.clear();
    appendMessage(m_line, message);
    m_line += '\n';
    m_file.write(m_line);
}

void ExportMessagesNdjson::end()
{
    commitFile(m_file);
}
