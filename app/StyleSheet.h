#pragma once

#include <QString>

// The application style sheet, the resource ":style.css" as Latin-1 text up to
// its first NUL byte. Read once; while the resource cannot be opened the result
// is empty and the next call tries again. GUI thread only.
QString appStyleSheet();
