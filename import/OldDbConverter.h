#pragma once

#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class CountryLibDb;
class ExportMessagesDb;
class Sqlite3Cursor;
class Sqlite3DB;
class _MsgAttachment;

// Converts one database of the older single-file format (a folder S holding
// "mms.db" and an "attachments" folder) into a local message database at
// folder T, merging every message through ExportMessagesDb, and then renames
// S/mms.db to "mms.db-bak" so it is not converted again.
//
// An old message becomes up to one message per part: its own text, each
// text/plain part as a text message, each other part (of any type, also
// application/ and none) as a message holding that one attachment. A message
// whose handle row is missing keeps its own number when the old table has
// one, else it goes to the conversation "Unknown". Attachment ids come from
// the part's file path, so a file that several old messages share is stored
// once and linked to each of them.
//
// Interrupted at any point (error, crash, kill), the old file keeps its name
// and the next run starts again; nothing it leaves behind can be taken for a
// finished conversion:
//  - when T holds no database yet, the new one is built in the staging folder
//    T/"mms-upgrade.partial" and its file-relay folder is renamed into T only
//    after the commit; a staging folder left by an earlier run is removed
//    first;
//  - when T already holds a database, the messages are merged into it in one
//    transaction, which SQLite's journal makes all or nothing;
//  - renaming mms.db comes last. A run stopped just before it converts again
//    next time, and the merge recognises every message it already holds.
class OldDbConverter
{
public:
    // Called with the number of rows done and the total, after each row.
    using RowProgress = std::function<void(int done, int total)>;

    OldDbConverter(const QString &sourceFolder, const QString &targetFolder);
    ~OldDbConverter();
    OldDbConverter(const OldDbConverter &) = delete;
    OldDbConverter &operator=(const OldDbConverter &) = delete;

    // Converts and renames; raises std::runtime_error or SqliteException, in
    // which case S/mms.db is left as it was.
    void run(const RowProgress &progress);

    static QString stagingFolder(const QString &targetFolder);

private:
    // One row of the old attachment table, as a message names it.
    struct OldPart
    {
        QString filename;  // under S/attachments
        QString mime;
    };

    void convertInto(const QString &folder, const RowProgress &progress);
    void loadParts(Sqlite3DB &old);
    void convertRow(const Sqlite3Cursor &row);
    _MsgMessage baseMessage(const Sqlite3Cursor &row);
    // The normalised number of the row's conversation.
    QString handleAddress(const Sqlite3Cursor &row) const;
    void writeParts(qint64 oldRowid, const _MsgMessage &base);
    void writeTextPart(const _MsgMessage &base, const QString &relativePath);
    void writeMediaPart(const _MsgMessage &base, const QString &relativePath, const QString &mime);
    void writeRenamed(_MsgMessage &message);
    // S/attachments/<name>, or empty when the stored name leads out of it.
    QString sourceFile(const QString &relativePath) const;
    void moveStagedDatabase(const QString &staging);
    void retireOldFile();

    QString m_source;
    QString m_target;
    std::unique_ptr<ExportMessagesDb> m_writer;
    std::unique_ptr<CountryLibDb> m_countries;
    // The parts of every old message, by its row id, read in one go: asked
    // per message, each question would scan the whole join table.
    QHash<qint64, QList<OldPart>> m_parts;
    // The records of the row being converted; messages point at them.
    _MsgHandle m_handle;
    _MsgChat m_chat;
};
