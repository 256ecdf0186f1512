#include "import/XmlCharRefFilter.h"

#include <cstring>

namespace {

// Longest number a reference may hold and still be looked at; longer ones
// pass unchanged and the XML reader judges them.
const int MaxDigits = 8;
const char Replacement[] = "&#65533;";

struct Reference
{
    enum Kind { NotReference, Incomplete, Complete } kind = NotReference;
    quint32 value = 0;
    qsizetype length = 0;
};

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "&#NNN;" or "&#xHHH;" at the start of `text`.
Reference parseReference(const char *text, qsizetype size)
{
    Reference ref;
    qsizetype i = 1;
    if (i >= size)
        return {Reference::Incomplete};
    if (text[i++] != '#')
        return ref;
    if (i >= size)
        return {Reference::Incomplete};
    const bool hex = text[i] == 'x';
    if (hex)
        ++i;
    int digits = 0;
    for (; i < size; ++i) {
        const int digit = digitValue(text[i], hex);
        if (digit < 0)
            break;
        if (++digits > MaxDigits)
            return ref;
        ref.value = ref.value * (hex ? 16 : 10) + quint32(digit);
    }
    if (i >= size)
        return {Reference::Incomplete};
    if (digits == 0 || text[i] != ';')
        return ref;
    ref.kind = Reference::Complete;
    ref.length = i + 1;
    return ref;
}

bool isHighSurrogate(quint32 value) { return value >= 0xD800 && value <= 0xDBFF; }
bool isLowSurrogate(quint32 value) { return value >= 0xDC00 && value <= 0xDFFF; }

// The characters XML 1.0 allows.
bool isXmlChar(quint32 value)
{
    return value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF)
        || (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
}

} // namespace

XmlCharRefFilter::XmlCharRefFilter(QIODevice *source, QObject *parent)
    : ByteFilterDevice(source, parent)
{
}

void XmlCharRefFilter::convertChunk(const QByteArray &chunk)
{
    m_pending += chunk;
    convert(chunk.isEmpty());
}

void XmlCharRefFilter::convert(bool final)
{
    const char *text = m_pending.constData();
    const qsizetype size = m_pending.size();
    qsizetype done = 0;
    while (done < size) {
        const void *found = std::memchr(text + done, '&', size_t(size - done));
        const qsizetype amp = found ? static_cast<const char *>(found) - text : size;
        m_out.append(text + done, amp - done);
        done = amp;
        if (done >= size)
            break;
        const qsizetype used = convertReference(text + done, size - done, final);
        if (used == 0)
            break;  // wait for the rest of the reference
        done += used;
    }
    m_pending.remove(0, done);
}

qsizetype XmlCharRefFilter::convertReference(const char *text, qsizetype size, bool final)
{
    const Reference first = parseReference(text, size);
    if (first.kind == Reference::Incomplete && !final)
        return 0;
    if (first.kind != Reference::Complete) {
        m_out.append('&');
        return 1;
    }
    if (isHighSurrogate(first.value)) {
        const Reference second = parseReference(text + first.length, size - first.length);
        const bool secondStarts = first.length < size && text[first.length] == '&';
        if (second.kind == Reference::Incomplete && (secondStarts || first.length == size) && !final)
            return 0;
        if (secondStarts && second.kind == Reference::Complete && isLowSurrogate(second.value)) {
            const quint32 combined = 0x10000 + ((first.value - 0xD800) << 10) + (second.value - 0xDC00);
            m_out.append("&#").append(QByteArray::number(combined)).append(';');
            return first.length + second.length;
        }
        m_out.append(Replacement);
        return first.length;
    }
    if (!isXmlChar(first.value)) {
        m_out.append(Replacement);
        return first.length;
    }
    m_out.append(text, first.length);
    return first.length;
}
