#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The data root and the file-name helpers every subsystem uses to find and
// name what it writes.

// R: <data folder>/FerryWright/<product id>, or <redirect target>/<product id>
// when <data folder>/FerryWright/<product id>.redirect names an existing path.
// The data folder is $XDG_DATA_HOME (default ~/.local/share) on Linux; data
// of earlier versions in ~/AppData/Roaming or ~/Application Data (Windows'
// roaming folder, still used there) is moved over once, or stays in use
// where it cannot be moved.
// Computed once and cached; every call creates the folder when it is missing.
// The home folder is taken from QDir::homePath(), so tests redirect it with HOME.
QDir dataRootDir();

// What finding the data root did or left that a user may look for (the
// move of an earlier version's data, a folder left alone), for the log.
QStringList dataRootNotes();

// R/local_databases, created with all parents when missing.
QDir localDatabasesDir();

// Removes the folder's visible files and sub-folders, then the folder itself.
// Hidden entries are not listed, so a folder holding one stays. Failures are silent.
void removeFolderRecursively(const QString &path);

// `path` itself when nothing exists there, else the first free numbered name
// in the same folder (see numberedFileName).
QString uniqueFilePath(const QString &path);

// "(counter)" put before the last suffix only: "Dr. Jones.html" gives
// "Dr. Jones(1).html", "notes" gives "notes(1)".
QString numberedFileName(const QString &fileName, int counter);

// Drops \ / : * ? " < > | and trims the result.
QString sanitizeFileName(const QString &name);

// `text` without control characters (a zero byte would cut a file name short).
QString withoutControlCharacters(const QString &text);

// Longest file name, in bytes of UTF-8, made from text that strangers send:
// systems allow 255, and a file is written under its name plus a temporary
// suffix before it is renamed.
constexpr int MaxSentFileNameBytes = 120;

// `name` when its UTF-8 fits `maxBytes`; else its stem cut at a character
// boundary so that stem and a short suffix (".jpeg") fit together.
QString fileNameWithin(const QString &name, int maxBytes = MaxSentFileNameBytes);

// The longest start of `text` whose UTF-8 fits `maxBytes`, cut between
// characters (never inside a surrogate pair).
QString truncatedToUtf8Bytes(const QString &text, int maxBytes);

// MD5 of the UTF-8 bytes, 32 lower-case hex digits.
QString md5Hex(const QString &text);

// Only for tests: forget the cached data root so a new HOME takes effect.
void resetDataRootCacheForTests();
