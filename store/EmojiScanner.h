#pragma once

#include <QString>

#include <functional>

// Emoji are found in two passes over the text:
//  1. single UTF-16 units: the private-use range U+E000..U+E537 and a fixed
//     list of symbols (U+203C, U+2049, ... U+3030);
//  2. on the result of pass 1, a high surrogate D83C or D83D followed by a low
//     surrogate: the code point they encode.
// A lone or ill-formed surrogate is left as it is.

// Key of an emoji: its code point (or unit) in upper-case hex without leading
// zeros, e.g. "E415", "203C", "1F604". Also the picture name emoji/<key>.png.
QString emojiKey(char32_t codePoint);

using EmojiReplacer = std::function<QString(const QString &emojiKey)>;

// Copies `text`, replacing each emoji by replacer(emojiKey).
QString replaceEmoji(const QString &text, const EmojiReplacer &replacer);

// True when a pass-1 unit (the single-unit emoji set).
bool isSingleUnitEmoji(char16_t unit);
