#include "store/InsertStatement.h"

void InsertStatement::addColumn(const char *column)
{
    if (!m_columns.isEmpty())
        m_columns += ',';
    m_columns += '"';
    m_columns += column;
    m_columns += '"';
}

InsertStatement &InsertStatement::text(const char *column, const QString &value)
{
    addColumn(column);
    m_values.addTextParam(value);
    return *this;
}

InsertStatement &InsertStatement::integer(const char *column, qint64 value)
{
    addColumn(column);
    m_values.addInt64Param(value);
    return *this;
}

InsertStatement &InsertStatement::blob(const char *column, const QByteArray &value)
{
    addColumn(column);
    m_values.addBlobParam(value);
    return *this;
}

InsertStatement &InsertStatement::textIfSet(const char *column, const QString &value)
{
    return value.isEmpty() ? *this : text(column, value);
}

InsertStatement &InsertStatement::blobIfSet(const char *column, const QByteArray &value)
{
    return value.isEmpty() ? *this : blob(column, value);
}

Sqlite3Sql InsertStatement::sql(QHash<QByteArray, QString> &texts) const
{
    const QByteArray key = m_table.toUtf8() + ':' + m_columns;
    QString &text = texts[key];
    if (text.isEmpty()) {
        if (m_columns.isEmpty()) {
            text = QStringLiteral("insert into %1 default values").arg(m_table);
        } else {
            QString marks = QStringLiteral("?");
            marks += QStringLiteral(",?").repeated(columnCount() - 1);
            text = QStringLiteral("insert into %1(%2) values(%3)")
                       .arg(m_table, QString::fromLatin1(m_columns), marks);
        }
    }
    Sqlite3Sql sql = m_values;
    sql.appendSql(text);
    return sql;
}
