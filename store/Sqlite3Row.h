#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "store/Sqlite3Sql.h"

// One result row, or a row to insert: column name -> value. Values are QString
// (TEXT), qint64 (INTEGER), double (REAL), QByteArray (BLOB) or an invalid
// QVariant (NULL); int and bool values set by callers bind as INTEGER.
// Lookups try the exact name first and then ignore case, as SQLite does
// ("rowid" finds the column "ROWID").
class Sqlite3Row
{
public:
    using Map = QMap<QString, QVariant>;

    Sqlite3Row() = default;

    void insert(const QString &column, const QVariant &value) { m_values.insert(column, value); }
    QVariant &operator[](const QString &column) { return m_values[column]; }
    bool contains(const QString &column) const;
    QVariant value(const QString &column, const QVariant &defaultValue = QVariant()) const;
    void remove(const QString &column);

    QStringList columns() const { return m_values.keys(); }
    int size() const { return m_values.size(); }
    bool isEmpty() const { return m_values.isEmpty(); }
    const Map &values() const { return m_values; }
    Map::const_iterator begin() const { return m_values.cbegin(); }
    Map::const_iterator end() const { return m_values.cend(); }

    // "insert into <table>(<columns>) values(?,...)" with the row's values bound
    // by type. An empty `columns` means every column of the row; a listed
    // column the row does not hold is left out, so it takes its default.
    // Column names are quoted, so names such as "replace" are safe.
    Sqlite3Sql insertSql(const QString &table, const QStringList &columns = QStringList()) const;

private:
    Map::const_iterator find(const QString &column) const;

    Map m_values;
};
