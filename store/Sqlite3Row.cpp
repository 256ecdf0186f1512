#include "store/Sqlite3Row.h"

#include <QMetaType>

namespace {

QString quotedIdentifier(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

void bindValue(Sqlite3Sql &sql, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sql.addNullParam();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        sql.addTextParam(value.toString());
        break;
    case QMetaType::QByteArray:
        sql.addBlobParam(value.toByteArray());
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        sql.addInt64Param(value.toLongLong());
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        sql.addInt64Param(qint64(value.toULongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sql.addDoubleParam(value.toDouble());
        break;
    default:
        sql.addTextParam(value.toString());
        break;
    }
}

} // namespace

Sqlite3Row::Map::const_iterator Sqlite3Row::find(const QString &column) const
{
    auto exact = m_values.constFind(column);
    if (exact != m_values.cend())
        return exact;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        if (it.key().compare(column, Qt::CaseInsensitive) == 0)
            return it;
    }
    return m_values.cend();
}

bool Sqlite3Row::contains(const QString &column) const
{
    return find(column) != m_values.cend();
}

QVariant Sqlite3Row::value(const QString &column, const QVariant &defaultValue) const
{
    const auto it = find(column);
    return it == m_values.cend() ? defaultValue : it.value();
}

void Sqlite3Row::remove(const QString &column)
{
    const auto it = find(column);
    if (it != m_values.cend())
        m_values.remove(it.key());
}

Sqlite3Sql Sqlite3Row::insertSql(const QString &table, const QStringList &columns) const
{
    const QStringList wanted = columns.isEmpty() ? m_values.keys() : columns;
    QStringList names;
    QStringList marks;
    Sqlite3Sql sql;
    for (const QString &column : wanted) {
        const auto it = find(column);
        if (it == m_values.cend())
            continue;
        names.append(quotedIdentifier(column));
        marks.append(QStringLiteral("?"));
        bindValue(sql, it.value());
    }
    if (names.isEmpty()) {
        sql.appendSql(QStringLiteral("insert into %1 default values").arg(table));
        return sql;
    }
    sql.appendSql(QStringLiteral("insert into %1(%2) values(%3)")
                      .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    return sql;
}
