#pragma once

// The fuzz targets write below the data root (country data, cache folders,
// converted databases): HOME points at a folder of their own for the whole
// run, removed when the process ends normally. Scratch files go to a memory
// file system where there is one: SQLite's syncs on a disk would make the
// database targets several times slower.

#include "app/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

namespace fuzzhome {

// A pattern for QTemporaryDir.
inline QString scratchPattern()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QString base = memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
    return base + QStringLiteral("/ferry-fuzz-XXXXXX");
}

inline const QTemporaryDir &useTemporaryHome()
{
    static const QTemporaryDir home(scratchPattern());
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_DATA_HOME");  // it would win over HOME
    resetDataRootCacheForTests();
    return home;
}

} // namespace fuzzhome
