#include "android/HashKey.h"

HashKey HashKey::fromHex(QStringView hash)
{
    // Called for every record: a plain loop, not the general hex decoder.
    HashKey key;
    if (hash.size() != 32)
        return key;
    for (int i = 0; i < 32; ++i) {
        const char16_t c = hash.at(i).unicode();
        const quint64 digit = c >= u'0' && c <= u'9' ? c - u'0'
            : c >= u'a' && c <= u'f'                 ? c - u'a' + 10
            : c >= u'A' && c <= u'F'                 ? c - u'A' + 10
                                                     : 0;
        quint64 &half = i < 16 ? key.high : key.low;
        half = (half << 4) | digit;
    }
    return key;
}

QString HashKey::toHex() const
{
    static const char digits[] = "0123456789abcdef";
    QString text(32, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i) {
        text[15 - i] = QLatin1Char(digits[(high >> (4 * i)) & 0xF]);
        text[31 - i] = QLatin1Char(digits[(low >> (4 * i)) & 0xF]);
    }
    return text;
}
