#include "store/IOS6MessageDb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <sqlite3.h>

#include <stdexcept>

#include "country/CountryLibDb.h"
#include "store/AttachmentPaths.h"
#include "store/IOSContactsMemDb.h"
#include "store/InsertStatement.h"
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
// identify the failed statement in the error text ("line:%1, ...") the same
// way error reports of earlier versions did, so they stay fixed.
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
constexpr int kPageCacheKb = 32 * 1024;

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

bool holdsNoTables(Sqlite3DB &db)
{
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from sqlite_master where type='table'"));
    return cursor.moveNext() && cursor.getInt64(0) == 0;
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
            // A creation that was killed leaves a file without tables.
            if (holdsNoTables(*this))
                createSchema();
            else
                upgradeSchema();
        } else {
            createSchema();
        }
        registerNoOpFunctions();
        enlargePageCache();
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
    const QString folder = QFileInfo(m_databasePath).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create folder %1: %2").arg(QDir::toNativeSeparators(folder), qt_error_string()));
    openThrow(m_databasePath, OpenReadWriteCreate);
    QString error;
    // One transaction: a crash part-way must not leave some of the tables,
    // which the next opening would take for an older file.
    if (exec(QStringLiteral("BEGIN;\n%1\nCOMMIT;").arg(script), error) != SQLITE_OK) {
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

void IOS6MessageDb::ensureWritable()
{
    ensureOpen();
    if (sqlite3_db_readonly(handle(), "main") != 1)
        return;
    // SQLite's own "attempt to write a readonly database" names neither the
    // folder nor why.
    const QString reason = QStorageInfo(m_databasePath).isReadOnly() ? QStringLiteral("Read-only file system")
                                                                      : QStringLiteral("Permission denied");
    fail(QStringLiteral("Cannot write the local database in %1: %2")
             .arg(QDir::toNativeSeparators(m_folder), reason));
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

void IOS6MessageDb::enlargePageCache()
{
    // A merge probes the guid and content-hash indexes at random; with
    // SQLite's default 2 MB of cache a large database is read from disk
    // again and again. Pages are only allocated as they are used.
    executeThrow(QStringLiteral("PRAGMA cache_size=-%1").arg(kPageCacheKb));
}

void IOS6MessageDb::loadTableMap()
{
    m_tables.clear();
    m_mentions[0].clear();
    m_mentions[1].clear();
    m_insertTexts.clear();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select * from sqlite_master where type='table'"));
    while (cursor.moveNext())
        m_tables.insert(cursor.getText(QStringLiteral("name")), cursor.getText(QStringLiteral("sql")));
}

bool IOS6MessageDb::tableMentions(const QString &table, const QString &text, Qt::CaseSensitivity cs)
{
    ensureOpen();
    QHash<QString, bool> &known = m_mentions[cs == Qt::CaseSensitive ? 0 : 1][table];
    const auto found = known.constFind(text);
    if (found != known.cend())
        return found.value();
    const bool mentioned = m_tables.value(table).contains(text, cs);
    known.insert(text, mentioned);
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

qint64 IOS6MessageDb::insert(const InsertStatement &row)
{
    ensureOpen();
    executeThrow(row.sql(m_insertTexts));
    return lastInsertId();
}

qint64 IOS6MessageDb::insertChat(const _MsgChat &chat)
{
    if (chat.service_name != QLatin1String("SMS") && chat.service_name != QLatin1String("iMessage"))
        fail(QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:%1").arg(chat.service_name));
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
