#include "store/AbsDb.h"

#include <sqlite3.h>

void AbsDb::close()
{
    m_inTransaction = false;
    Sqlite3DB::close();
}

void AbsDb::beginTransaction()
{
    ensureOpen();
    const int rc = beginTran();
    if (rc != SQLITE_OK)
        throw SqliteException(rc, lastErrorText(), QStringLiteral("BEGIN TRANSACTION"));
    m_inTransaction = true;
}

int AbsDb::endTransaction(bool commit)
{
    if (!m_inTransaction)
        return SQLITE_OK;
    ensureOpen();
    m_inTransaction = false;
    if (!commit)
        return rollbackTran();
    const int rc = commitTran();
    if (rc != SQLITE_OK) {
        const QString error = lastErrorText();
        // A commit that failed (e.g. still busy) leaves the transaction open;
        // end it so the connection stays usable, then report the failure.
        if (handle() && !sqlite3_get_autocommit(handle()))
            rollbackTran();
        throw SqliteException(rc, error, QStringLiteral("COMMIT TRANSACTION"));
    }
    return rc;
}

qint64 AbsDb::insertRow(const Sqlite3Row &row, const QString &table, const QStringList &columns)
{
    ensureOpen();
    executeThrow(row.insertSql(table, columns));
    return lastInsertId();
}

QList<Sqlite3Row> AbsDb::selectAll(const QString &table)
{
    ensureOpen();
    QList<Sqlite3Row> rows;
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select * from %1").arg(table));
    while (cursor.moveNext())
        rows.append(cursor.getRow());
    return rows;
}
