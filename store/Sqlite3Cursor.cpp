#include "store/Sqlite3Cursor.h"

#include "store/Sqlite3StatementCache.h"
#include "store/SqliteException.h"

#include <sqlite3.h>

#include <utility>

Sqlite3Cursor::Sqlite3Cursor() = default;

Sqlite3Cursor::Sqlite3Cursor(QSharedPointer<Sqlite3StatementCache> cache, const Sqlite3Sql &sql)
    : m_cache(std::move(cache)), m_sql(sql)
{
    bool hasTail = false;
    m_stmt = m_cache->acquire(m_sql.sql(), &hasTail);
    try {
        if (hasTail) {
            throw SqliteException(SQLITE_MISUSE,
                                  QStringLiteral("a query must be a single statement"), m_sql.sql());
        }
        Sqlite3StatementCache::bindParams(m_stmt, m_sql);
    } catch (...) {
        releaseStatement();
        throw;
    }
    const int columns = sqlite3_column_count(m_stmt);
    m_columnNames.reserve(columns);
    for (int i = 0; i < columns; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(m_stmt, i));
        m_columnNames.append(name);
        // With duplicate names the first column wins, as a reader would expect.
        if (!m_exactIndex.contains(name))
            m_exactIndex.insert(name, i);
        const QString folded = name.toLower();
        if (!m_foldedIndex.contains(folded))
            m_foldedIndex.insert(folded, i);
    }
}

Sqlite3Cursor::~Sqlite3Cursor()
{
    releaseStatement();
}

Sqlite3Cursor::Sqlite3Cursor(Sqlite3Cursor &&other) noexcept
    : m_cache(std::move(other.m_cache)),
      m_sql(std::move(other.m_sql)),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_onRow(std::exchange(other.m_onRow, false)),
      m_columnNames(std::move(other.m_columnNames)),
      m_exactIndex(std::move(other.m_exactIndex)),
      m_foldedIndex(std::move(other.m_foldedIndex))
{
}

Sqlite3Cursor &Sqlite3Cursor::operator=(Sqlite3Cursor &&other) noexcept
{
    if (this != &other) {
        releaseStatement();
        m_cache = std::move(other.m_cache);
        m_sql = std::move(other.m_sql);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_onRow = std::exchange(other.m_onRow, false);
        m_columnNames = std::move(other.m_columnNames);
        m_exactIndex = std::move(other.m_exactIndex);
        m_foldedIndex = std::move(other.m_foldedIndex);
    }
    return *this;
}

void Sqlite3Cursor::releaseStatement()
{
    m_onRow = false;
    if (m_stmt && m_cache)
        m_cache->release(m_sql.sql(), m_stmt);
    m_stmt = nullptr;
}

bool Sqlite3Cursor::moveNext()
{
    if (!m_stmt) {
        m_onRow = false;
        return false;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_onRow = true;
        return true;
    }
    if (rc == SQLITE_DONE) {
        releaseStatement();
        return false;
    }
    const QString message = Sqlite3StatementCache::errorText(m_stmt);
    releaseStatement();
    throw SqliteException(rc, message, m_sql.sql());
}

int Sqlite3Cursor::columnIndex(const QString &name) const
{
    const auto exact = m_exactIndex.constFind(name);
    if (exact != m_exactIndex.cend())
        return exact.value();
    return m_foldedIndex.value(name.toLower(), -1);
}

void Sqlite3Cursor::requireRow(int index) const
{
    if (!m_onRow || !m_stmt)
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("cursor is not on a row"), m_sql.sql());
    if (index < 0 || index >= m_columnNames.size())
        throw SqliteException(SQLITE_RANGE, QStringLiteral("column %1 out of range").arg(index),
                              m_sql.sql());
}

bool Sqlite3Cursor::hasValueAt(int index) const
{
    if (!m_onRow || !m_stmt)
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("cursor is not on a row"), m_sql.sql());
    if (index < 0)
        return false;  // a name the result does not have
    requireRow(index);
    return true;
}

bool Sqlite3Cursor::isNull(const QString &name) const
{
    const int index = columnIndex(name);
    if (!hasValueAt(index))
        return true;
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

QString Sqlite3Cursor::getText(int index) const
{
    if (!hasValueAt(index))
        return QString();
    // The files store UTF-8: Qt's decoder is faster than SQLite's own
    // conversion to UTF-16, which a large load spends much of its time in.
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
    const int bytes = sqlite3_column_bytes(m_stmt, index);
    if (!data)
        return QString();
    return QString::fromUtf8(data, bytes);
}

qint32 Sqlite3Cursor::getInt(int index) const
{
    if (!hasValueAt(index))
        return 0;
    return sqlite3_column_int(m_stmt, index);
}

qint64 Sqlite3Cursor::getInt64(int index) const
{
    if (!hasValueAt(index))
        return 0;
    return sqlite3_column_int64(m_stmt, index);
}

QByteArray Sqlite3Cursor::getBlob(int index) const
{
    if (!hasValueAt(index))
        return QByteArray();
    const void *data = sqlite3_column_blob(m_stmt, index);
    const int bytes = sqlite3_column_bytes(m_stmt, index);
    if (!data || bytes <= 0)
        return QByteArray();
    return QByteArray(static_cast<const char *>(data), bytes);
}

QVariant Sqlite3Cursor::getValue(int index) const
{
    requireRow(index);
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    case SQLITE_TEXT:
        return QVariant(getText(index));
    case SQLITE_BLOB:
        return QVariant(getBlob(index));
    default:
        return QVariant();
    }
}

QString Sqlite3Cursor::getText(const QString &name) const
{
    return getText(columnIndex(name));
}

qint32 Sqlite3Cursor::getInt(const QString &name) const
{
    return getInt(columnIndex(name));
}

qint64 Sqlite3Cursor::getInt64(const QString &name) const
{
    return getInt64(columnIndex(name));
}

QByteArray Sqlite3Cursor::getBlob(const QString &name) const
{
    return getBlob(columnIndex(name));
}

Sqlite3Row Sqlite3Cursor::getRow() const
{
    if (!m_onRow || !m_stmt)
        throw SqliteException(SQLITE_MISUSE, QStringLiteral("cursor is not on a row"), m_sql.sql());
    Sqlite3Row row;
    for (int i = 0; i < m_columnNames.size(); ++i) {
        // Duplicate names keep the first column, matching the name lookup.
        if (!row.values().contains(m_columnNames.at(i)))
            row.insert(m_columnNames.at(i), getValue(i));
    }
    return row;
}

int Sqlite3Cursor::count() const
{
    if (!m_cache)
        return 0;
    sqlite3_stmt *stmt = m_cache->acquire(m_sql.sql());
    int rows = 0;
    try {
        if (!sqlite3_stmt_readonly(stmt)) {
            throw SqliteException(SQLITE_MISUSE,
                                  QStringLiteral("count() would run a writing statement again"),
                                  m_sql.sql());
        }
        Sqlite3StatementCache::bindParams(stmt, m_sql);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            ++rows;
        if (rc != SQLITE_DONE)
            throw SqliteException(rc, Sqlite3StatementCache::errorText(stmt), m_sql.sql());
    } catch (...) {
        m_cache->release(m_sql.sql(), stmt);
        throw;
    }
    m_cache->release(m_sql.sql(), stmt);
    return rows;
}
