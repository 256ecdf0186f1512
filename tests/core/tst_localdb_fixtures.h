#pragma once

// Shared by the local-database tests: a private data root with a small
// country table, message records built in memory, and raw SQL checks that do
// not go through the code under test.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include "app/AppFolders.h"
#include "country/CountryLibDb.h"
#include "store/MessageIds.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"
#include "store/Sqlite3DB.h"

namespace localdbtest {

inline const QStringList kTables = {
    QStringLiteral("attachment"), QStringLiteral("chat"), QStringLiteral("chat_handle_join"),
    QStringLiteral("chat_message_join"), QStringLiteral("handle"), QStringLiteral("message"),
    QStringLiteral("message_attachment_join"),
};

// The tables as an earlier version created them: no group events, no
// content hash, no contact columns, no newest-message date, no group id.
inline const QString kOlderSchema = QStringLiteral(
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT, "
    "replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT, country TEXT, "
    "attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER DEFAULT 0, service TEXT, account TEXT, "
    "account_guid TEXT, error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER, "
    "is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, "
    "is_from_me INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, "
    "is_auto_reply INTEGER DEFAULT 0, is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, "
    "is_system_message INTEGER DEFAULT 0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, "
    "is_service_message INTEGER DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, "
    "is_archive INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, "
    "was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER DEFAULT 0);"
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, "
    "service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));"
    "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER, "
    "state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name TEXT, "
    "account_login TEXT, is_archived INTEGER DEFAULT 0, last_addressed_handle TEXT, display_name TEXT);"
    "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, mime_type TEXT, "
    "transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0, user_info BLOB, transfer_name TEXT, "
    "total_bytes INTEGER DEFAULT 0);"
    "CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER, UNIQUE (chat_id, handle_id));"
    "CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, PRIMARY KEY (chat_id, message_id));"
    "CREATE TABLE message_attachment_join (message_id INTEGER, attachment_id INTEGER, "
    "UNIQUE (message_id, attachment_id));");

inline QString smsDbPath(const QString &folder)
{
    return folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db");
}

inline void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file below `folder`, relative to it, sorted.
inline QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// A connection of its own for checks and for building files by hand; closed
// when it goes out of scope so it never holds a lock across calls.
class RawDb
{
public:
    explicit RawDb(const QString &path, int flags = Sqlite3DB::OpenReadWrite)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_db.openThrow(path, flags);
    }
    void exec(const QString &sql)
    {
        QString error;
        if (m_db.exec(sql, error) != 0)
            QTest::qFail(qPrintable(QStringLiteral("%1: %2").arg(sql, error)), __FILE__, __LINE__);
    }
    qint64 scalar(const QString &sql)
    {
        Sqlite3Cursor cursor = m_db.queryThrow(sql);
        return cursor.moveNext() ? cursor.getInt64(0) : -1;
    }
    QString text(const QString &sql)
    {
        Sqlite3Cursor cursor = m_db.queryThrow(sql);
        return cursor.moveNext() ? cursor.getText(0) : QString();
    }
    QStringList column(const QString &sql)
    {
        QStringList values;
        Sqlite3Cursor cursor = m_db.queryThrow(sql);
        while (cursor.moveNext())
            values.append(cursor.getText(0));
        return values;
    }
    // Every row of every table as text, for "nothing changed" comparisons.
    QStringList dump()
    {
        QStringList rows;
        for (const QString &table : kTables) {
            Sqlite3Cursor cursor = m_db.queryThrow(QStringLiteral("select rowid, * from %1 order by rowid").arg(table));
            while (cursor.moveNext()) {
                QStringList values;
                for (int i = 0; i < cursor.columnCount(); ++i)
                    values.append(cursor.getValue(i).toString());
                rows.append(table + QLatin1Char(':') + values.join(QLatin1Char('|')));
            }
        }
        return rows;
    }
    QMap<QString, qint64> counts()
    {
        QMap<QString, qint64> result;
        for (const QString &table : kTables)
            result.insert(table, scalar(QStringLiteral("select count(*) from %1").arg(table)));
        return result;
    }

private:
    Sqlite3DB m_db;
};

// A private HOME (so the data root and R/countries.db are the test's own)
// with a reference table holding India only: mobile country code 404,
// calling code 91, ten digits, mobile numbers [7-9]\d{9}.
class Environment
{
public:
    Environment()
    {
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", m_home.path().toUtf8());
        resetDataRootCacheForTests();
        const QString countries = m_home.filePath(QStringLiteral("countries-src.db"));
        {
            RawDb db(countries, Sqlite3DB::OpenReadWriteCreate);
            db.exec(QStringLiteral(
                "BEGIN;"
                "CREATE TABLE countries(sn CHAR(2) PRIMARY KEY, ln TEXT, pnum TEXT, mmc TEXT, numc TEXT, "
                "u2 TEXT, r1 TEXT, r2 TEXT, r3 TEXT, r4 TEXT, mnc_rx TEXT, n TEXT);"
                "CREATE TABLE mmc_sn(mmc CHAR(3) PRIMARY KEY, sn CHAR(2));"
                "INSERT INTO countries(sn, ln, pnum, mmc, numc, r1, n) "
                "VALUES('IN', 'Bharat', '91', '404,405', '10', '[7-9]\\d{9}', 'India');"
                "INSERT INTO mmc_sn VALUES('404', 'IN');"
                "INSERT INTO mmc_sn VALUES('405', 'IN');"
                "COMMIT;"));
        }
        CountryLibDb::setResourcePathForTests(countries);
    }
    ~Environment()
    {
        CountryLibDb::setResourcePathForTests(QString());
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }
    // A new, not yet existing database folder.
    QString newFolder(const QString &name) const { return m_home.filePath(QStringLiteral("dbs/") + name); }
    QString path(const QString &rel) const { return m_home.filePath(rel); }

private:
    QTemporaryDir m_home;
    QByteArray m_savedHome;
};

// Message records as a phone download or a database load would hand them to
// the merge. Row ids are the builder's own.
class SetBuilder
{
public:
    MsgDataSetPtr set = MsgDataSetPtr::create();

    _MsgHandle *handle(const QString &id)
    {
        auto *h = new _MsgHandle;
        h->rowid = m_next++;
        h->id = id;
        set->addHandle(h);
        return h;
    }

    _MsgChat *chat(const QString &guid, const QList<_MsgHandle *> &handles)
    {
        auto *c = new _MsgChat;
        c->rowid = m_next++;
        c->guid = guid;
        c->chat_identifier = handles.size() == 1 ? handles.first()->id : guid;
        for (_MsgHandle *h : handles)
            c->handles.insert(QString::number(h->rowid), h);
        set->addChat(c);
        return c;
    }

    _MsgMessage *message(_MsgChat *chat, _MsgHandle *handle, qint32 date, const QString &text,
                         bool fromMe = false, const QString &guid = newGuid())
    {
        auto *m = new _MsgMessage;
        m->rowid = m_next++;
        m->sortKey = m->rowid;
        m->guid = guid;
        m->text = text;
        m->service = QStringLiteral("SMS");
        m->date = date;
        m->is_from_me = fromMe ? 1 : 0;
        m->handle = handle;
        m->handle_id = handle ? handle->rowid : 0;
        m->chat = chat;
        if (chat)
            chat->messages.insert(QString::number(m->rowid), m);
        set->addMessage(m);
        return m;
    }

    // An attachment stored as ~/Library/SMS/Attachments/ab/cd/<GUID>/<name>
    // unless `filename` is given; its file is `source` (may not exist).
    _MsgAttachment *attachment(_MsgMessage *message, const QString &source, const QString &name,
                               const QString &filename = QString())
    {
        auto *a = new _MsgAttachment;
        a->rowid = m_next++;
        a->guid = newGuid();
        a->filename = filename.isEmpty()
            ? QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                  .arg(a->guid.left(2).toLower(), a->guid.mid(2, 2).toLower(), a->guid, name)
            : filename;
        a->mime_type = QStringLiteral("image/jpeg");
        a->transfer_name = name;
        a->localPath = source;
        message->attachments.insert(QString::number(a->rowid), a);
        message->text += QChar(0xFFFC);
        set->addAttachment(a);
        return a;
    }

    MsgMessageList messages() const { return set->messages.values(); }

private:
    qint64 m_next = 1;
};

} // namespace localdbtest
