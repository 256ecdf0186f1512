#include "store/Sqlite3Sql.h"

Sqlite3Sql::Sqlite3Sql(const QString &sql) : m_sql(sql) {}

Sqlite3Sql &Sqlite3Sql::appendSql(const QString &text)
{
    m_sql += text;
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addTextParam(const QString &value)
{
    // A null QString would read back as NULL elsewhere; store an empty, non-null one.
    m_params.append(QVariant(value.isNull() ? QStringLiteral("") : value));
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addIntParam(qint32 value)
{
    m_params.append(QVariant(qint64(value)));
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addInt64Param(qint64 value)
{
    m_params.append(QVariant(value));
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addBlobParam(const QByteArray &value)
{
    m_params.append(QVariant(value));
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addDoubleParam(double value)
{
    m_params.append(QVariant(value));
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addNullParam()
{
    m_params.append(QVariant());
    return *this;
}
