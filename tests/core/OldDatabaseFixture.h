#pragma once

// A database of the older single-file format ("mms.db" and an attachments
// folder), written by hand with raw SQL.

#include "tst_localdb_fixtures.h"

namespace localdbtest {

class OldDatabase
{
public:
    explicit OldDatabase(const QString &folder)
        : m_folder(folder)
        , m_db(folder + QStringLiteral("/mms.db"), Sqlite3DB::OpenReadWriteCreate)
    {
        m_db.exec(QStringLiteral(
            "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, body TEXT, subject TEXT, "
            "date INTEGER, is_send INTEGER, handle_id INTEGER);"
            "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);"
            "CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);"
            "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);"));
    }

    qint64 handle(const QString &address, const QString &person)
    {
        m_db.exec(QStringLiteral("INSERT INTO handle(address, person) VALUES('%1', '%2')").arg(address, person));
        return m_db.scalar(QStringLiteral("select max(rowid) from handle"));
    }

    qint64 message(qint64 handle, const QString &body, qint64 date, bool sent = false)
    {
        m_db.exec(QStringLiteral("INSERT INTO message(body, subject, date, is_send, handle_id) "
                                 "VALUES('%1', '', %2, %3, %4)")
                      .arg(body)
                      .arg(date)
                      .arg(sent ? 1 : 0)
                      .arg(handle));
        return m_db.scalar(QStringLiteral("select max(rowid) from message"));
    }

    // A part stored as attachments/<name>; `content` null: no file.
    qint64 part(const QString &name, const QString &mime, const QByteArray &content = QByteArray())
    {
        if (!content.isNull())
            writeFile(m_folder + QStringLiteral("/attachments/") + name, content);
        m_db.exec(QStringLiteral("INSERT INTO attachment(filename, mime_type) VALUES('%1', '%2')").arg(name, mime));
        return m_db.scalar(QStringLiteral("select max(rowid) from attachment"));
    }

    void exec(const QString &sql) { m_db.exec(sql); }

    void link(qint64 message, qint64 part)
    {
        m_db.exec(QStringLiteral("INSERT INTO message_attachment VALUES(%1, %2)").arg(message).arg(part));
    }

private:
    QString m_folder;
    RawDb m_db;
};

} // namespace localdbtest
