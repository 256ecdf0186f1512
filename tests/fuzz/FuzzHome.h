#pragma once

// The fuzz targets write below the data root (country data, cache folders,
// converted databases): HOME points at a folder of their own for the whole
// run, removed when the process ends normally.

#include "app/AppFolders.h"

#include <QTemporaryDir>
#include <QtGlobal>

namespace fuzzhome {

inline const QTemporaryDir &useTemporaryHome()
{
    static const QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    resetDataRootCacheForTests();
    return home;
}

} // namespace fuzzhome
