#pragma once

#include <QString>

// The FTS5 query of what a person typed: every word must occur (in any
// order), each as a phrase of the tokens the index makes of it, so
// punctuation and quotes in the input never reach the query syntax. Words of
// three or more characters also match as the start of a longer word ("meet"
// finds "meeting"); shorter ones match whole, since a one-letter prefix
// matches most of the index. Words without any letter or digit are dropped;
// an empty result means there is nothing to search for.
QString searchMatchExpression(const QString &words);
