#include "views/VCardParser.h"

#include <cstdio>
#include <utility>

namespace {

constexpr qsizetype kBufferStep = 128;
constexpr qsizetype kBufferKeepLimit = 1024;

bool isBlank(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}

int base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

VCardParser::VCardParser(PropertyHandler onProperty, ValueHandler onValue)
    : m_onProperty(std::move(onProperty)), m_onValue(std::move(onValue))
{
}

bool VCardParser::feed(const QByteArray &bytes, bool final)
{
    for (const char c : bytes) {
        if (m_rejected)
            return false;
        feedByte(c);
    }
    if (final && !m_rejected)
        pass('\n');
    return !m_rejected;
}

// Line handling: a line that begins with white space continues the previous
// one (the break and that first blank become one blank), so a value never
// contains a line break.
void VCardParser::feedByte(char c)
{
    if (!m_atLineStart) {
        if (c == '\n') {
            m_atLineStart = true;
            m_folded = false;
            return;
        }
        pass(c);
        return;
    }

    if (c == '\n') {
        // A blank line ends a Base64 value (vCard 2.1 writers put one after
        // the photo data); elsewhere an empty line only continues folding.
        if (m_folded && blankLineEndsValue()) {
            m_folded = false;
            pass('\n');
        }
        return;
    }
    if (!m_folded) {
        if (isBlank(c)) {
            m_folded = true;
            return;
        }
        m_atLineStart = false;
        if (continuesSoftLineBreak()) {
            // "=" at the end of a quoted-printable line joins the next line
            // without a break, whatever that line begins with.
            m_qpPending = false;
            pass(c);
            return;
        }
        pass('\n');
        pass(c);
        return;
    }
    m_atLineStart = false;
    if (m_encoding == Encoding::QuotedPrintable)
        m_qpPending = false;
    pass(' ');
    pass(c);
}

bool VCardParser::continuesSoftLineBreak() const
{
    return m_state == State::Value && m_encoding == Encoding::QuotedPrintable && m_qpPending
        && m_scratchLength == 0;
}

bool VCardParser::blankLineEndsValue() const
{
    return m_state == State::Value && m_encoding == Encoding::Base64;
}

void VCardParser::pass(char c)
{
    if (m_rejected)
        return;
    if (!process(c))
        m_rejected = true;
}

bool VCardParser::process(char c)
{
    switch (m_state) {
    case State::Name:
        return processName(c);
    case State::BeforeParamName:
        return processBeforeParamName(c);
    case State::ParamName:
        return processParamName(c);
    case State::BeforeParamValue:
        return processBeforeParamValue(c);
    case State::ParamValue:
        return processParamValue(c);
    case State::Value:
        return processValue(c);
    }
    return false;
}

bool VCardParser::processName(char c)
{
    if (c == '\n') {
        resetLine();
    } else if (isBlank(c)) {
        // ignored, carriage return included
    } else if (c == ':') {
        emitProperty();
    } else if (c == ';') {
        append('\0');
        m_state = State::BeforeParamName;
    } else {
        append(c);
    }
    return true;
}

bool VCardParser::processBeforeParamName(char c)
{
    if (c == ':') {
        resetLine();
        return false;
    }
    if (isBlank(c))
        return true;
    m_params.append({m_buffer.size(), -1});
    append(c);
    m_state = State::ParamName;
    return true;
}

bool VCardParser::processParamName(char c)
{
    if (c == ';') {
        append('\0');
        m_state = State::BeforeParamName;
    } else if (c == '=') {
        append('\0');
        m_state = State::BeforeParamValue;
    } else if (c == ':') {
        emitProperty();
    } else if (!isBlank(c)) {
        append(c);
    }
    return true;
}

bool VCardParser::processBeforeParamValue(char c)
{
    if (c == ':' || c == ';') {
        resetLine();
        return false;
    }
    if (isBlank(c))
        return true;
    m_params.last().value = m_buffer.size();
    append(c);
    m_state = State::ParamValue;
    return true;
}

bool VCardParser::processParamValue(char c)
{
    if (c == ':') {
        emitProperty();
    } else if (c == ';') {
        if (m_escaped) {
            m_escaped = false;
            append(';');
        } else {
            append('\0');
            m_state = State::BeforeParamName;
        }
    } else if (c == '\\') {
        if (m_escaped) {
            m_escaped = false;
            append('\\');
        } else {
            m_escaped = true;
        }
    } else if (!isBlank(c)) {
        append(c);
    }
    return true;
}

bool VCardParser::processValue(char c)
{
    if (c == '\n') {
        const bool ok = endOfValue();
        resetLine();
        return ok;
    }
    if (c == '\r')
        return true;
    if (m_skipBlanks && isBlank(c))
        return true;
    m_skipBlanks = false;
    return decodeValueChar(c);
}

// Every piece in the buffer ends with a NUL, so a piece reads up to it.
QByteArray VCardParser::pieceAt(qsizetype offset) const
{
    return QByteArray(m_buffer.constData() + offset);
}

void VCardParser::emitProperty()
{
    append('\0');
    const QByteArray name = pieceAt(0);
    QList<Param> params;
    params.reserve(m_params.size());
    for (const ParamOffsets &offsets : std::as_const(m_params)) {
        Param param{pieceAt(offsets.name), std::nullopt};
        if (offsets.value >= 0)
            param.value = pieceAt(offsets.value);
        const QByteArray word = (param.name.compare("ENCODING", Qt::CaseInsensitive) == 0)
            ? param.value.value_or(QByteArray())
            : param.name;
        if (word.compare("QUOTED-PRINTABLE", Qt::CaseInsensitive) == 0)
            m_encoding = Encoding::QuotedPrintable;
        else if (word.compare("BASE64", Qt::CaseInsensitive) == 0 || word.compare("B", Qt::CaseInsensitive) == 0)
            m_encoding = Encoding::Base64;
        else if (word.compare("8BIT", Qt::CaseInsensitive) == 0)
            m_encoding = Encoding::EightBit;
        params.append(std::move(param));
    }
    if (m_onProperty)
        m_onProperty(name, params);
    m_buffer.truncate(0);
    m_state = State::Value;
}

bool VCardParser::decodeValueChar(char c)
{
    switch (m_encoding) {
    case Encoding::QuotedPrintable:
        decodeQuotedPrintable(c);
        return true;
    case Encoding::Base64:
        return decodeBase64(c);
    case Encoding::None:
    case Encoding::EightBit:
        append(c);
        return true;
    }
    return true;
}

void VCardParser::decodeQuotedPrintable(char c)
{
    if (c == '=') {
        m_qpPending = true;
        m_scratchLength = 0;
        return;
    }
    if (!m_qpPending) {
        append(c);
        return;
    }
    m_scratch[m_scratchLength++] = c;
    if (m_scratchLength < 2)
        return;
    m_scratch[2] = '\0';
    unsigned int byte = 0;
    std::sscanf(m_scratch, "%X", &byte);   // an unreadable pair leaves 0
    append(char(byte & 0xFF));
    m_qpPending = false;
    m_scratchLength = 0;
}

bool VCardParser::decodeBase64(char c)
{
    if (isBlank(c))
        return true;
    m_scratch[m_scratchLength++] = c;
    if (m_scratchLength < 4)
        return true;
    return flushBase64Quartet();
}

bool VCardParser::flushBase64Quartet()
{
    m_scratchLength = 0;
    const int first = base64Digit(m_scratch[0]);
    const int second = base64Digit(m_scratch[1]);
    if (first < 0 || second < 0)
        return false;
    append(char((first << 2) | (second >> 4)));
    if (m_scratch[2] == '=')
        return true;
    const int third = base64Digit(m_scratch[2]);
    if (third < 0)
        return false;
    append(char(((second & 0x0F) << 4) | (third >> 2)));
    if (m_scratch[3] == '=')
        return true;
    const int fourth = base64Digit(m_scratch[3]);
    if (fourth < 0)
        return false;
    append(char(((third & 0x03) << 6) | fourth));
    return true;
}

bool VCardParser::endOfValue()
{
    if (m_encoding == Encoding::Base64 && m_scratchLength > 0) {
        while (m_scratchLength < 4)
            m_scratch[m_scratchLength++] = '=';
        if (!flushBase64Quartet())
            return false;
    }
    if (m_onValue) {
        if (!m_buffer.isEmpty())
            m_onValue(&m_buffer);
        m_onValue(nullptr);
    }
    return true;
}

void VCardParser::resetLine()
{
    if (m_buffer.capacity() > kBufferKeepLimit)
        m_buffer = QByteArray();
    else
        m_buffer.truncate(0);
    m_state = State::Name;
    m_skipBlanks = true;
    m_params.clear();
    m_escaped = false;
    m_encoding = Encoding::None;
    m_qpPending = false;
    m_scratchLength = 0;
}

void VCardParser::append(char c)
{
    if (m_buffer.size() == m_buffer.capacity())
        m_buffer.reserve(m_buffer.size() + kBufferStep);
    m_buffer.append(c);
}
