#pragma once

#include "app/AppFolders.h"

#include <QTemporaryDir>

#include <optional>

// Points HOME (and so the data root) at a fresh temporary folder for the life of
// the object, then restores the previous HOME and forgets the cached data root.
// The XDG folders, which would win over HOME, are unset meanwhile.
class TemporaryHome
{
public:
    TemporaryHome()
        : m_savedHome(qgetenv("HOME"))
        , m_savedDataHome(savedVariable("XDG_DATA_HOME"))
        , m_savedConfigHome(savedVariable("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        resetDataRootCacheForTests();
    }

    ~TemporaryHome()
    {
        qputenv("HOME", m_savedHome);
        restoreVariable("XDG_DATA_HOME", m_savedDataHome);
        restoreVariable("XDG_CONFIG_HOME", m_savedConfigHome);
        resetDataRootCacheForTests();
    }

    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    static std::optional<QByteArray> savedVariable(const char *name)
    {
        if (!qEnvironmentVariableIsSet(name))
            return std::nullopt;
        return qgetenv(name);
    }

    static void restoreVariable(const char *name, const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedHome;
    std::optional<QByteArray> m_savedDataHome;
    std::optional<QByteArray> m_savedConfigHome;
};
