#include "android/Base64Decode.h"

#include <array>

namespace {

constexpr quint8 Invalid = 0xFF;

constexpr std::array<quint8, 128> makeTable()
{
    std::array<quint8, 128> table{};
    for (auto &value : table)
        value = Invalid;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (quint8 i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = i;
    return table;
}

constexpr std::array<quint8, 128> Table = makeTable();

quint8 sextet(char16_t c)
{
    return c < 128 ? Table[c] : Invalid;
}

QByteArray generalDecode(QStringView text)
{
    return QByteArray::fromBase64(text.toLatin1());
}

} // namespace

QByteArray decodeBase64(QStringView text)
{
    const qsizetype length = text.size();
    if (length % 4 != 0)
        return generalDecode(text);
    qsizetype padding = 0;
    if (length > 0 && text[length - 1] == u'=')
        padding = length > 1 && text[length - 2] == u'=' ? 2 : 1;

    QByteArray bytes(length / 4 * 3 - padding, Qt::Uninitialized);
    char *out = bytes.data();
    const char16_t *in = text.utf16();
    const qsizetype whole = length - (padding > 0 ? 4 : 0);
    for (qsizetype i = 0; i < whole; i += 4) {
        const quint8 a = sextet(in[i]), b = sextet(in[i + 1]), c = sextet(in[i + 2]), d = sextet(in[i + 3]);
        if ((a | b | c | d) & 0x80)
            return generalDecode(text);
        *out++ = char((a << 2) | (b >> 4));
        *out++ = char((b << 4) | (c >> 2));
        *out++ = char((c << 6) | d);
    }
    if (padding > 0) {
        const qsizetype i = length - 4;
        const quint8 a = sextet(in[i]), b = sextet(in[i + 1]);
        const quint8 c = padding == 1 ? sextet(in[i + 2]) : 0;
        if ((a | b | c) & 0x80)
            return generalDecode(text);
        *out++ = char((a << 2) | (b >> 4));
        if (padding == 1)
            *out++ = char((b << 4) | (c >> 2));
    }
    return bytes;
}
