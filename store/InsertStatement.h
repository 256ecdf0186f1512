#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include "store/Sqlite3Sql.h"

// One row to insert, column by column: "insert into <table>("c1","c2",...)
// values(?,?,...)" with the values bound in order. Columns left out take
// their defaults.
//
// The merge inserts a message row per message, so this stays cheap: the
// column list is collected as bytes, and the statement text is assembled
// once per distinct column list and then reused from `texts` (which the
// caller keeps per connection); the connection's statement cache then finds
// the same prepared statement again.
class InsertStatement
{
public:
    explicit InsertStatement(const QString &table) : m_table(table) {}

    InsertStatement &text(const char *column, const QString &value);
    InsertStatement &integer(const char *column, qint64 value);
    InsertStatement &blob(const char *column, const QByteArray &value);
    // Only when the value is not empty.
    InsertStatement &textIfSet(const char *column, const QString &value);
    InsertStatement &blobIfSet(const char *column, const QByteArray &value);

    int columnCount() const { return m_values.paramCount(); }
    // The statement with its values; `texts` maps column lists to texts.
    Sqlite3Sql sql(QHash<QByteArray, QString> &texts) const;

private:
    void addColumn(const char *column);

    QString m_table;
    QByteArray m_columns;  // "\"c1\",\"c2\""
    Sqlite3Sql m_values;
};
