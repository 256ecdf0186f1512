#include "store/SqliteException.h"

namespace {

// Long statements are cut so an error box stays readable.
constexpr int kMaxSqlInMessage = 500;

QString quotedSql(const QString &sql)
{
    if (sql.size() <= kMaxSqlInMessage)
        return sql;
    return sql.left(kMaxSqlInMessage) + QStringLiteral("...");
}

} // namespace

SqliteException::SqliteException(int code, const QString &message, const QString &sql)
    : m_code(code), m_message(message), m_sql(sql)
{
    QString text = QStringLiteral("%1 (code %2)").arg(message).arg(code);
    if (!sql.isEmpty())
        text += QStringLiteral(" [sql: %1]").arg(quotedSql(sql));
    m_what = text.toUtf8();
}

const char *SqliteException::what() const noexcept
{
    return m_what.constData();
}
