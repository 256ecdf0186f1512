#pragma once

#include <QByteArray>
#include <QHash>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include "store/Sqlite3Row.h"
#include "store/Sqlite3Sql.h"

struct sqlite3_stmt;
class Sqlite3StatementCache;

// Forward-only reader over the rows of one query (Sqlite3DB::queryThrow).
//
// Rows are not materialised: moveNext() steps the statement. The statement
// goes back to its connection's cache as soon as the last row has been read
// (or the cursor is destroyed), so it does not stay busy.
//
// Columns are looked up by name through an index built once per cursor; names
// ignore case when no exact match exists. A name the result does not have
// reads as NULL (empty text, 0, empty blob), as does a negative position;
// use hasColumn() to tell. A position past the last column raises.
// Reading before the first moveNext() or after the last row raises.
//
// count() runs the same statement with the same values once more on its own
// statement and counts its rows; the cursor's position is unaffected. It is
// meant for read-only queries and raises for statements that write.
//
// Move-only. Use it on the thread of its connection.
class Sqlite3Cursor
{
public:
    Sqlite3Cursor();
    Sqlite3Cursor(QSharedPointer<Sqlite3StatementCache> cache, const Sqlite3Sql &sql);
    ~Sqlite3Cursor();
    Sqlite3Cursor(Sqlite3Cursor &&other) noexcept;
    Sqlite3Cursor &operator=(Sqlite3Cursor &&other) noexcept;
    Sqlite3Cursor(const Sqlite3Cursor &) = delete;
    Sqlite3Cursor &operator=(const Sqlite3Cursor &) = delete;

    // Advances to the next row; false after the last one. Raises
    // SqliteException on a step error.
    bool moveNext();

    int columnCount() const { return m_columnNames.size(); }
    const QStringList &columnNames() const { return m_columnNames; }
    bool hasColumn(const QString &name) const { return columnIndex(name) >= 0; }
    bool isNull(const QString &name) const;

    QString getText(const QString &name) const;
    qint32 getInt(const QString &name) const;
    qint64 getInt64(const QString &name) const;
    qint64 getInt64(int index) const;
    QByteArray getBlob(const QString &name) const;

    QString getText(int index) const;
    qint32 getInt(int index) const;
    QByteArray getBlob(int index) const;
    QVariant getValue(int index) const;

    Sqlite3Row getRow() const;

    int count() const;

    const Sqlite3Sql &sql() const { return m_sql; }

private:
    int columnIndex(const QString &name) const;
    void requireRow(int index) const;
    bool hasValueAt(int index) const;
    void releaseStatement();

    QSharedPointer<Sqlite3StatementCache> m_cache;
    Sqlite3Sql m_sql;
    sqlite3_stmt *m_stmt = nullptr;
    bool m_onRow = false;
    QStringList m_columnNames;
    QHash<QString, int> m_exactIndex;
    QHash<QString, int> m_foldedIndex;  // lower-cased names
};
