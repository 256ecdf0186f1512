#pragma once

#include <QString>

// The FTS5 query of what a person typed: every word must occur (in any
// order), each as a phrase of the tokens the index makes of it, so
// punctuation and quotes in the input never reach the query syntax. Words
// match whole: a prefix query merges the lists of every word it starts, which
// for common starts costs far more than a search may take. Words without any
// letter or digit are dropped; an empty result means there is nothing to
// search for.
QString searchMatchExpression(const QString &words);
