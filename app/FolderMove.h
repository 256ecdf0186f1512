#pragma once

#include <QString>

// Moving a whole folder so that at every moment, a crash included, its
// content is complete in at least one of the two places.

// Moves `from` to `to` (which must not exist, or be an empty folder): a
// rename when both are on one file system, else moveFolderByCopy. Throws
// std::runtime_error when it cannot; `from` is then as it was and nothing is
// left at `to`.
void moveFolder(const QString &from, const QString &to);

// The move across file systems: a copy into a hidden sibling of `to`,
// compared file by file with the original and flushed to disk, renamed into
// place, and only then the removal of `from`. The copy carries a marker
// naming `from` until that removal is done, so finishInterruptedFolderMove
// can complete a run that stopped in it.
void moveFolderByCopy(const QString &from, const QString &to);

// When `to` is a moved copy whose original was not yet (fully) removed,
// removes the rest of the original and then the marker. A copy left half
// made beside `to` is removed too.
void finishInterruptedFolderMove(const QString &to);
