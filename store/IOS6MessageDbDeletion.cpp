// Deleting messages from the local database, and what a deletion needs to
// know to remove the files no row names any more.
#include "store/IOS6MessageDb.h"

#include "store/MsgDataSet.h"

// ---------------------------------------------------------------- deletion

void IOS6MessageDb::deleteMessage(const _MsgMessage &message)
{
    ensureOpen();
    // Row ids are bound rather than written into the text, so a run of
    // deletions prepares each statement once.
    const auto byRowid = [this](const char *sql, qint64 rowid) {
        executeThrow(Sqlite3Sql(QLatin1String(sql)).addInt64Param(rowid));
    };
    byRowid("DELETE FROM message WHERE rowid=?", message.rowid);
    byRowid("DELETE FROM chat_message_join where message_id=?", message.rowid);
    byRowid("DELETE FROM message_attachment_join where message_id=?", message.rowid);
    if (message.chat) {
        executeThrow(Sqlite3Sql(QStringLiteral("DELETE FROM chat WHERE rowid=? and (SELECT 1 from chat_message_join "
                                               "WHERE chat_id=? LIMIT 1) IS NULL"))
                         .addInt64Param(message.chat->rowid)
                         .addInt64Param(message.chat->rowid));
    }
}

void IOS6MessageDb::prepareForDeletion()
{
    ensureOpen();
    bool scansAllMessages = false;
    {
        Sqlite3Cursor trigger = queryThrow(QStringLiteral(
            "select sql from sqlite_master where type='trigger' and name='clean_orphaned_messages'"));
        scansAllMessages =
            trigger.moveNext() && trigger.getText(QStringLiteral("sql")).contains(QLatin1String("message.ROWID"));
    }
    if (scansAllMessages) {
        executeThrow(QStringLiteral("DROP TRIGGER clean_orphaned_messages"));
        executeThrow(QStringLiteral(
            "CREATE TRIGGER clean_orphaned_messages AFTER DELETE ON chat_message_join BEGIN DELETE FROM message "
            "WHERE ROWID = old.message_id AND (SELECT 1 FROM chat_message_join WHERE message_id = old.message_id "
            "LIMIT 1) IS NULL; END"));
    }
    executeThrow(QStringLiteral("CREATE INDEX IF NOT EXISTS message_attachment_join_idx_attachment_id "
                                "ON message_attachment_join(attachment_id)"));
    executeThrow(QStringLiteral("CREATE INDEX IF NOT EXISTS chat_handle_join_idx_handle_id "
                                "ON chat_handle_join(handle_id)"));
}

QSet<QString> IOS6MessageDb::attachmentFilesInUse()
{
    ensureOpen();
    QSet<QString> files;
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select filename from attachment where filename is not null"));
    while (cursor.moveNext()) {
        const QString path = localPath(cursor.getText(QStringLiteral("filename")));
        if (!path.isEmpty())
            files.insert(path);
    }
    return files;
}
