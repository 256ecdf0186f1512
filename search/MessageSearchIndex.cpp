#include "search/MessageSearchIndex.h"

#include "store/AppleTime.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgDataSet.h"
#include "search/SearchQuery.h"
#include "search/SearchTokenizer.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Bumped when the index layout changes: older files are then rebuilt.
const QString kFormat = QStringLiteral("1");
// Rows added per statement between two progress reports.
constexpr qint64 kChunkRows = 20000;
// Words of context a snippet shows around what was found.
constexpr int kSnippetTokens = 12;

// What the index keeps of a message: its subject and text without the
// attachment marks.
const QString kBodyOfMessage = QStringLiteral(
    "trim(coalesce(subject, '') || ' ' || replace(coalesce(text, ''), char(65532), ' '))");

// Every value of a one-column integer query, through the raw interface: the
// deletion check reads one per message.
std::vector<qint64> integerColumn(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    std::vector<qint64> values;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW)
            values.push_back(sqlite3_column_int64(statement.get(), 0));
    }
    if (rc != SQLITE_DONE)
        throw SqliteException(rc, QString::fromUtf8(sqlite3_errmsg(db)), QString::fromUtf8(sql));
    return values;
}

} // namespace

MessageSearchIndex::MessageSearchIndex(const QString &folder)
    : m_folder(folder)
    , m_databasePath(IOS6MessageDb(folder, QString()).databasePath())
    , m_indexPath(indexPathFor(m_databasePath))
{
}

MessageSearchIndex::~MessageSearchIndex() = default;

QString MessageSearchIndex::indexPathFor(const QString &databasePath)
{
    const QFileInfo info(databasePath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".search.db"));
}

qint64 MessageSearchIndex::pendingRows()
{
    ensureOpen();
    const Meta meta = readMeta();
    const QString stamp = databaseStamp();
    if ((!stamp.isEmpty() && stamp == meta.stamp) || !databaseHasMessageTable())
        return 0;
    return singleInt(Sqlite3Sql(QStringLiteral("SELECT count(*) FROM src.message WHERE ROWID > ?"))
                         .addInt64Param(meta.maxRowid));
}

void MessageSearchIndex::update(const Progress &progress)
{
    // The stamp is taken before anything is read, so it never claims more
    // than the rows read after it.
    const QString stamp = databaseStamp();
    try {
        ensureOpen();
        catchUp(stamp, progress);
    } catch (const SqliteException &error) {
        if (!isDamage(error))
            throw;
        discardIndexFile();
        ensureOpen();
        catchUp(stamp, progress);
    }
}

QList<SearchHit> MessageSearchIndex::search(const QString &words, int limit, const Progress &progress)
{
    QList<SearchHit> hits = findHits(words, limit, progress);
    addSnippets(words, hits);
    return hits;
}

QList<SearchHit> MessageSearchIndex::findHits(const QString &words, int limit, const Progress &progress)
{
    const QString expression = searchMatchExpression(words);
    if (expression.isEmpty() || limit <= 0)
        return {};
    update(progress);
    QList<SearchHit> hits;
    try {
        hits = matchingRowids(expression, limit);
    } catch (const SqliteException &error) {
        // Damage the catch-up did not touch shows only now: index anew.
        if (!isDamage(error))
            throw;
        discardIndexFile();
        update(progress);
        hits = matchingRowids(expression, limit);
    }
    completeHits(hits);
    return hits;
}

void MessageSearchIndex::addSnippets(const QString &words, QList<SearchHit> &hits)
{
    const QString expression = searchMatchExpression(words);
    if (expression.isEmpty() || hits.isEmpty())
        return;
    ensureOpen();
    QHash<qint64, QString> snippets;
    Sqlite3Cursor rows = m_db.queryThrow(
        Sqlite3Sql(QStringLiteral("SELECT rowid, snippet(message_text, 0, '', '', '…', %1) FROM message_text"
                                  " WHERE message_text MATCH ? AND rowid IN (%2)")
                       .arg(kSnippetTokens)
                       .arg(rowidList(hits, true)))
            .addTextParam(expression));
    while (rows.moveNext())
        snippets.insert(-rows.getInt64(0), rows.getText(1));
    for (SearchHit &hit : hits)
        hit.snippet = snippets.value(hit.messageRowid);
}

void MessageSearchIndex::ensureOpen()
{
    if (m_db.isOpen())
        return;
    // Attaching a missing file would create an empty database there.
    if (!QFileInfo(m_databasePath).isFile())
        throw std::runtime_error(QStringLiteral("No message database at %1").arg(m_databasePath).toStdString());
    rollBackInterruptedWrite();
    openIndexFile();
    if (!hasOurSchema()) {
        discardIndexFile();
        openIndexFile();
        createSchema();
    }
    // Read-only, so a search can never change the messages it looks at.
    const QString readOnly = QUrl::fromLocalFile(m_databasePath).toString(QUrl::FullyEncoded)
                             + QStringLiteral("?mode=ro");
    m_db.executeThrow(Sqlite3Sql(QStringLiteral("ATTACH DATABASE ? AS src")).addTextParam(readOnly));
}

void MessageSearchIndex::rollBackInterruptedWrite()
{
    // A read-only connection refuses a file whose last write was cut short
    // (a hot journal); a read through an ordinary one rolls it back, as the
    // program's own next use of the database would.
    if (!QFileInfo::exists(m_databasePath + QStringLiteral("-journal")))
        return;
    Sqlite3DB database;
    database.openThrow(m_databasePath, Sqlite3DB::OpenReadWrite);
    database.queryThrow(QStringLiteral("SELECT count(*) FROM sqlite_master")).moveNext();
}

void MessageSearchIndex::openIndexFile()
{
    m_db.openThrow(m_indexPath, Sqlite3DB::OpenReadWriteCreate | SQLITE_OPEN_URI);
    registerSearchTokenizer(m_db.handle());
    // The index can always be made again from the database: it does not wait
    // for the disk. A crash still rolls back through the journal, and damage
    // it leaves is found and rebuilt.
    m_db.executeThrow(QStringLiteral("PRAGMA synchronous = OFF"));
}

bool MessageSearchIndex::hasOurSchema()
{
    try {
        const qint64 tables = singleInt(Sqlite3Sql(QStringLiteral(
            "SELECT count(*) FROM sqlite_master"
            " WHERE name IN ('meta', 'chat_title', 'message_text', 'message_text_docsize')")));
        if (tables != 4)
            return false;
        Sqlite3Cursor format = m_db.queryThrow(QStringLiteral("SELECT value FROM meta WHERE key = 'format'"));
        return format.moveNext() && format.getText(0) == kFormat;
    } catch (const SqliteException &error) {
        if (!isDamage(error))
            throw;
        return false;
    }
}

void MessageSearchIndex::createSchema()
{
    m_db.executeThrow(QStringLiteral(
        "BEGIN;"
        "CREATE TABLE meta (key TEXT PRIMARY KEY, value);"
        "CREATE TABLE chat_title (chat_rowid INTEGER PRIMARY KEY, title TEXT);"
        "CREATE VIRTUAL TABLE message_text USING fts5(body, tokenize = '%1');"
        "INSERT INTO meta (key, value) VALUES ('format', '%2');"
        "COMMIT;").arg(QLatin1String(kSearchTokenizerName), kFormat));
}

void MessageSearchIndex::discardIndexFile()
{
    m_db.close();
    for (const QString &path : {m_indexPath, m_indexPath + QStringLiteral("-journal")}) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            throw std::runtime_error(QStringLiteral("Cannot remove the damaged search index %1").arg(path).toStdString());
    }
}

MessageSearchIndex::Meta MessageSearchIndex::readMeta()
{
    QHash<QString, QString> values;
    Sqlite3Cursor rows = m_db.queryThrow(QStringLiteral("SELECT key, value FROM meta"));
    while (rows.moveNext())
        values.insert(rows.getText(0), rows.getText(1));
    Meta meta;
    meta.maxRowid = values.value(QStringLiteral("max_rowid")).toLongLong();
    meta.count = values.value(QStringLiteral("row_count")).toLongLong();
    meta.maxGuid = values.value(QStringLiteral("max_guid"));
    meta.stamp = values.value(QStringLiteral("database_stamp"));
    return meta;
}

void MessageSearchIndex::writeMeta(const Meta &meta)
{
    const QList<std::pair<QString, QString>> values{
        {QStringLiteral("max_rowid"), QString::number(meta.maxRowid)},
        {QStringLiteral("row_count"), QString::number(meta.count)},
        {QStringLiteral("max_guid"), meta.maxGuid},
        {QStringLiteral("database_stamp"), meta.stamp},
    };
    for (const auto &[key, value] : values) {
        m_db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)"))
                              .addTextParam(key)
                              .addTextParam(value));
    }
}

QString MessageSearchIndex::databaseStamp() const
{
    // SQLite raises the change counter in the header with every commit of a
    // file in rollback-journal mode; in WAL mode it does not.
    constexpr int kHeaderSize = 100;
    constexpr int kWriteVersionOffset = 18;
    constexpr int kChangeCounterOffset = 24;
    if (QFileInfo::exists(m_databasePath + QStringLiteral("-journal"))
        || QFileInfo::exists(m_databasePath + QStringLiteral("-wal")))
        return QString();
    QFile file(m_databasePath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))
        || header.at(kWriteVersionOffset) != 1)
        return QString();
    const quint32 counter = qFromBigEndian<quint32>(header.constData() + kChangeCounterOffset);
    const QFileInfo info(file);
    return QStringLiteral("%1:%2:%3")
        .arg(counter)
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

bool MessageSearchIndex::databaseHasMessageTable()
{
    return singleInt(Sqlite3Sql(QStringLiteral(
               "SELECT count(*) FROM src.sqlite_master WHERE type = 'table' AND name = 'message'")))
           > 0;
}

bool MessageSearchIndex::databaseWasReplaced(const Meta &meta)
{
    if (meta.maxRowid <= 0)
        return false;
    // AUTOINCREMENT never lowers its sequence within one file.
    const bool hasSequence = singleInt(Sqlite3Sql(QStringLiteral(
                                 "SELECT count(*) FROM src.sqlite_master WHERE name = 'sqlite_sequence'")))
                             > 0;
    if (hasSequence) {
        const qint64 sequence = singleInt(Sqlite3Sql(QStringLiteral(
            "SELECT coalesce(max(seq), 0) FROM src.sqlite_sequence WHERE name = 'message'")));
        if (sequence < meta.maxRowid)
            return true;
    }
    Sqlite3Cursor newest = m_db.queryThrow(
        Sqlite3Sql(QStringLiteral("SELECT guid FROM src.message WHERE ROWID = ?")).addInt64Param(meta.maxRowid));
    return newest.moveNext() && newest.getText(0) != meta.maxGuid;
}

void MessageSearchIndex::clearIndex(Meta &meta)
{
    // Dropping the table is far quicker than deleting its rows one by one.
    m_db.executeThrow(QStringLiteral("DROP TABLE message_text;"
                                     "CREATE VIRTUAL TABLE message_text USING fts5(body, tokenize = '%1');")
                          .arg(QLatin1String(kSearchTokenizerName)));
    meta = Meta();
}

void MessageSearchIndex::dropDeletedRows(Meta &meta)
{
    if (meta.count == 0)
        return;
    // Counting the whole table walks its smallest index; the newer rows are
    // a short range of ROWIDs.
    const qint64 total = singleInt(Sqlite3Sql(QStringLiteral("SELECT count(*) FROM src.message")));
    const qint64 newer = singleInt(
        Sqlite3Sql(QStringLiteral("SELECT count(*) FROM src.message WHERE ROWID > ?")).addInt64Param(meta.maxRowid));
    const qint64 present = total - newer;
    if (present == meta.count)
        return;
    if (present > meta.count) {
        // Rows appeared inside the covered range: not the growth this index
        // follows, so it starts again.
        clearIndex(meta);
        return;
    }
    // Both lists of ROWIDs side by side: a scan of the database's smallest
    // index and of the index's own row table, far cheaper than a join.
    std::vector<qint64> stored = integerColumn(m_db.handle(), "SELECT ROWID FROM src.message");
    std::vector<qint64> indexed = integerColumn(m_db.handle(), "SELECT -id FROM message_text_docsize");
    std::sort(stored.begin(), stored.end());
    std::sort(indexed.begin(), indexed.end());
    std::vector<qint64> gone;
    std::set_difference(indexed.begin(), indexed.end(), stored.begin(), stored.end(), std::back_inserter(gone));
    for (const qint64 rowid : gone) {
        m_db.executeThrow(
            Sqlite3Sql(QStringLiteral("DELETE FROM message_text WHERE rowid = ?")).addInt64Param(-rowid));
    }
    meta.count = present;
}

void MessageSearchIndex::addNewRows(Meta &meta, const Progress &progress)
{
    const qint64 total = singleInt(
        Sqlite3Sql(QStringLiteral("SELECT count(*) FROM src.message WHERE ROWID > ?")).addInt64Param(meta.maxRowid));
    if (total == 0)
        return;
    if (progress)
        progress(0, total);
    qint64 done = 0;
    while (done < total) {
        Sqlite3Cursor chunkEnd = m_db.queryThrow(
            Sqlite3Sql(QStringLiteral("SELECT ROWID FROM src.message WHERE ROWID > ? ORDER BY ROWID LIMIT 1 OFFSET ?"))
                .addInt64Param(meta.maxRowid)
                .addInt64Param(kChunkRows - 1));
        const qint64 last = chunkEnd.moveNext()
                                ? chunkEnd.getInt64(0)
                                : singleInt(Sqlite3Sql(QStringLiteral("SELECT max(ROWID) FROM src.message")));
        // FTS5 takes rows in ascending rowid order in one go and starts a new
        // index segment whenever a rowid is lower than the last: each chunk
        // goes in as one run of ascending negated ROWIDs.
        m_db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT INTO message_text (rowid, body)"
                                                    " SELECT -ROWID, %1 FROM src.message WHERE ROWID > ? AND ROWID <= ?"
                                                    " ORDER BY ROWID DESC")
                                         .arg(kBodyOfMessage))
                              .addInt64Param(meta.maxRowid)
                              .addInt64Param(last));
        done += m_db.changes();
        meta.maxRowid = last;
        if (progress)
            progress(std::min(done, total), total);
    }
    meta.count += done;
    Sqlite3Cursor newest = m_db.queryThrow(
        Sqlite3Sql(QStringLiteral("SELECT guid FROM src.message WHERE ROWID = ?")).addInt64Param(meta.maxRowid));
    meta.maxGuid = newest.moveNext() ? newest.getText(0) : QString();
}

void MessageSearchIndex::catchUp(const QString &stamp, const Progress &progress)
{
    Meta meta = readMeta();
    if (!stamp.isEmpty() && stamp == meta.stamp)
        return;
    // Loaded before the transaction: the database's own connection may need
    // to write (an older file gains columns), which a read lock held here
    // would block.
    const bool hasMessages = databaseHasMessageTable();
    const QHash<qint64, QString> titles = hasMessages ? loadChatTitles() : QHash<qint64, QString>();
    // One transaction: its read lock keeps the database still while the
    // index compares, and a cancel or failure leaves the index as it was.
    m_db.executeThrow(QStringLiteral("BEGIN"));
    try {
        if ((!hasMessages || databaseWasReplaced(meta)) && meta.maxRowid > 0)
            clearIndex(meta);
        if (hasMessages) {
            dropDeletedRows(meta);
            addNewRows(meta, progress);
        }
        storeChatTitles(titles);
        meta.stamp = stamp;
        writeMeta(meta);
        m_db.executeThrow(QStringLiteral("COMMIT"));
    } catch (...) {
        m_db.rollbackTran();
        throw;
    }
}

QList<SearchHit> MessageSearchIndex::matchingRowids(const QString &expression, int limit)
{
    Sqlite3Cursor rows = m_db.queryThrow(
        Sqlite3Sql(QStringLiteral("SELECT -rowid FROM message_text WHERE message_text MATCH ? ORDER BY rowid LIMIT ?"))
            .addTextParam(expression)
            .addIntParam(limit));
    QList<SearchHit> hits;
    while (rows.moveNext()) {
        SearchHit hit;
        hit.messageRowid = rows.getInt64(0);
        hits.append(hit);
    }
    return hits;
}

void MessageSearchIndex::completeHits(QList<SearchHit> &hits)
{
    if (hits.isEmpty())
        return;
    const QString rowids = rowidList(hits, false);
    QHash<qint64, SearchHit> found;
    Sqlite3Cursor rows = m_db.queryThrow(QStringLiteral(
        "SELECT m.ROWID, m.date, m.is_from_me,"
        " (SELECT chat_id FROM src.chat_message_join WHERE message_id = m.ROWID ORDER BY chat_id LIMIT 1)"
        " FROM src.message AS m WHERE m.ROWID IN (%1)").arg(rowids));
    while (rows.moveNext()) {
        SearchHit hit;
        hit.messageRowid = rows.getInt64(0);
        hit.date = appleTimeToDateTime(rows.getInt(1));
        hit.fromMe = rows.getInt(2) != 0;
        hit.chatRowid = rows.getInt64(3);
        found.insert(hit.messageRowid, hit);
    }
    QHash<qint64, QString> titles;
    Sqlite3Cursor names = m_db.queryThrow(QStringLiteral(
        "SELECT chat_rowid, title FROM chat_title WHERE chat_rowid IN"
        " (SELECT chat_id FROM src.chat_message_join WHERE message_id IN (%1))").arg(rowids));
    while (names.moveNext())
        titles.insert(names.getInt64(0), names.getText(1));
    QList<SearchHit> complete;
    for (const SearchHit &match : std::as_const(hits)) {
        // A message deleted since the catch-up is left out.
        if (!found.contains(match.messageRowid))
            continue;
        SearchHit hit = found.value(match.messageRowid);
        hit.chatTitle = titles.value(hit.chatRowid);
        complete.append(hit);
    }
    hits = complete;
}

QHash<qint64, QString> MessageSearchIndex::loadChatTitles()
{
    // Conversation names as the tree makes them: contact names, group names.
    IOS6MessageDb database(m_folder, QString());
    MsgDataSet chats;
    database.chats(chats);
    QHash<qint64, QString> titles;
    for (const _MsgChat *chat : std::as_const(chats.chats))
        titles.insert(chat->rowid, chatDisplayName(*chat, false));
    return titles;
}

void MessageSearchIndex::storeChatTitles(const QHash<qint64, QString> &titles)
{
    m_db.executeThrow(QStringLiteral("DELETE FROM chat_title"));
    for (auto it = titles.cbegin(); it != titles.cend(); ++it) {
        m_db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT INTO chat_title (chat_rowid, title) VALUES (?, ?)"))
                              .addInt64Param(it.key())
                              .addTextParam(it.value()));
    }
}

QString MessageSearchIndex::rowidList(const QList<SearchHit> &hits, bool negated)
{
    // Integers only, so they go into the statement text as they are.
    QStringList rowids;
    for (const SearchHit &hit : hits)
        rowids.append(QString::number(negated ? -hit.messageRowid : hit.messageRowid));
    return rowids.join(QLatin1Char(','));
}

qint64 MessageSearchIndex::singleInt(const Sqlite3Sql &sql)
{
    Sqlite3Cursor cursor = m_db.queryThrow(sql);
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

bool MessageSearchIndex::isDamage(const SqliteException &error)
{
    const int primary = error.code() & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}
