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
constexpr int kScanPageCacheKb = 512;

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
        ensureDateIndex();
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

void IOS6MessageDb::ensureDateIndex()
{
    // Reading a whole database in date order a chunk at a time needs it;
    // older files get it at their next opening. A file that can only be read
    // does without: its readings sort instead.
    const bool present = queryThrow(QStringLiteral(
        "select 1 from sqlite_master where type='index' and name='message_idx_date'")).moveNext();
    if (present || sqlite3_db_readonly(handle(), "main") == 1)
        return;
    executeThrow(QStringLiteral("CREATE INDEX message_idx_date ON message(date)"));
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

void IOS6MessageDb::readOncePerPage(const std::function<void()> &read)
{
    // Rows that each lie on a page of their own, read once: a small cache
    // keeps recycling a few page buffers that stay in the processor's cache,
    // where the large one would copy every page into memory not touched
    // before (measured: a fifth of a long conversation's reading).
    executeThrow(QStringLiteral("PRAGMA cache_size=-%1").arg(kScanPageCacheKb));
    try {
        read();
    } catch (...) {
        enlargePageCache();
        throw;
    }
    enlargePageCache();
}

void IOS6MessageDb::loadTableMap()
{
    m_tables.clear();
    m_mentions[0].clear();
    m_mentions[1].clear();
    m_insertTexts.clear();
    m_shownMessageSelect.clear();
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
