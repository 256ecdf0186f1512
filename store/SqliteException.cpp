#include "store/SqliteException.h"

#include <QCoreApplication>

#include <sqlite3.h>

namespace {

// Long statements are cut so an error box stays readable.
constexpr int kMaxSqlInMessage = 500;

QString quotedSql(const QString &sql)
{
    if (sql.size() <= kMaxSqlInMessage)
        return sql;
    return sql.left(kMaxSqlInMessage) + QStringLiteral("...");
}

bool isBusy(int code)
{
    const int primary = code & 0xff;  // extended codes keep the primary one in the low byte
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

QString technicalText(int code, const QString &message, const QString &sql)
{
    QString text = QStringLiteral("%1 (code %2)").arg(message).arg(code);
    if (!sql.isEmpty())
        text += QStringLiteral(" [sql: %1]").arg(quotedSql(sql));
    return text;
}

} // namespace

SqliteException::SqliteException(int code, const QString &message, const QString &sql)
    : m_code(code), m_message(message), m_sql(sql)
{
    // Another program holding the file is a situation the user can act on,
    // told in words; the statement it interrupted means nothing to them.
    const QString text =
        isBusy(code) ? QCoreApplication::translate("SqliteException", "The database is locked: another program is "
                                                                      "using it. Try again when it has finished.")
                     : technicalText(code, message, sql);
    m_what = text.toUtf8();
}

const char *SqliteException::what() const noexcept
{
    return m_what.constData();
}
