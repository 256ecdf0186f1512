#pragma once

// A local database that an import wrote, read back for comparison: one line
// per message with its chat, handle and attachment.

#include "TemporaryHome.h"
#include "core/FileChecks.h"
#include "store/Sqlite3DB.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>

#include <memory>
#include <QStringList>

namespace importtest {

const qint64 Base = 1700000000000;  // ms; 2023-11-14 22:13:20 UTC
const qint64 BaseDate = Base / 1000 - 978307200;

// A local database read back: one line per message with its chat,
// handle and attachment.
class DatabaseContents
{
public:
    explicit DatabaseContents(const QString &folder) : m_folder(folder) {}

    QString databasePath() const { return m_folder + "/file-relay/var/mobile/Library/SMS/sms.db"; }

    QStringList rows() const
    {
        Sqlite3DB db;
        db.openThrow(databasePath(), Sqlite3DB::OpenReadOnly);
        QStringList rows;
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral(
            "select c.chat_identifier, (select count(*) from chat_handle_join where chat_id=c.rowid) as members,"
            " h.id, m.date, m.is_from_me, m.text, a.mime_type, a.transfer_name, a.filename"
            " from message m join chat_message_join cm on cm.message_id=m.rowid join chat c on c.rowid=cm.chat_id"
            " left join handle h on h.rowid=m.handle_id"
            " left join message_attachment_join ma on ma.message_id=m.rowid"
            " left join attachment a on a.rowid=ma.attachment_id"));
        while (cursor.moveNext()) {
            const QString filename = cursor.getText("filename");
            QString file;
            if (!filename.isEmpty()) {
                QString relative = filename;
                relative.replace(QLatin1String("~/"), QLatin1String("var/mobile/"));
                file = QString::fromLatin1(fileMd5(m_folder + "/file-relay/" + relative));
            }
            rows.append(QStringList{cursor.getText("chat_identifier"), cursor.getText("members"),
                                    cursor.getText("id"), QString::number(cursor.getInt64("date") - BaseDate),
                                    cursor.getText("is_from_me"), cursor.getText("text"),
                                    cursor.getText("mime_type"), cursor.getText("transfer_name"), file}
                            .join(QLatin1Char('|')));
        }
        rows.sort();
        return rows;
    }

    qint64 count(const QString &sql) const { return databaseScalar(databasePath(), sql); }

    // "id|contact name" of every handle, in id order.
    QStringList handleNames() const
    {
        Sqlite3DB db;
        db.openThrow(databasePath(), Sqlite3DB::OpenReadOnly);
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select id, _ct_name from handle order by id"));
        QStringList names;
        while (cursor.moveNext())
            names.append(cursor.getText(0) + '|' + cursor.getText(1));
        return names;
    }

    // The database bytes and every file below the folder with its size.
    QStringList snapshot() const
    {
        QStringList files;
        QDirIterator it(m_folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.append(path.mid(m_folder.size()) + ' ' + QString::number(it.fileInfo().size()));
        }
        files.sort();
        return QStringList{QString::fromLatin1(fileMd5(databasePath()))} + files;
    }

private:
    QString m_folder;
};

inline QString row(const QString &chat, int members, const QString &handle, qint64 offset, int fromMe,
            const QString &text, const QString &mime = QString(), const QString &name = QString(),
            const QByteArray &bytes = QByteArray())
{
    const QString file = bytes.isNull() ? QString() : QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    return QStringList{chat, QString::number(members), handle, QString::number(offset), QString::number(fromMe),
                       text, mime, name, file}
        .join(QLatin1Char('|'));
}

inline QStringList sorted(QStringList rows)
{
    rows.sort();
    return rows;
}

// Bytes that stand for a picture: `seed` makes different ones of one size.
inline QByteArray samplePicture(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed) ^ (i >> 7));
    return bytes;
}

// Where an import test runs: a temporary HOME (and so data root), a work
// folder for its input files, and TMPDIR pointed at a folder of its own, so
// that the part files an import writes there can be seen to go again.
class ImportEnvironment
{
public:
    ImportEnvironment()
        : m_savedTmp(qgetenv("TMPDIR"))
        , m_tmp(m_work.filePath(QStringLiteral("tmp")))
    {
        QDir().mkpath(m_tmp);
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    ~ImportEnvironment() { qputenv("TMPDIR", m_savedTmp); }

    ImportEnvironment(const ImportEnvironment &) = delete;
    ImportEnvironment &operator=(const ImportEnvironment &) = delete;

    bool isValid() const { return m_work.isValid() && QFileInfo(m_home.path()).isDir(); }
    QString workPath(const QString &name) const { return m_work.filePath(name); }
    // What imports left in TMPDIR: nothing, once each has ended.
    QStringList temporaryFilesLeft() const { return QDir(m_tmp).entryList(QDir::Files | QDir::Hidden); }

private:
    TemporaryHome m_home;
    QTemporaryDir m_work;
    QByteArray m_savedTmp;
    QString m_tmp;
};

} // namespace importtest
