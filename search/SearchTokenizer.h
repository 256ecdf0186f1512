#pragma once

struct sqlite3;

// The FTS5 tokenizer of the search indexes, "ferrywright_words": unicode61
// with diacritics removed (case and accents never matter), except that every
// character of the scripts written without spaces between words (Chinese,
// Japanese kana, Korean syllables, Thai) is a token of its own. A query word
// in those scripts becomes a phrase of its characters, so a word is found
// inside a longer run of text, which a space-separated tokenizer cannot do.
//
// Registered per connection; a connection must register it before it
// touches a table that names it. Raises SqliteException when FTS5 is missing.
void registerSearchTokenizer(sqlite3 *db);

// The name to use in "tokenize=...".
constexpr const char *kSearchTokenizerName = "ferrywright_words";
