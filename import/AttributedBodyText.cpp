#include "import/AttributedBodyText.h"

#include <QByteArrayView>

namespace {

// How far past "NSString" the '+' of the string's bytes may stand: the class
// version and the object's type bytes lie between.
const qsizetype MaxTypeBytes = 8;

// Reads an unsigned little-endian number of `size` bytes at `pos`; false
// when the blob ends first.
bool readLittleEndian(QByteArrayView bytes, qsizetype pos, int size, quint64 &value)
{
    if (pos < 0 || size > bytes.size() - pos)
        return false;
    value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[pos + i]);
    return true;
}

// The string length at `pos`, with `pos` moved past it; false when it cannot be read.
bool readLength(QByteArrayView bytes, qsizetype &pos, quint64 &length)
{
    if (pos >= bytes.size())
        return false;
    const quint8 first = quint8(bytes[pos++]);
    if (first < 0x81) {
        length = first;
        return true;
    }
    const int size = first == 0x81 ? 2 : first == 0x82 ? 4 : 0;
    if (size == 0 || !readLittleEndian(bytes, pos, size, length))
        return false;
    pos += size;
    return true;
}

} // namespace

QString attributedBodyText(const QByteArray &blob)
{
    const QByteArrayView bytes(blob);
    if (!bytes.startsWith(QByteArrayView("\x04\x0bstreamtyped")))
        return QString();
    const qsizetype className = bytes.indexOf(QByteArrayView("NSString"));
    if (className < 0)
        return QString();
    const qsizetype typeStart = className + 8;
    const qsizetype plus = bytes.sliced(typeStart, qMin(MaxTypeBytes, bytes.size() - typeStart)).indexOf('+');
    if (plus < 0)
        return QString();
    qsizetype pos = typeStart + plus + 1;
    quint64 length = 0;
    if (!readLength(bytes, pos, length) || length > quint64(bytes.size() - pos))
        return QString();
    return QString::fromUtf8(bytes.sliced(pos, qsizetype(length)));
}
