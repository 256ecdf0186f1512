#pragma once

#include <QHash>
#include <QString>

#include <list>

class Sqlite3Sql;
struct sqlite3;
struct sqlite3_stmt;

// Prepared statements of one connection, keyed by SQL text, so that a loop
// running the same statement per row prepares it once. Entries are kept in
// least-recently-used order and the oldest idle one is finalized beyond the
// capacity (texts with substituted row ids would otherwise grow without end).
//
// A statement handed out by acquire() is busy until release(). Asking for a
// busy text prepares a separate statement, which release() finalizes, so a
// live cursor is never reset under its reader.
//
// Shared (QSharedPointer) by the connection and its cursors: after detach()
// the connection is gone for new work, idle statements are finalized, and busy
// ones are finalized when their cursor releases them (the connection is closed
// with sqlite3_close_v2, which waits for that).
class Sqlite3StatementCache
{
public:
    explicit Sqlite3StatementCache(sqlite3 *db, int capacity = 128);
    ~Sqlite3StatementCache();
    Sqlite3StatementCache(const Sqlite3StatementCache &) = delete;
    Sqlite3StatementCache &operator=(const Sqlite3StatementCache &) = delete;

    sqlite3 *db() const { return m_db; }

    // A statement for `sql`, reset and without bindings. Raises
    // SqliteException when preparing fails or the cache is detached.
    // `hasTail` (optional) tells whether text follows the first statement;
    // such a statement is never cached.
    sqlite3_stmt *acquire(const QString &sql, bool *hasTail = nullptr);
    // Resets the statement and clears its bindings; keeps it when it is the
    // cached one, else finalizes it.
    void release(const QString &sql, sqlite3_stmt *stmt);

    // Binds the values of `sql` to `stmt` in order; raises SqliteException when
    // their number differs from the statement's parameter count.
    static void bindParams(sqlite3_stmt *stmt, const Sqlite3Sql &sql);
    // SQLite's error text for the connection of `stmt`.
    static QString errorText(sqlite3_stmt *stmt);

    // Finalizes idle statements and refuses further work.
    void detach();
    bool isDetached() const { return m_db == nullptr; }

    void setCapacity(int capacity);
    int capacity() const { return m_capacity; }
    int cachedCount() const { return int(m_entries.size()); }
    // Number of sqlite3_prepare calls since construction.
    int prepareCount() const { return m_prepareCount; }

private:
    struct Entry {
        QString sql;
        sqlite3_stmt *stmt;
        bool busy;
    };
    using EntryList = std::list<Entry>;

    sqlite3_stmt *prepare(const QString &sql, bool *hasTail);
    void evictIdleBeyondCapacity();

    sqlite3 *m_db;
    int m_capacity;
    int m_prepareCount = 0;
    EntryList m_entries;  // most recently used first
    QHash<QString, EntryList::iterator> m_index;
};
