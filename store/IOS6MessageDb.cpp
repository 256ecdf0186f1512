#include "store/IOS6MessageDb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <stdexcept>

#include "country/CountryLibDb.h"
#include "store/AttachmentPaths.h"
#include "store/IOSContactsMemDb.h"
#include "store/MessageIds.h"
#include "store/MsgDataSet.h"
#include "store/RecordColumns.h"

namespace {

const QString kSchemaResource = QStringLiteral(":/res/localmsgdb_ddl.sql");

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// Columns older files may lack, added on opening in this order. The numbers
// identify the statement in the error text ("line:%1, ..."); support staff
// know them from earlier versions, so they stay fixed.
struct ColumnUpgrade {
    const char *column;
    const char *sql;
};

const ColumnUpgrade kMessageUpgrades[] = {
    {"is_audio_message", "ALTER TABLE message ADD COLUMN is_audio_message INTEGER DEFAULT 0;"},
    {"is_played", "ALTER TABLE message ADD COLUMN is_played INTEGER DEFAULT 0;"},
    {"date_played", "ALTER TABLE message ADD COLUMN date_played INTEGER;"},
    {"item_type", "ALTER TABLE message ADD COLUMN item_type INTEGER DEFAULT 0;"},
    {"other_handle", "ALTER TABLE message ADD COLUMN other_handle INTEGER DEFAULT -1;"},
    {"group_title", "ALTER TABLE message ADD COLUMN group_title TEXT;"},
    {"group_action_type", "ALTER TABLE message ADD COLUMN group_action_type INTEGER DEFAULT 0;"},
    {"share_status", "ALTER TABLE message ADD COLUMN share_status INTEGER;"},
    {"share_direction", "ALTER TABLE message ADD COLUMN share_direction INTEGER;"},
    {"is_expirable", "ALTER TABLE message ADD COLUMN is_expirable INTEGER DEFAULT 0;"},
    {"expire_state", "ALTER TABLE message ADD COLUMN expire_state INTEGER DEFAULT 0;"},
    {"message_action_type", "ALTER TABLE message ADD COLUMN message_action_type INTEGER DEFAULT 0;"},
    {"logic_hash", "ALTER TABLE message ADD COLUMN logic_hash TEXT;"},
};
constexpr int kChatUpgradeLine = 122;
constexpr int kFirstMessageUpgradeLine = 127;
constexpr int kMessageUpgradeLineStep = 3;

// Triggers copied from phone message stores call these; here they do nothing.
void returnZero(sqlite3_context *context, int, sqlite3_value **)
{
    sqlite3_result_int(context, 0);
}

QString readSchemaScript()
{
    QFile file(kSchemaResource);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("read IOS6MessageDb ddl error. %1").arg(file.errorString()));
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLocal8Bit(bytes);
}

void setIfSet(Sqlite3Row &row, const QString &column, const QString &value)
{
    if (!value.isEmpty())
        row.insert(column, value);
}

void setIfSet(Sqlite3Row &row, const QString &column, const QByteArray &value)
{
    if (!value.isEmpty())
        row.insert(column, value);
}

} // namespace

IOS6MessageDb::IOS6MessageDb(const QString &folder, const QString &countryCode)
    : m_folder(QDir::cleanPath(QDir(folder).absolutePath())),
      m_fileRelayDir(m_folder + QStringLiteral("/file-relay")),
      m_databasePath(m_fileRelayDir + QStringLiteral("/var/mobile/Library/SMS/sms.db")),
      m_countryCode(countryCode),
      m_contacts(std::make_unique<IOSContactsMemDb>(m_folder, countryCode)),
      m_countries(std::make_unique<CountryLibDb>(countryCode))
{
}

IOS6MessageDb::~IOS6MessageDb()
{
    // An unfinished transaction is rolled back by closing: nothing half-done
    // is ever committed.
    close();
}

// ---------------------------------------------------------------- opening

void IOS6MessageDb::ensureOpen()
{
    if (isOpen())
        return;
    try {
        if (QFileInfo::exists(m_databasePath)) {
            openThrow(m_databasePath, OpenReadWrite);
            upgradeSchema();
        } else {
            createSchema();
        }
        registerNoOpFunctions();
        loadTableMap();
    } catch (...) {
        // Closed again, so the next operation retries instead of working on a
        // connection whose schema was never checked.
        close();
        throw;
    }
}

void IOS6MessageDb::createSchema()
{
    const QString script = readSchemaScript();
    QDir().mkpath(QFileInfo(m_databasePath).absolutePath());
    openThrow(m_databasePath, OpenReadWriteCreate);
    QString error;
    if (exec(script, error) != SQLITE_OK) {
        // The file is ours alone and half made: remove it so the next
        // opening creates it afresh rather than taking it for an older file.
        close();
        QFile::remove(m_databasePath);
        fail(QStringLiteral("create IOS6MessageDb error. %1").arg(error));
    }
}

QSet<QString> IOS6MessageDb::columnNames(const QString &table)
{
    // SQLite column names ignore case: "ITEM_TYPE" is there already, and
    // adding "item_type" would fail.
    QSet<QString> names;
    const QMap<QString, _SqliteCol> columns = tbInfo(table);
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        names.insert(it.key().toLower());
    return names;
}

void IOS6MessageDb::upgradeSchema()
{
    const QSet<QString> chatColumns = columnNames(QStringLiteral("chat"));
    addColumnIfMissing(chatColumns, QStringLiteral("group_id"), kChatUpgradeLine,
                       QStringLiteral("ALTER TABLE chat ADD COLUMN group_id TEXT;"));

    const QSet<QString> messageColumns = columnNames(QStringLiteral("message"));
    int line = kFirstMessageUpgradeLine;
    for (const ColumnUpgrade &upgrade : kMessageUpgrades) {
        const QString column = QString::fromLatin1(upgrade.column);
        const bool adding = !messageColumns.contains(column);
        addColumnIfMissing(messageColumns, column, line, QString::fromLatin1(upgrade.sql));
        if (adding && column == QLatin1String("logic_hash")) {
            executeNumbered(line + 1,
                            QStringLiteral("CREATE INDEX message_idx_logic_hash ON message(logic_hash);"));
        }
        line += kMessageUpgradeLineStep;
    }
}

void IOS6MessageDb::addColumnIfMissing(const QSet<QString> &columns, const QString &column,
                                       int line, const QString &sql)
{
    if (!columns.contains(column))
        executeNumbered(line, sql);
}

void IOS6MessageDb::executeNumbered(int line, const QString &sql)
{
    QString error;
    if (exec(sql, error) != SQLITE_OK)
        fail(QStringLiteral("line:%1, sql:%2, error:%3").arg(line).arg(sql, error));
}

void IOS6MessageDb::registerNoOpFunctions()
{
    const struct {
        const char *name;
        int arguments;
    } functions[] = {{"delete_attachment_path", 1}, {"before_delete_attachment_path", 2}};
    for (const auto &function : functions) {
        const int rc = sqlite3_create_function_v2(handle(), function.name, function.arguments,
                                                  SQLITE_ANY, nullptr, returnZero, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK) {
            fail(QStringLiteral("register SQL function %1 error. %2")
                     .arg(QLatin1String(function.name), lastErrorText()));
        }
    }
}

void IOS6MessageDb::loadTableMap()
{
    m_tables.clear();
    m_mentions.clear();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select * from sqlite_master where type='table'"));
    while (cursor.moveNext())
        m_tables.insert(cursor.getText(QStringLiteral("name")), cursor.getText(QStringLiteral("sql")));
}

bool IOS6MessageDb::tableMentions(const QString &table, const QString &text, Qt::CaseSensitivity cs)
{
    ensureOpen();
    const QString key = table + QLatin1Char('\n') + text + QLatin1Char(cs == Qt::CaseSensitive ? 's' : 'i');
    const auto known = m_mentions.constFind(key);
    if (known != m_mentions.cend())
        return known.value();
    const bool mentioned = m_tables.value(table).contains(text, cs);
    m_mentions.insert(key, mentioned);
    return mentioned;
}

bool IOS6MessageDb::hasItemTypeColumn()
{
    return tableMentions(QStringLiteral("message"), QStringLiteral("item_type"));
}

bool IOS6MessageDb::hasLastColumn()
{
    return tableMentions(QStringLiteral("chat"), QStringLiteral("_last INTEGER"), Qt::CaseInsensitive);
}

bool IOS6MessageDb::hasHandleColumn(const QString &name)
{
    if (name == QLatin1String("_ct_name"))
        return tableMentions(QStringLiteral("handle"), QStringLiteral("_ct_name TEXT"), Qt::CaseInsensitive);
    if (name == QLatin1String("_photo"))
        return tableMentions(QStringLiteral("handle"), QStringLiteral("_photo BLOB"), Qt::CaseInsensitive);
    return false;
}

QString IOS6MessageDb::localPath(const QString &filename) const
{
    return attachmentFilePath(m_fileRelayDir, filename);
}

// ---------------------------------------------------------------- merge lookups

qint64 IOS6MessageDb::firstRowid(const Sqlite3Sql &sql)
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(sql);
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
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
        QStringLiteral("select 1 from chat_handle_join where chat_id=%1 and handle_id=%2")
            .arg(chatRowid)
            .arg(handleRowid));
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

qint64 IOS6MessageDb::messageRowidByGuid(const QString &guid)
{
    return firstRowid(Sqlite3Sql(QStringLiteral("select rowid from message where guid=?")).addTextParam(guid));
}

qint64 IOS6MessageDb::attachmentRowidByGuid(const _MsgAttachment &attachment)
{
    return firstRowid(
        Sqlite3Sql(QStringLiteral("select rowid from attachment where guid=?")).addTextParam(attachment.guid));
}

// ---------------------------------------------------------------- merge inserts

qint64 IOS6MessageDb::insertChat(const _MsgChat &chat)
{
    if (chat.service_name != QLatin1String("SMS") && chat.service_name != QLatin1String("iMessage"))
        fail(QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:%1").arg(chat.service_name));
    ensureOpen();
    const QString table = QStringLiteral("chat");
    Sqlite3Row row;
    row.insert(QStringLiteral("guid"), chat.guid);
    row.insert(QStringLiteral("style"), chat.style);
    row.insert(QStringLiteral("state"), chat.state);
    setIfSet(row, QStringLiteral("account_id"), chat.account_id);
    row.insert(QStringLiteral("chat_identifier"), chat.chat_identifier);
    row.insert(QStringLiteral("service_name"), chat.service_name);
    setIfSet(row, QStringLiteral("room_name"), chat.room_name);
    row.insert(QStringLiteral("account_login"), chat.account_login);
    row.insert(QStringLiteral("is_archived"), chat.is_archived);
    if (tableMentions(table, QStringLiteral("display_name")))
        setIfSet(row, QStringLiteral("display_name"), chat.display_name);
    if (tableMentions(table, QStringLiteral("group_id"))) {
        row.insert(QStringLiteral("group_id"),
                   chat.group_id.isEmpty() ? guidFromBytes(chat.guid.toUtf8()) : chat.group_id);
    }
    const qint64 chatRowid = insertRow(row, table);

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
    ensureOpen();
    Sqlite3Row row;
    row.insert(QStringLiteral("id"), handle.id);
    setIfSet(row, QStringLiteral("country"), handle.country);
    row.insert(QStringLiteral("service"), handle.service);
    setIfSet(row, QStringLiteral("uncanonicalized_id"), handle.uncanonicalized_id);
    if (hasHandleColumn(QStringLiteral("_ct_name")))
        row.insert(QStringLiteral("_ct_name"), handle._ct_name);
    if (hasHandleColumn(QStringLiteral("_photo")))
        row.insert(QStringLiteral("_photo"), handle._photo);
    return insertRow(row, QStringLiteral("handle"));
}

qint64 IOS6MessageDb::insertMessage(const _MsgMessage &message, qint64 handleRowid,
                                    qint64 otherHandleRowid, const QString &hash)
{
    ensureOpen();
    const QString table = QStringLiteral("message");
    const auto present = [&](const QString &column) { return tableMentions(table, column); };
    Sqlite3Row row;
    row.insert(QStringLiteral("guid"), message.guid);
    row.insert(QStringLiteral("text"), message.text);
    row.insert(QStringLiteral("replace"), message.replace);
    setIfSet(row, QStringLiteral("service_center"), message.service_center);
    row.insert(QStringLiteral("handle_id"), handleRowid);
    setIfSet(row, QStringLiteral("subject"), message.subject);
    setIfSet(row, QStringLiteral("country"), message.country);
    setIfSet(row, QStringLiteral("attributedBody"), message.attributedBody);
    row.insert(QStringLiteral("version"), message.version);
    row.insert(QStringLiteral("type"), message.type);
    row.insert(QStringLiteral("service"), message.service);
    row.insert(QStringLiteral("account"), message.account);
    row.insert(QStringLiteral("account_guid"), message.account_guid);
    row.insert(QStringLiteral("error"), message.error);
    row.insert(QStringLiteral("date"), message.date);
    row.insert(QStringLiteral("date_read"), message.date_read);
    row.insert(QStringLiteral("date_delivered"), message.date_delivered);
    row.insert(QStringLiteral("is_delivered"), message.is_delivered);
    row.insert(QStringLiteral("is_finished"), message.is_finished);
    row.insert(QStringLiteral("is_emote"), message.is_emote);
    row.insert(QStringLiteral("is_from_me"), message.is_from_me);
    row.insert(QStringLiteral("is_empty"), message.is_empty);
    row.insert(QStringLiteral("is_delayed"), message.is_delayed);
    row.insert(QStringLiteral("is_auto_reply"), message.is_auto_reply);
    row.insert(QStringLiteral("is_prepared"), message.is_prepared);
    row.insert(QStringLiteral("is_read"), message.is_read);
    row.insert(QStringLiteral("is_system_message"), message.is_system_message);
    row.insert(QStringLiteral("is_sent"), message.is_sent);
    row.insert(QStringLiteral("has_dd_results"), message.has_dd_results);
    row.insert(QStringLiteral("is_service_message"), message.is_service_message);
    row.insert(QStringLiteral("is_forward"), message.is_forward);
    row.insert(QStringLiteral("was_downgraded"), message.was_downgraded);
    row.insert(QStringLiteral("is_archive"), message.is_archive);
    row.insert(QStringLiteral("cache_has_attachments"), message.cache_has_attachments);
    row.insert(QStringLiteral("cache_roomnames"), message.cache_roomnames);
    row.insert(QStringLiteral("was_data_detected"), message.was_data_detected);
    row.insert(QStringLiteral("was_deduplicated"), message.was_deduplicated);

    const struct {
        QString column;
        qint32 value;
    } optionalInts[] = {
        {QStringLiteral("is_audio_message"), message.is_audio_message},
        {QStringLiteral("is_played"), message.is_played},
        {QStringLiteral("date_played"), message.date_played},
        {QStringLiteral("item_type"), message.item_type},
    };
    for (const auto &field : optionalInts) {
        if (present(field.column))
            row.insert(field.column, field.value);
    }
    if (otherHandleRowid > 0 && present(QStringLiteral("other_handle")))
        row.insert(QStringLiteral("other_handle"), otherHandleRowid);
    if (present(QStringLiteral("group_title")))
        setIfSet(row, QStringLiteral("group_title"), message.group_title);
    const struct {
        QString column;
        qint32 value;
    } laterInts[] = {
        {QStringLiteral("group_action_type"), message.group_action_type},
        {QStringLiteral("share_status"), message.share_status},
        {QStringLiteral("share_direction"), message.share_direction},
        {QStringLiteral("is_expirable"), message.is_expirable},
        {QStringLiteral("expire_state"), message.expire_state},
        {QStringLiteral("message_action_type"), message.message_action_type},
    };
    for (const auto &field : laterInts) {
        if (present(field.column))
            row.insert(field.column, field.value);
    }
    if (present(QStringLiteral("logic_hash")))
        row.insert(QStringLiteral("logic_hash"), hash.isEmpty() ? logicHash(message) : hash);
    return insertRow(row, table);
}

qint64 IOS6MessageDb::insertAttachment(const _MsgAttachment &attachment)
{
    ensureOpen();
    const QString table = QStringLiteral("attachment");
    Sqlite3Row row;
    row.insert(QStringLiteral("guid"), attachment.guid);
    row.insert(QStringLiteral("created_date"), attachment.created_date);
    row.insert(QStringLiteral("start_date"), attachment.start_date);
    row.insert(QStringLiteral("filename"), attachment.filename);
    row.insert(QStringLiteral("uti"), attachment.uti);
    row.insert(QStringLiteral("mime_type"), attachment.mime_type);
    row.insert(QStringLiteral("transfer_state"), attachment.transfer_state);
    row.insert(QStringLiteral("is_outgoing"), attachment.is_outgoing);
    if (tableMentions(table, QStringLiteral("user_info")))
        setIfSet(row, QStringLiteral("user_info"), attachment.user_info);
    if (tableMentions(table, QStringLiteral("transfer_name")))
        setIfSet(row, QStringLiteral("transfer_name"), attachment.transfer_name);
    if (tableMentions(table, QStringLiteral("total_bytes")))
        row.insert(QStringLiteral("total_bytes"), attachment.total_bytes);
    return insertRow(row, table);
}

// ---------------------------------------------------------------- links and chat updates

void IOS6MessageDb::joinChatHandle(qint64 chatRowid, qint64 handleRowid)
{
    ensureOpen();
    executeThrow(QStringLiteral("replace into chat_handle_join(chat_id,handle_id) values(%1,%2)")
                     .arg(chatRowid)
                     .arg(handleRowid));
}

void IOS6MessageDb::joinChatMessage(qint64 chatRowid, qint64 messageRowid)
{
    ensureOpen();
    executeThrow(QStringLiteral("replace into chat_message_join(chat_id,message_id) values(%1,%2)")
                     .arg(chatRowid)
                     .arg(messageRowid));
}

void IOS6MessageDb::joinMessageAttachment(qint64 messageRowid, qint64 attachmentRowid)
{
    ensureOpen();
    executeThrow(
        QStringLiteral("replace into message_attachment_join(message_id,attachment_id) values(%1,%2)")
            .arg(messageRowid)
            .arg(attachmentRowid));
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
    executeThrow(QStringLiteral("update chat set _last=%1 where rowid=%2 and _last < %3")
                     .arg(date)
                     .arg(chatRowid)
                     .arg(date));
}

// ---------------------------------------------------------------- deletion

void IOS6MessageDb::deleteMessage(const _MsgMessage &message)
{
    ensureOpen();
    const QString rowid = QString::number(message.rowid);
    executeThrow(QStringLiteral("DELETE FROM message WHERE rowid=%1").arg(rowid));
    executeThrow(QStringLiteral("DELETE FROM chat_message_join where message_id=%1").arg(rowid));
    executeThrow(QStringLiteral("DELETE FROM message_attachment_join where message_id=%1").arg(rowid));
    if (message.chat) {
        executeThrow(QStringLiteral("DELETE FROM chat WHERE rowid=%1 and (SELECT 1 from chat_message_join "
                                    "WHERE chat_id=%2 LIMIT 1) IS NULL")
                         .arg(message.chat->rowid)
                         .arg(message.chat->rowid));
    }
}

// ---------------------------------------------------------------- loading

void IOS6MessageDb::chats(MsgDataSet &set)
{
    ensureOpen();
    loadChatRows(set);
    if (!hasLastColumn())
        computeChatLast(set);
    loadChatHandles(set);
}

void IOS6MessageDb::loadChatRows(MsgDataSet &set)
{
    ColumnBinding<_MsgChat> columns = chatColumns();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select * from chat"));
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        _MsgChat *chat = set.ensureChat(cursor.getInt64(QStringLiteral("rowid")));
        columns.read(cursor, *chat);
    }
}

void IOS6MessageDb::computeChatLast(MsgDataSet &set)
{
    Sqlite3Cursor cursor = queryThrow(QStringLiteral(
        "select chat_id, max(date) as last from ( select cm.chat_id, m.date from chat_message_join as cm "
        "inner join message as m on cm.message_id=m.rowid ) as tmp group by chat_id"));
    while (cursor.moveNext()) {
        if (_MsgChat *chat = set.chat(cursor.getInt64(QStringLiteral("chat_id"))))
            chat->_last = cursor.getInt(QStringLiteral("last"));
    }
}

void IOS6MessageDb::loadChatHandles(MsgDataSet &set)
{
    const bool contactsOpen = openContacts();
    ColumnBinding<_MsgHandle> columns = handleColumns();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral(
        "select j.chat_id, h.* from chat_handle_join as j inner join handle as h on j.handle_id = h.rowid"));
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        _MsgChat *chat = set.chat(cursor.getInt64(QStringLiteral("chat_id")));
        if (!chat)
            continue;
        const qint64 rowid = cursor.getInt64(QStringLiteral("rowid"));
        _MsgHandle *handle = set.ensureHandle(rowid);
        columns.read(cursor, *handle);
        chat->handles.insert(QString::number(rowid), handle);
        normaliseHandleNumber(*handle);
        applyContactName(*handle, contactsOpen);
    }
}

void IOS6MessageDb::messages(MsgDataSet &set, qint64 chatRowid)
{
    ensureOpen();
    chats(set);
    loadMessageRows(set, chatRowid);
    loadAttachmentRows(set, chatRowid);
}

void IOS6MessageDb::loadMessageRows(MsgDataSet &set, qint64 chatRowid)
{
    QString sql = QStringLiteral(
        "select j.chat_id, m.* from chat_message_join as j inner join message as m on j.message_id = m.rowid");
    if (hasItemTypeColumn())
        sql += QStringLiteral(" and m.item_type <> 4");  // location sharing is never shown
    if (chatRowid > 0)
        sql += QStringLiteral(" and j.chat_id=%1").arg(chatRowid);

    ColumnBinding<_MsgMessage> columns = messageColumns();
    Sqlite3Cursor cursor = queryThrow(sql);
    columns.resolve(cursor);
    const int rowidColumn = columnPosition(cursor.columnNames(), QStringLiteral("ROWID"));
    const int chatColumn = columnPosition(cursor.columnNames(), QStringLiteral("chat_id"));
    while (cursor.moveNext()) {
        const qint64 rowid = cursor.getInt64(rowidColumn);
        _MsgMessage *message = set.ensureMessage(rowid);
        message->rowid = rowid;
        message->sortKey = rowid;
        columns.read(cursor, *message);

        message->handle = set.handle(message->handle_id);
        if (message->handle && message->country.isEmpty())
            message->country = message->handle->country;
        message->otherHandle = message->other_handle > 0 ? set.handle(message->other_handle) : nullptr;
        if (_MsgChat *chat = set.chat(cursor.getInt64(chatColumn))) {
            message->chat = chat;
            chat->messages.insert(QString::number(rowid), message);
        }
    }
}

void IOS6MessageDb::loadAttachmentRows(MsgDataSet &set, qint64 chatRowid)
{
    QString sql = QStringLiteral(
        "select ma.message_id, ma.attachment_id, cm.chat_id, a.* from message_attachment_join as ma "
        "inner join attachment as a on ma.attachment_id=a.rowid "
        "inner join chat_message_join as cm on ma.message_id=cm.message_id");
    if (chatRowid > 0)
        sql += QStringLiteral(" and cm.chat_id=%1").arg(chatRowid);

    ColumnBinding<_MsgAttachment> columns = attachmentColumns();
    Sqlite3Cursor cursor = queryThrow(sql);
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        const qint64 rowid = cursor.getInt64(QStringLiteral("attachment_id"));
        _MsgAttachment *attachment = set.ensureAttachment(rowid);
        columns.read(cursor, *attachment);
        if (!attachment->filename.isEmpty())
            attachment->localPath = localPath(attachment->filename);
        if (_MsgMessage *message = set.message(cursor.getInt64(QStringLiteral("message_id"))))
            message->attachments.insert(QString::number(rowid), attachment);
    }
}

// ---------------------------------------------------------------- numbers and contact names

bool IOS6MessageDb::openContacts()
{
    try {
        m_contacts->ensureOpen();
    } catch (const std::exception &e) {
        // Names are a nicety: without the contacts cache they stay as stored.
        qDebug().noquote() << QStringLiteral("IOS6MessageDb::chats, no contacts. %1")
                                  .arg(QString::fromUtf8(e.what()));
    }
    return m_contacts->isOpen();
}

void IOS6MessageDb::normaliseHandleNumber(_MsgHandle &handle)
{
    if (handle.country.isEmpty()) {
        const Country current = m_countries->current();
        handle.country = current.sn().toLower();
        handle.id = current.normalise(handle.id);
        return;
    }
    // An unknown code gives the current country, which is the best guess left.
    handle.id = m_countries->countryBySn(handle.country).normalise(handle.id);
}

void IOS6MessageDb::applyContactName(_MsgHandle &handle, bool contactsOpen)
{
    if (!contactsOpen)
        return;
    try {
        handle._ct_name = m_contacts->contactByNumber(handle.id).displayName();
    } catch (const std::exception &e) {
        qWarning().noquote() << QStringLiteral("IOS6MessageDb::chats, IOSContactsMemDb error. %1")
                                    .arg(QString::fromUtf8(e.what()));
    }
}
