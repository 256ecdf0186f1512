#pragma once

#include "app/AppFolders.h"

#include <QTemporaryDir>

// Points HOME (and so the data root) at a fresh temporary folder for the life of
// the object, then restores the previous HOME and forgets the cached data root.
class TemporaryHome
{
public:
    TemporaryHome()
        : m_savedHome(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        resetDataRootCacheForTests();
    }

    ~TemporaryHome()
    {
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_savedHome;
};
