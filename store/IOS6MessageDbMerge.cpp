// The local database's side of a merge: finding rows that already exist,
// inserting new ones and linking them.
#include "store/IOS6MessageDb.h"

#include <stdexcept>

#include "store/InsertStatement.h"
#include "store/MessageIds.h"
#include "store/MsgDataSet.h"

// ---------------------------------------------------------------- merge lookups

qint64 IOS6MessageDb::firstRowid(const Sqlite3Sql &sql)
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(sql);
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

bool IOS6MessageDb::holdsNoMessages()
{
    return firstRowid(Sqlite3Sql(QStringLiteral("select rowid from message limit 1"))) == 0;
}

qint64 IOS6MessageDb::chatRowidByGuid(const QString &guid)
{
    return firstRowid(Sqlite3Sql(QStringLiteral("select rowid from chat where guid=?")).addTextParam(guid));
}

qint64 IOS6MessageDb::handleRowid(const _MsgHandle &handle)
{
    return firstRowid(Sqlite3Sql(QStringLiteral("select rowid from handle where id=? and service=?"))
                          .addTextParam(handle.id)
                          .addTextParam(handle.service));
}

bool IOS6MessageDb::chatHasHandle(qint64 chatRowid, qint64 handleRowid)
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(
        Sqlite3Sql(QStringLiteral("select 1 from chat_handle_join where chat_id=? and handle_id=?"))
            .addInt64Param(chatRowid)
            .addInt64Param(handleRowid));
    return cursor.moveNext();
}

qint64 IOS6MessageDb::messageRowidByLogicHash(const _MsgMessage &message)
{
    ensureOpen();
    if (!tableMentions(QStringLiteral("message"), QStringLiteral("logic_hash")))
        return 0;
    return messageRowidByLogicHash(logicHash(message));
}

qint64 IOS6MessageDb::messageRowidByLogicHash(const QString &hash)
{
    if (!tableMentions(QStringLiteral("message"), QStringLiteral("logic_hash")))
        return 0;
    return firstRowid(
        Sqlite3Sql(QStringLiteral("select rowid from message where logic_hash=?")).addTextParam(hash));
}

qint64 IOS6MessageDb::groupMessageRowidByLogicHash(const QString &hash)
{
    ensureOpen();
    if (!tableMentions(QStringLiteral("message"), QStringLiteral("logic_hash")))
        return 0;
    return firstRowid(Sqlite3Sql(QStringLiteral(
                                     "select m.rowid from message m join chat_message_join cm on cm.message_id=m.rowid"
                                     " where m.logic_hash=? and (select count(*) from chat_handle_join ch"
                                     " where ch.chat_id=cm.chat_id) > 1 limit 1"))
                          .addTextParam(hash));
}

qint64 IOS6MessageDb::chatMessageRowidByLogicHash(qint64 chatRowid, const QString &hash)
{
    ensureOpen();
    if (!tableMentions(QStringLiteral("message"), QStringLiteral("logic_hash")))
        return 0;
    // Led by the hash, not the chat: walking a group's every message for each
    // message written made importing a long group quadratic.
    return firstRowid(Sqlite3Sql(QStringLiteral(
                                     "select m.rowid from message m where m.logic_hash=? and exists(select 1 from"
                                     " chat_message_join cm where cm.message_id=m.rowid and cm.chat_id=?) limit 1"))
                          .addTextParam(hash)
                          .addInt64Param(chatRowid));
}

qint64 IOS6MessageDb::messageRowidByGuid(const QString &guid)
{
    return firstRowid(Sqlite3Sql(QStringLiteral("select rowid from message where guid=?")).addTextParam(guid));
}

qint64 IOS6MessageDb::attachmentRowidByGuid(const _MsgAttachment &attachment)
{
    return firstRowid(
        Sqlite3Sql(QStringLiteral("select rowid from attachment where guid=?")).addTextParam(attachment.guid));
}

QSet<QString> IOS6MessageDb::attachmentHashNames(qint64 messageRowid)
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(
        Sqlite3Sql(QStringLiteral("select a.filename from attachment a join message_attachment_join ma"
                                  " on ma.attachment_id=a.rowid where ma.message_id=?"))
            .addInt64Param(messageRowid));
    QSet<QString> names;
    while (cursor.moveNext()) {
        const QString filename = cursor.getText(0);
        if (!filename.isEmpty())
            names.insert(attachmentHashName(filename));
    }
    return names;
}

// ---------------------------------------------------------------- merge inserts

qint64 IOS6MessageDb::insert(const InsertStatement &row)
{
    ensureOpen();
    executeThrow(row.sql(m_insertTexts));
    return lastInsertId();
}

qint64 IOS6MessageDb::insertChat(const _MsgChat &chat)
{
    if (chat.service_name != QLatin1String("SMS") && chat.service_name != QLatin1String("iMessage"))
        throw std::runtime_error(
            QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:%1").arg(chat.service_name).toStdString());
    const QString table = QStringLiteral("chat");
    InsertStatement row(table);
    row.text("guid", chat.guid)
        .integer("style", chat.style)
        .integer("state", chat.state)
        .textIfSet("account_id", chat.account_id)
        .text("chat_identifier", chat.chat_identifier)
        .text("service_name", chat.service_name)
        .textIfSet("room_name", chat.room_name)
        .text("account_login", chat.account_login)
        .integer("is_archived", chat.is_archived);
    if (tableMentions(table, QStringLiteral("display_name")))
        row.textIfSet("display_name", chat.display_name);
    if (tableMentions(table, QStringLiteral("group_id")))
        row.text("group_id", chat.group_id.isEmpty() ? guidFromBytes(chat.guid.toUtf8()) : chat.group_id);
    const qint64 chatRowid = insert(row);

    for (const _MsgHandle *handle : chat.handles) {
        qint64 rowid = handleRowid(*handle);
        if (rowid == 0)
            rowid = insertHandle(*handle);
        joinChatHandle(chatRowid, rowid);
    }
    return chatRowid;
}

qint64 IOS6MessageDb::insertHandle(const _MsgHandle &handle)
{
    InsertStatement row(QStringLiteral("handle"));
    row.text("id", handle.id)
        .textIfSet("country", handle.country)
        .text("service", handle.service)
        .textIfSet("uncanonicalized_id", handle.uncanonicalized_id);
    if (hasHandleColumn(QStringLiteral("_ct_name")))
        row.text("_ct_name", handle._ct_name);
    if (hasHandleColumn(QStringLiteral("_photo")))
        row.blob("_photo", handle._photo);
    return insert(row);
}

qint64 IOS6MessageDb::insertMessage(const _MsgMessage &message, qint64 handleRowid,
                                    qint64 otherHandleRowid, const QString &hash)
{
    const QString table = QStringLiteral("message");
    const auto present = [&](const QString &column) { return tableMentions(table, column); };
    InsertStatement row(table);
    row.text("guid", message.guid)
        .text("text", message.text)
        .integer("replace", message.replace)
        .textIfSet("service_center", message.service_center)
        .integer("handle_id", handleRowid)
        .textIfSet("subject", message.subject)
        .textIfSet("country", message.country)
        .blobIfSet("attributedBody", message.attributedBody)
        .integer("version", message.version)
        .integer("type", message.type)
        .text("service", message.service)
        .text("account", message.account)
        .text("account_guid", message.account_guid)
        .integer("error", message.error)
        .integer("date", message.date)
        .integer("date_read", message.date_read)
        .integer("date_delivered", message.date_delivered)
        .integer("is_delivered", message.is_delivered)
        .integer("is_finished", message.is_finished)
        .integer("is_emote", message.is_emote)
        .integer("is_from_me", message.is_from_me)
        .integer("is_empty", message.is_empty)
        .integer("is_delayed", message.is_delayed)
        .integer("is_auto_reply", message.is_auto_reply)
        .integer("is_prepared", message.is_prepared)
        .integer("is_read", message.is_read)
        .integer("is_system_message", message.is_system_message)
        .integer("is_sent", message.is_sent)
        .integer("has_dd_results", message.has_dd_results)
        .integer("is_service_message", message.is_service_message)
        .integer("is_forward", message.is_forward)
        .integer("was_downgraded", message.was_downgraded)
        .integer("is_archive", message.is_archive)
        .integer("cache_has_attachments", message.cache_has_attachments)
        .text("cache_roomnames", message.cache_roomnames)
        .integer("was_data_detected", message.was_data_detected)
        .integer("was_deduplicated", message.was_deduplicated);

    // Columns of later versions, written when the file has them.
    const struct {
        const char *column;
        qint32 value;
    } optionalInts[] = {
        {"is_audio_message", message.is_audio_message},
        {"is_played", message.is_played},
        {"date_played", message.date_played},
        {"item_type", message.item_type},
    };
    for (const auto &field : optionalInts) {
        if (present(QLatin1String(field.column)))
            row.integer(field.column, field.value);
    }
    if (otherHandleRowid > 0 && present(QStringLiteral("other_handle")))
        row.integer("other_handle", otherHandleRowid);
    if (present(QStringLiteral("group_title")))
        row.textIfSet("group_title", message.group_title);
    const struct {
        const char *column;
        qint32 value;
    } laterInts[] = {
        {"group_action_type", message.group_action_type},
        {"share_status", message.share_status},
        {"share_direction", message.share_direction},
        {"is_expirable", message.is_expirable},
        {"expire_state", message.expire_state},
        {"message_action_type", message.message_action_type},
    };
    for (const auto &field : laterInts) {
        if (present(QLatin1String(field.column)))
            row.integer(field.column, field.value);
    }
    if (present(QStringLiteral("logic_hash")))
        row.text("logic_hash", hash.isEmpty() ? logicHash(message) : hash);
    return insert(row);
}

qint64 IOS6MessageDb::insertAttachment(const _MsgAttachment &attachment)
{
    const QString table = QStringLiteral("attachment");
    InsertStatement row(table);
    row.text("guid", attachment.guid)
        .integer("created_date", attachment.created_date)
        .integer("start_date", attachment.start_date)
        .text("filename", attachment.filename)
        .text("uti", attachment.uti)
        .text("mime_type", attachment.mime_type)
        .integer("transfer_state", attachment.transfer_state)
        .integer("is_outgoing", attachment.is_outgoing);
    if (tableMentions(table, QStringLiteral("user_info")))
        row.blobIfSet("user_info", attachment.user_info);
    if (tableMentions(table, QStringLiteral("transfer_name")))
        row.textIfSet("transfer_name", attachment.transfer_name);
    if (tableMentions(table, QStringLiteral("total_bytes")))
        row.integer("total_bytes", attachment.total_bytes);
    return insert(row);
}

// ---------------------------------------------------------------- links and chat updates
// Row ids are bound rather than written into the text: the merge runs these
// for every message, and one text per statement lets the connection keep a
// single prepared statement for each instead of preparing anew every time.

void IOS6MessageDb::joinChatHandle(qint64 chatRowid, qint64 handleRowid)
{
    ensureOpen();
    executeThrow(Sqlite3Sql(QStringLiteral("replace into chat_handle_join(chat_id,handle_id) values(?,?)"))
                     .addInt64Param(chatRowid)
                     .addInt64Param(handleRowid));
}

void IOS6MessageDb::joinChatMessage(qint64 chatRowid, qint64 messageRowid)
{
    ensureOpen();
    executeThrow(Sqlite3Sql(QStringLiteral("replace into chat_message_join(chat_id,message_id) values(?,?)"))
                     .addInt64Param(chatRowid)
                     .addInt64Param(messageRowid));
}

void IOS6MessageDb::joinMessageAttachment(qint64 messageRowid, qint64 attachmentRowid)
{
    ensureOpen();
    executeThrow(
        Sqlite3Sql(QStringLiteral("replace into message_attachment_join(message_id,attachment_id) values(?,?)"))
            .addInt64Param(messageRowid)
            .addInt64Param(attachmentRowid));
}

void IOS6MessageDb::setLastAddressedHandle(qint64 chatRowid, const QString &id)
{
    ensureOpen();
    executeThrow(Sqlite3Sql(QStringLiteral("update chat set last_addressed_handle=? where rowid=?"))
                     .addTextParam(id)
                     .addInt64Param(chatRowid));
}

void IOS6MessageDb::updateChatLast(qint64 chatRowid, qint32 date)
{
    if (!hasLastColumn())
        return;
    executeThrow(Sqlite3Sql(QStringLiteral("update chat set _last=? where rowid=? and _last < ?"))
                     .addIntParam(date)
                     .addInt64Param(chatRowid)
                     .addIntParam(date));
}
