#pragma once

// A synthetic computer backup of an iPhone, built from the table layout of
// the phone's message database and of the backup's Manifest.db: synthetic
// people and texts only.

#include "store/Sqlite3DB.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace iphonetest {

// Seconds from 1970 to 2001-01-01 UTC.
const qint64 AppleEpoch = 978307200;

// The layout of a current iOS version, the columns this program reads and a
// few beside them.
const char *const CurrentSchema =
    "create table handle (ROWID integer primary key autoincrement unique, id text not null, country text,"
    " service text not null, uncanonicalized_id text, person_centric_id text, unique (id, service));"
    "create table chat (ROWID integer primary key autoincrement, guid text unique not null, style integer,"
    " state integer, account_id text, properties blob, chat_identifier text, service_name text,"
    " room_name text, display_name text, group_id text);"
    "create table chat_handle_join (chat_id integer, handle_id integer, unique(chat_id, handle_id));"
    "create table chat_message_join (chat_id integer, message_id integer, message_date integer default 0,"
    " primary key (chat_id, message_id));"
    "create index chat_message_join_idx_message_id_only on chat_message_join(message_id);"
    "create table message (ROWID integer primary key autoincrement, guid text unique not null, text text,"
    " replace integer default 0, service_center text, handle_id integer default 0, subject text,"
    " country text, attributedBody blob, version integer default 0, type integer default 0, service text,"
    " account text, account_guid text, error integer default 0, date integer, date_read integer,"
    " date_delivered integer, is_delivered integer default 0, is_finished integer default 0,"
    " is_from_me integer default 0, is_read integer default 0, is_sent integer default 0,"
    " cache_has_attachments integer default 0, item_type integer default 0, other_handle integer default 0,"
    " group_title text, group_action_type integer default 0, associated_message_guid text,"
    " associated_message_type integer default 0, expressive_send_style_id text,"
    " date_retracted integer default 0, date_edited integer default 0, message_summary_info blob);"
    "create table attachment (ROWID integer primary key autoincrement, guid text unique not null,"
    " created_date integer default 0, filename text, uti text, mime_type text, transfer_state integer default 0,"
    " is_outgoing integer default 0, transfer_name text, total_bytes integer default 0);"
    "create table message_attachment_join (message_id integer, attachment_id integer,"
    " unique(message_id, attachment_id));";

// An older layout (dates in seconds): no reactions, edits or effects yet.
const char *const OlderSchema =
    "create table handle (ROWID integer primary key autoincrement unique, id text not null, country text,"
    " service text not null, uncanonicalized_id text, unique (id, service));"
    "create table chat (ROWID integer primary key autoincrement, guid text unique not null, style integer,"
    " state integer, chat_identifier text, service_name text, display_name text);"
    "create table chat_handle_join (chat_id integer, handle_id integer, unique(chat_id, handle_id));"
    "create table chat_message_join (chat_id integer, message_id integer, primary key (chat_id, message_id));"
    "create table message (ROWID integer primary key autoincrement, guid text unique not null, text text,"
    " handle_id integer default 0, subject text, attributedBody blob, service text, date integer,"
    " is_from_me integer default 0, cache_has_attachments integer default 0);"
    "create table attachment (ROWID integer primary key autoincrement, guid text unique not null,"
    " filename text, mime_type text, transfer_name text, total_bytes integer default 0);"
    "create table message_attachment_join (message_id integer, attachment_id integer,"
    " unique(message_id, attachment_id));";

// An NSAttributedString archived as "streamtyped", holding `text`.
inline QByteArray attributedBody(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray length;
    if (utf8.size() < 0x81) {
        length.append(char(utf8.size()));
    } else {
        length.append(char(0x81));
        length.append(char(utf8.size() & 0xff));
        length.append(char((utf8.size() >> 8) & 0xff));
    }
    return QByteArray("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01@\x84\x84\x84\x12NSAttributedString\x00\x84\x84"
                      "\x08NSObject\x00\x85\x92\x84\x84\x84\x08NSString\x01\x94\x84\x01+",
                      73)
        + length + utf8
        + QByteArray("\x86\x84\x02iI\x01\x05\x92\x84\x84\x84\x0cNSDictionary\x00\x94\x84\x01i\x00\x86\x86", 32);
}

// One message row's values; what a test leaves alone is an ordinary text.
struct Message
{
    qint64 chat = 0;
    qint64 handle = 0;       // the sender of a received message; 0 when sent
    qint64 date = 0;         // as stored: seconds or nanoseconds since 2001
    bool fromMe = false;
    QString text;            // null: the column stays NULL
    QByteArray body;         // attributedBody
    int associatedType = 0;  // reactions: 2000 and above
    int itemType = 0;
    qint64 dateRetracted = 0;
    qint64 dateEdited = 0;
    QString effect;
};

class Backup
{
public:
    // A backup in `folder` (made), its message database of `schema`.
    Backup(const QString &folder, const char *schema = CurrentSchema)
        : m_folder(folder)
        , m_current(schema == CurrentSchema)
    {
        QDir().mkpath(folder);
        m_manifest.openThrow(folder + "/Manifest.db", Sqlite3DB::OpenReadWriteCreate);
        m_manifest.executeThrow(QStringLiteral(
            "create table Files (fileID text primary key, domain text, relativePath text, flags integer, file blob);"
            "create table Properties (key text primary key, value blob);"));
        m_smsPath = m_folder + "/sms.db.building";
        m_sms.openThrow(m_smsPath, Sqlite3DB::OpenReadWriteCreate);
        m_sms.executeThrow(QString::fromLatin1(schema));
        m_sms.beginTran();
    }

    qint64 handle(const QString &id, const QString &service = QStringLiteral("iMessage"))
    {
        return insert(Sqlite3Sql("insert into handle (id, service) values (?, ?)").addTextParam(id).addTextParam(service));
    }

    // A chat of `members` (handle row ids); style 43 when more than one.
    qint64 chat(const QString &identifier, const QList<qint64> &members)
    {
        const int style = members.size() > 1 ? 43 : 45;
        const qint64 rowid = insert(Sqlite3Sql("insert into chat (guid, style, chat_identifier) values (?, ?, ?)")
                                        .addTextParam("iMessage;" + QString(style == 43 ? "+" : "-") + ";" + identifier)
                                        .addIntParam(style)
                                        .addTextParam(identifier));
        for (const qint64 member : members) {
            m_sms.executeThrow(Sqlite3Sql("insert into chat_handle_join values (?, ?)")
                                   .addInt64Param(rowid)
                                   .addInt64Param(member));
        }
        return rowid;
    }

    qint64 message(const Message &m)
    {
        Sqlite3Sql sql(m_current
                           ? "insert into message (guid, text, attributedBody, handle_id, date, is_from_me, service,"
                             " associated_message_type, item_type, date_retracted, date_edited, expressive_send_style_id)"
                             " values (?, ?, ?, ?, ?, ?, 'iMessage', ?, ?, ?, ?, ?)"
                           : "insert into message (guid, text, attributedBody, handle_id, date, is_from_me, service)"
                             " values (?, ?, ?, ?, ?, ?, 'SMS')");
        sql.addTextParam(QStringLiteral("GUID-%1").arg(++m_guids));
        if (m.text.isNull())
            sql.addNullParam();
        else
            sql.addTextParam(m.text);
        if (m.body.isNull())
            sql.addNullParam();
        else
            sql.addBlobParam(m.body);
        sql.addInt64Param(m.handle).addInt64Param(m.date).addIntParam(m.fromMe ? 1 : 0);
        if (m_current) {
            sql.addIntParam(m.associatedType).addIntParam(m.itemType).addInt64Param(m.dateRetracted)
                .addInt64Param(m.dateEdited);
            if (m.effect.isEmpty())
                sql.addNullParam();
            else
                sql.addTextParam(m.effect);
        }
        const qint64 rowid = insert(sql);
        m_sms.executeThrow(Sqlite3Sql("insert into chat_message_join (chat_id, message_id) values (?, ?)")
                               .addInt64Param(m.chat)
                               .addInt64Param(rowid));
        return rowid;
    }

    // An attachment of `message` named `name`, stored in the backup's hashed
    // folders unless `inBackup` is false (a file left in the cloud); its
    // stored name starts with `home`, as the phone writes it.
    void attachment(qint64 message, const QString &name, const QString &mime, const QByteArray &bytes,
                    bool inBackup = true, const QString &home = QStringLiteral("~/"))
    {
        const QString relative = QStringLiteral("Library/SMS/Attachments/%1/%2/ATT-%3/%4")
                                     .arg(m_attachments % 100, 2, 16, QChar('0'))
                                     .arg(m_attachments % 16, 2, 10, QChar('0'))
                                     .arg(m_attachments)
                                     .arg(name);
        ++m_attachments;
        const qint64 rowid = insert(
            Sqlite3Sql("insert into attachment (guid, filename, mime_type, transfer_name, total_bytes)"
                       " values (?, ?, ?, ?, ?)")
                .addTextParam(QStringLiteral("ATT-%1").arg(m_attachments))
                .addTextParam(home + relative)
                .addTextParam(mime)
                .addTextParam(name)
                .addInt64Param(bytes.size()));
        m_sms.executeThrow(Sqlite3Sql("insert into message_attachment_join values (?, ?)")
                               .addInt64Param(message)
                               .addInt64Param(rowid));
        m_sms.executeThrow(Sqlite3Sql("update message set cache_has_attachments=1 where ROWID=?").addInt64Param(message));
        if (inBackup)
            store(QStringLiteral("MediaDomain"), relative, bytes);
    }

    // Puts the message database in its place; `listed` false leaves it out of
    // the manifest.
    void finish(bool listed = true)
    {
        m_sms.commitTran();
        m_sms.close();
        m_manifest.close();
        QFile database(m_smsPath);
        if (!database.open(QIODevice::ReadOnly))
            return;
        const QByteArray bytes = database.readAll();
        database.remove();
        if (listed) {
            m_manifest.openThrow(m_folder + "/Manifest.db", Sqlite3DB::OpenReadWrite);
            store(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"), bytes);
            m_manifest.close();
        }
    }

    // The backup's file ID of a path, as the phone names them.
    static QString fileId(const QString &domain, const QString &relative)
    {
        return QString::fromLatin1(
            QCryptographicHash::hash((domain + '-' + relative).toUtf8(), QCryptographicHash::Sha1).toHex());
    }

private:
    qint64 insert(const Sqlite3Sql &sql)
    {
        m_sms.executeThrow(sql);
        return m_sms.lastInsertId();
    }

    void store(const QString &domain, const QString &relative, const QByteArray &bytes)
    {
        const QString id = fileId(domain, relative);
        QDir().mkpath(m_folder + '/' + id.left(2));
        QFile file(m_folder + '/' + id.left(2) + '/' + id);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        m_manifest.executeThrow(Sqlite3Sql("insert into Files (fileID, domain, relativePath, flags) values (?, ?, ?, 1)")
                                    .addTextParam(id)
                                    .addTextParam(domain)
                                    .addTextParam(relative));
    }

    QString m_folder;
    bool m_current;
    Sqlite3DB m_manifest;
    Sqlite3DB m_sms;
    QString m_smsPath;
    int m_guids = 0;
    int m_attachments = 0;
};

} // namespace iphonetest
