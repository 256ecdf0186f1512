#include "store/Sqlite3StatementCache.h"

#include "store/Sqlite3Sql.h"
#include "store/SqliteException.h"

#include <QMetaType>
#include <QVariant>

#include <sqlite3.h>

namespace {

// Whether anything but blanks and semicolons follows the first statement.
bool isBlankTail(const char *tail)
{
    for (; tail && *tail; ++tail) {
        const char c = *tail;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';')
            return false;
    }
    return true;
}

const void *textData(const QString &text)
{
    static const char16_t empty[] = u"";
    return text.isEmpty() ? static_cast<const void *>(empty) : text.utf16();
}

void bindOne(sqlite3_stmt *stmt, int position, const QVariant &value)
{
    if (!value.isValid()) {
        sqlite3_bind_null(stmt, position);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString text = value.toString();
        sqlite3_bind_text16(stmt, position, textData(text), int(text.size() * 2), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        if (bytes.isEmpty())
            sqlite3_bind_zeroblob(stmt, position, 0);
        else
            sqlite3_bind_blob64(stmt, position, bytes.constData(), sqlite3_uint64(bytes.size()),
                                SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::Double:
        sqlite3_bind_double(stmt, position, value.toDouble());
        break;
    default:
        sqlite3_bind_int64(stmt, position, value.toLongLong());
        break;
    }
}

} // namespace

Sqlite3StatementCache::Sqlite3StatementCache(sqlite3 *db, int capacity)
    : m_db(db), m_capacity(qMax(0, capacity))
{
}

Sqlite3StatementCache::~Sqlite3StatementCache()
{
    // Only reached when no cursor holds a statement any more.
    for (Entry &entry : m_entries)
        sqlite3_finalize(entry.stmt);
}

sqlite3_stmt *Sqlite3StatementCache::prepare(const QString &sql, bool *hasTail)
{
    if (!m_db)
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("database is not open"), sql);
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    ++m_prepareCount;
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throw SqliteException(rc, QString::fromUtf8(sqlite3_errmsg(m_db)), sql);
    }
    if (!stmt)  // only blanks or comments
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("empty statement"), sql);
    if (hasTail)
        *hasTail = !isBlankTail(tail);
    return stmt;
}

sqlite3_stmt *Sqlite3StatementCache::acquire(const QString &sql, bool *hasTail)
{
    if (hasTail)
        *hasTail = false;
    const auto found = m_index.constFind(sql);
    if (found != m_index.cend()) {
        const EntryList::iterator entry = found.value();
        if (!entry->busy) {
            entry->busy = true;
            m_entries.splice(m_entries.begin(), m_entries, entry);  // most recent first
            return entry->stmt;
        }
        // In use by a live cursor: give this caller its own statement.
        return prepare(sql, hasTail);
    }

    bool tail = false;
    sqlite3_stmt *stmt = prepare(sql, &tail);
    if (hasTail)
        *hasTail = tail;
    if (tail || m_capacity == 0)
        return stmt;  // released statements not in the index are finalized
    m_entries.push_front(Entry{sql, stmt, true});
    m_index.insert(sql, m_entries.begin());
    evictIdleBeyondCapacity();
    return stmt;
}

void Sqlite3StatementCache::release(const QString &sql, sqlite3_stmt *stmt)
{
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    const auto found = m_index.constFind(sql);
    if (found != m_index.cend() && found.value()->stmt == stmt) {
        if (!m_db) {
            // Detached while the cursor was reading: nobody will reuse it.
            sqlite3_finalize(stmt);
            m_entries.erase(found.value());
            m_index.remove(sql);
            return;
        }
        found.value()->busy = false;
        evictIdleBeyondCapacity();
        return;
    }
    sqlite3_finalize(stmt);
}

void Sqlite3StatementCache::evictIdleBeyondCapacity()
{
    if (int(m_entries.size()) <= m_capacity)
        return;
    // Walk from the least recently used end; busy entries cannot go yet.
    auto it = m_entries.end();
    while (int(m_entries.size()) > m_capacity && it != m_entries.begin()) {
        --it;
        if (it->busy)
            continue;
        sqlite3_finalize(it->stmt);
        m_index.remove(it->sql);
        it = m_entries.erase(it);
    }
}

void Sqlite3StatementCache::setCapacity(int capacity)
{
    m_capacity = qMax(0, capacity);
    evictIdleBeyondCapacity();
}

void Sqlite3StatementCache::detach()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->busy) {
            ++it;
            continue;
        }
        sqlite3_finalize(it->stmt);
        m_index.remove(it->sql);
        it = m_entries.erase(it);
    }
    m_db = nullptr;
}

void Sqlite3StatementCache::bindParams(sqlite3_stmt *stmt, const Sqlite3Sql &sql)
{
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != sql.paramCount()) {
        throw SqliteException(SQLITE_RANGE,
                              QStringLiteral("statement has %1 parameters but %2 values were given")
                                  .arg(expected)
                                  .arg(sql.paramCount()),
                              sql.sql());
    }
    const QList<QVariant> &params = sql.params();
    for (int i = 0; i < params.size(); ++i)
        bindOne(stmt, i + 1, params.at(i));
}

QString Sqlite3StatementCache::errorText(sqlite3_stmt *stmt)
{
    return QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt)));
}
