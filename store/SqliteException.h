#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Error raised by the SQLite access layer. what() reads
// "<SQLite error text> (code N) [sql: <statement>]" so callers that only show
// what() still tell the user which statement failed; a database that is busy
// or locked by another program is said in plain words instead, without the
// statement (message() and sql() still hold SQLite's text and the statement).
class SqliteException : public std::exception
{
public:
    SqliteException(int code, const QString &message, const QString &sql = QString());

    const char *what() const noexcept override;

    int code() const { return m_code; }                 // SQLite result code
    const QString &message() const { return m_message; } // SQLite's own text
    const QString &sql() const { return m_sql; }

private:
    int m_code;
    QString m_message;
    QString m_sql;
    QByteArray m_what;
};
