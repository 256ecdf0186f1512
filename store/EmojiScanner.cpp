#include "store/EmojiScanner.h"

#include <algorithm>
#include <iterator>

namespace {

// Symbols outside the private-use range that count as one-unit emoji, sorted.
constexpr char16_t kSymbolEmoji[] = {
    0x203C, 0x2049, 0x2139, 0x2194, 0x2195, 0x21A9, 0x21AA, 0x231A, 0x231B, 0x23EB, 0x23EC,
    0x23F0, 0x23F3, 0x24C2, 0x25AA, 0x25AB, 0x25FB, 0x25FC, 0x25FD, 0x25FE, 0x2611, 0x267B,
    0x2693, 0x26AA, 0x26AB, 0x26C5, 0x26D4, 0x2705, 0x2709, 0x270F, 0x2712, 0x2714, 0x2744,
    0x2747, 0x274E, 0x2795, 0x2796, 0x2797, 0x27B0, 0x2934, 0x2935, 0x2B1B, 0x2B1C, 0x3030,
};

constexpr char16_t kPrivateUseFirst = 0xE000;
constexpr char16_t kPrivateUseLast = 0xE537;

bool isEmojiHighSurrogate(char16_t unit)
{
    return unit == 0xD83C || unit == 0xD83D;
}

bool isLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

char32_t decodeSurrogates(char16_t high, char16_t low)
{
    return (char32_t(high - 0xD800) << 10) + char32_t(low - 0xDC00) + 0x10000;
}

// Both passes copy the stretches between emoji whole and hand back the text
// itself when it holds none (most messages).

// Pass 1: single units.
QString replaceSingleUnits(const QString &text, const EmojiReplacer &replacer)
{
    QString out;
    qsizetype copied = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (!isSingleUnitEmoji(unit))
            continue;
        out += QStringView(text).sliced(copied, i - copied);
        out += replacer(emojiKey(unit));
        copied = i + 1;
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

// Pass 2: surrogate pairs of the two emoji planes' blocks.
QString replaceSurrogatePairs(const QString &text, const EmojiReplacer &replacer)
{
    QString out;
    qsizetype copied = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i + 1 < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (!isEmojiHighSurrogate(unit) || !isLowSurrogate(text.at(i + 1).unicode()))
            continue;
        out += QStringView(text).sliced(copied, i - copied);
        out += replacer(emojiKey(decodeSurrogates(unit, text.at(i + 1).unicode())));
        copied = i + 2;
        ++i;
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

} // namespace

bool isSingleUnitEmoji(char16_t unit)
{
    if (unit < kSymbolEmoji[0])
        return false;  // most text: one comparison
    if (unit >= kPrivateUseFirst && unit <= kPrivateUseLast)
        return true;
    return std::binary_search(std::begin(kSymbolEmoji), std::end(kSymbolEmoji), unit);
}

QString emojiKey(char32_t codePoint)
{
    return QString::number(quint32(codePoint), 16).toUpper();
}

QString replaceEmoji(const QString &text, const EmojiReplacer &replacer)
{
    return replaceSurrogatePairs(replaceSingleUnits(text, replacer), replacer);
}
