#pragma once

#include <QMap>
#include <QSharedPointer>
#include <QString>

#include "store/Sqlite3Cursor.h"
#include "store/Sqlite3Row.h"
#include "store/Sqlite3Sql.h"
#include "store/SqliteCol.h"
#include "store/SqliteException.h"

struct sqlite3;
class Sqlite3StatementCache;

// Interface version of the access layer; start-up insists on 5.
int sqlite_qt_version();

// One SQLite connection. Statements run through a per-connection cache of
// prepared statements keyed by their text (see Sqlite3StatementCache), so
// repeating a statement with new values does not prepare it again.
// Methods ending in Throw, and every other method that runs SQL unless it
// returns a result code, raise SqliteException with SQLite's error text.
// Not thread-safe: one connection per thread.
class Sqlite3DB
{
public:
    // Open flags as the program passes them (SQLite's own values).
    enum OpenFlag {
        OpenReadOnly = 1,
        OpenReadWrite = 2,
        OpenReadWriteCreate = 6,
    };

    Sqlite3DB();
    virtual ~Sqlite3DB();
    Sqlite3DB(const Sqlite3DB &) = delete;
    Sqlite3DB &operator=(const Sqlite3DB &) = delete;

    // Opens `path` (closing any previous connection) with SQLite open flags.
    // Waits up to busyTimeoutMs() for a database locked by someone else.
    void openThrow(const QString &path, int flags);
    bool isOpen() const { return m_db != nullptr; }
    // Raw connection, null while closed.
    sqlite3 *handle() const { return m_db; }
    const QString &path() const { return m_path; }
    // Finalizes cached statements and closes (an open transaction is rolled
    // back); cursors still alive keep working until they finish, the file is
    // released after the last one.
    virtual void close();

    Sqlite3Cursor queryThrow(const QString &sql);
    Sqlite3Cursor queryThrow(const Sqlite3Sql &sql);
    // Runs one statement to completion. A parameterless text of several
    // statements runs as a script.
    void executeThrow(const QString &sql);
    void executeThrow(const Sqlite3Sql &sql);
    // Runs a script through sqlite3_exec; returns the SQLite result code
    // (0 = SQLITE_OK) and puts the error text in `errorText` (cleared on success).
    int exec(const QString &sql, QString &errorText);

    // Return SQLite result codes, 0 on success.
    int beginTran();
    int commitTran();
    int rollbackTran();

    qint64 lastInsertId() const;
    // Rows changed by the last insert, update or delete.
    int changes() const;
    QString lastErrorText() const;

    // Columns of `table` by name (PRAGMA table_info); empty for an unknown table.
    QMap<QString, _SqliteCol> tbInfo(const QString &table);

    void setBusyTimeoutMs(int ms);
    int busyTimeoutMs() const { return m_busyTimeoutMs; }

    // Statement cache introspection (tuning and tests).
    void setStatementCacheCapacity(int capacity);
    int statementPrepareCount() const;
    int cachedStatementCount() const;

private:
    void requireOpen(const QString &sql) const;
    void runToCompletion(const Sqlite3Sql &sql);

    sqlite3 *m_db = nullptr;
    QString m_path;
    QSharedPointer<Sqlite3StatementCache> m_cache;
    int m_busyTimeoutMs = 5000;
    int m_cacheCapacity = 128;
    int m_prepareCountOfClosedConnections = 0;
};
