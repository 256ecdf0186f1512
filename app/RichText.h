#pragma once

#include <QString>

// Message boxes and the progress dialog's error texts are rich text. Anything
// that did not come from this program (exception texts, paths, names, adb's
// and the agent's words) enters such a text through this one function, which
// keeps it literal: & < > " are escaped and line breaks become <br/>.
QString richTextFromPlain(const QString &plain);
