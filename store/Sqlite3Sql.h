#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// A statement text with the values of its "?" parameters, bound in order.
// Texts are bound as TEXT (an empty string stays '' and is never NULL), blobs as
// BLOB, integers as INTEGER; addNullParam binds NULL. The number of values must
// match the number of "?" when the statement runs, else it raises.
class Sqlite3Sql
{
public:
    Sqlite3Sql() = default;
    explicit Sqlite3Sql(const QString &sql);

    Sqlite3Sql &appendSql(const QString &text);

    Sqlite3Sql &addTextParam(const QString &value);
    Sqlite3Sql &addIntParam(qint32 value);
    Sqlite3Sql &addInt64Param(qint64 value);
    Sqlite3Sql &addBlobParam(const QByteArray &value);
    Sqlite3Sql &addDoubleParam(double value);
    Sqlite3Sql &addNullParam();

    const QString &sql() const { return m_sql; }
    // Values in binding order: QString, qint64, QByteArray, double or an
    // invalid QVariant for NULL.
    const QList<QVariant> &params() const { return m_params; }
    int paramCount() const { return m_params.size(); }

private:
    QString m_sql;
    QList<QVariant> m_params;
};
