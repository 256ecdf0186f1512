#pragma once

#include "import/SmsBackupRecord.h"
#include "store/Sqlite3DB.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class IPhoneBackupFolder;

// Reads the messages of an iPhone's message database (sms.db, as current iOS
// versions write it) one row at a time, as the records an SMS Backup &
// Restore file would give for them, so they are stored the way a phone
// download stores them:
//  - a text of a one-to-one conversation is an SMS;
//  - a message with pictures or other files, or of a group chat, is an MMS
//    whose parts are its text and its attachments (read from the backup's
//    hashed folders, never copied into memory);
//  - SMS, MMS and iMessage messages alike; the text comes from "text", or
//    when that is empty from "attributedBody";
//  - what has no meaning on an Android phone is skipped and counted:
//    reactions and other items attached to a message, group events, unsent
//    and empty messages. Edits and effects of kept messages are left out and
//    counted too (the message keeps its last text).
// Dates are read in seconds or nanoseconds since 2001-01-01, whichever the
// database holds.
class IPhoneMessageReader
{
public:
    // `backup` outlives the reader. Raises std::runtime_error when the
    // backup's message database is unreadable or lacks what messages need.
    explicit IPhoneMessageReader(IPhoneBackupFolder &backup);

    // The next message into `record`; false after the last one.
    bool next(SmsBackupRecord &record);

    // Rows of table message, for progress.
    qint64 rowCount() const { return m_rowCount; }
    // Rows read so far, skipped ones included.
    qint64 rowsRead() const { return m_rowsRead; }
    // Rows that became no message.
    qint64 skipped() const { return m_skipped; }
    // Edits and effects of kept messages that were left out.
    qint64 editsAndEffectsLeftOut() const { return m_leftOut; }
    // Attachments the backup has no file for.
    qint64 missingAttachments() const { return m_missingAttachments; }

    // Milliseconds since 1970 of a stored date, seconds or nanoseconds since 2001.
    static qint64 unixMilliseconds(qint64 appleDate);

private:
    struct Chat
    {
        QString identifier;
        QStringList members;  // handle ids
        bool group = false;
    };

    void checkSchema();
    QString optionalColumn(const QString &column, const QString &fallback) const;
    void loadChats();
    bool readRow(SmsBackupRecord &record);
    // Whether the current row is an item that no Android message stands for.
    bool isSkippedItem() const;
    // The other parties, or an empty list when no one can be named.
    QStringList otherParties(const Chat *chat, const QString &sender) const;
    void addAttachmentParts(qint64 messageRowid, SmsBackupRecord &record);
    static void addTextPart(const QString &text, SmsBackupRecord &record);
    // Raises `message` with SQLite's error text for its "%1".
    [[noreturn]] void failDamaged(const QString &message) const;

    IPhoneBackupFolder &m_backup;
    Sqlite3DB m_db;
    QSet<QString> m_messageColumns;
    Sqlite3Cursor m_rows;
    QHash<qint64, Chat> m_chats;
    qint64 m_rowCount = 0;
    qint64 m_rowsRead = 0;
    qint64 m_skipped = 0;
    qint64 m_leftOut = 0;
    qint64 m_missingAttachments = 0;
};
