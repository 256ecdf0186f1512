#include "store/Sqlite3DB.h"

#include "store/Sqlite3StatementCache.h"

#include <sqlite3.h>

int sqlite_qt_version()
{
    return 5;
}

Sqlite3DB::Sqlite3DB() = default;

Sqlite3DB::~Sqlite3DB()
{
    Sqlite3DB::close();
}

void Sqlite3DB::openThrow(const QString &path, int flags)
{
    close();
    sqlite3 *db = nullptr;
    const QByteArray name = path.toUtf8();  // SQLite takes UTF-8 file names
    // A connection never leaves the thread that opened it, so SQLite's lock
    // around every call on it (each column of each row read) is pure cost.
    const int rc = sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw SqliteException(rc, QStringLiteral("cannot open %1: %2").arg(path, message));
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, m_busyTimeoutMs);
    m_db = db;
    m_path = path;
    m_cache.reset(new Sqlite3StatementCache(db, m_cacheCapacity));
}

void Sqlite3DB::close()
{
    if (!m_db)
        return;
    m_prepareCountOfClosedConnections += m_cache->prepareCount();
    m_cache->detach();
    m_cache.reset();
    // close_v2 defers the real close until cursors still reading finalize
    // their statements.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Sqlite3DB::requireOpen(const QString &sql) const
{
    if (!m_db)
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("database is not open"), sql);
}

Sqlite3Cursor Sqlite3DB::queryThrow(const QString &sql)
{
    return queryThrow(Sqlite3Sql(sql));
}

Sqlite3Cursor Sqlite3DB::queryThrow(const Sqlite3Sql &sql)
{
    requireOpen(sql.sql());
    return Sqlite3Cursor(m_cache, sql);
}

void Sqlite3DB::executeThrow(const QString &sql)
{
    executeThrow(Sqlite3Sql(sql));
}

void Sqlite3DB::executeThrow(const Sqlite3Sql &sql)
{
    requireOpen(sql.sql());
    runToCompletion(sql);
}

void Sqlite3DB::runToCompletion(const Sqlite3Sql &sql)
{
    bool hasTail = false;
    sqlite3_stmt *stmt = m_cache->acquire(sql.sql(), &hasTail);
    if (hasTail) {
        m_cache->release(sql.sql(), stmt);
        if (sql.paramCount() > 0) {
            throw SqliteException(SQLITE_MISUSE,
                                  QStringLiteral("parameters need a single statement"), sql.sql());
        }
        QString error;
        const int rc = exec(sql.sql(), error);
        if (rc != SQLITE_OK)
            throw SqliteException(rc, error, sql.sql());
        return;
    }
    try {
        Sqlite3StatementCache::bindParams(stmt, sql);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            throw SqliteException(rc, Sqlite3StatementCache::errorText(stmt), sql.sql());
    } catch (...) {
        m_cache->release(sql.sql(), stmt);
        throw;
    }
    m_cache->release(sql.sql(), stmt);
}

int Sqlite3DB::exec(const QString &sql, QString &errorText)
{
    errorText.clear();
    if (!m_db) {
        errorText = QStringLiteral("database is not open");
        return SQLITE_MISUSE;
    }
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        errorText = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_free(message);
    return rc;
}

int Sqlite3DB::beginTran()
{
    QString error;
    return exec(QStringLiteral("BEGIN TRANSACTION"), error);
}

int Sqlite3DB::commitTran()
{
    QString error;
    return exec(QStringLiteral("COMMIT TRANSACTION"), error);
}

int Sqlite3DB::rollbackTran()
{
    QString error;
    return exec(QStringLiteral("ROLLBACK TRANSACTION"), error);
}

qint64 Sqlite3DB::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int Sqlite3DB::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

QString Sqlite3DB::lastErrorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("database is not open");
}

QMap<QString, _SqliteCol> Sqlite3DB::tbInfo(const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("PRAGMA table_info(\"%1\")").arg(quoted));
    QMap<QString, _SqliteCol> columns;
    while (cursor.moveNext()) {
        _SqliteCol col;
        col.cid = cursor.getInt(QStringLiteral("cid"));
        col.name = cursor.getText(QStringLiteral("name"));
        col.type = cursor.getText(QStringLiteral("type"));
        col.notnull = cursor.getInt(QStringLiteral("notnull")) != 0;
        col.dflt_value = cursor.getText(QStringLiteral("dflt_value"));
        col.pk = cursor.getInt(QStringLiteral("pk"));
        columns.insert(col.name, col);
    }
    return columns;
}

void Sqlite3DB::setBusyTimeoutMs(int ms)
{
    m_busyTimeoutMs = qMax(0, ms);
    if (m_db)
        sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
}

void Sqlite3DB::setStatementCacheCapacity(int capacity)
{
    m_cacheCapacity = qMax(0, capacity);
    if (m_cache)
        m_cache->setCapacity(m_cacheCapacity);
}

int Sqlite3DB::statementPrepareCount() const
{
    return m_prepareCountOfClosedConnections + (m_cache ? m_cache->prepareCount() : 0);
}

int Sqlite3DB::cachedStatementCount() const
{
    return m_cache ? m_cache->cachedCount() : 0;
}
