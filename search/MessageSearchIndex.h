#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

#include "search/SearchHit.h"
#include "store/Sqlite3DB.h"

// The full-text index of one message database, kept in a file of its own
// beside it ("sms.db" -> "sms.search.db"), so the database's schema stays as
// it is and older versions of the program read it unchanged.
//
// The index holds the subject and text of every message under the message's
// ROWID negated, and the name of every conversation. (FTS5 reads a word's
// list of rows as a stream only in ascending order: negated, newest first
// stops after the rows a search asks for, where descending order would
// decode the whole list of a common word.) It also remembers the highest ROWID it covers, how many rows it holds,
// the guid of its newest row and a stamp of the database file (SQLite's
// change counter, size and time). Before every search it catches up: an
// unchanged stamp costs nothing; otherwise rows above the highest ROWID are
// added (ROWIDs only grow: the table is AUTOINCREMENT), rows that went are
// dropped, and a database that was replaced (its sequence went back, or the
// newest indexed ROWID holds another guid) is indexed anew. Stored messages
// are never edited in place, so their text need not be compared. A missing,
// foreign or damaged index file is rebuilt.
//
// The database is attached read-only: nothing here writes to it (only a
// write cut short by a crash is rolled back, as any use of the file does),
// and a missing database is an error (it is never created). Errors are
// SqliteException for SQL failures, std::runtime_error otherwise. Used by one
// thread at a time.
class MessageSearchIndex
{
public:
    // Told now and then while rows are added: rows done and rows to do. It
    // may throw (a cancel) to stop; the rows added so far are then dropped.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // `folder` is a database folder F as IOS6MessageDb takes it.
    explicit MessageSearchIndex(const QString &folder);
    ~MessageSearchIndex();
    MessageSearchIndex(const MessageSearchIndex &) = delete;
    MessageSearchIndex &operator=(const MessageSearchIndex &) = delete;

    // "<dir>/<base>.search.db" beside "<dir>/<base>.db".
    static QString indexPathFor(const QString &databasePath);

    const QString &databasePath() const { return m_databasePath; }
    const QString &indexPath() const { return m_indexPath; }

    // Messages the next update() has to add at most; a cheap estimate to
    // decide whether the wait deserves a progress dialog.
    qint64 pendingRows();
    // Brings the index up to date with the database (see above).
    void update(const Progress &progress = Progress());
    // update(), then the `limit` matches stored last, newest stored first.
    // The hits' source fields are left empty. See searchMatchExpression for
    // how `words` match.
    QList<SearchHit> search(const QString &words, int limit, const Progress &progress = Progress());
    // search() in two steps, so that a search over many sources makes
    // snippets only for the hits it keeps: the hits without snippet, then
    // the snippets of hits that findHits() gave for the same words.
    QList<SearchHit> findHits(const QString &words, int limit, const Progress &progress = Progress());
    void addSnippets(const QString &words, QList<SearchHit> &hits);

private:
    struct Meta
    {
        qint64 maxRowid = 0;
        qint64 count = 0;
        QString maxGuid;
        QString stamp;
    };

    void ensureOpen();
    void rollBackInterruptedWrite();
    void openIndexFile();
    bool hasOurSchema();
    void createSchema();
    void discardIndexFile();
    Meta readMeta();
    void writeMeta(const Meta &meta);
    // "counter:size:msecs" of the database file; empty when it cannot tell
    // (a WAL file, a pending journal), which forces the row comparison.
    QString databaseStamp() const;
    bool databaseHasMessageTable();
    bool databaseWasReplaced(const Meta &meta);
    void clearIndex(Meta &meta);
    void dropDeletedRows(Meta &meta);
    void addNewRows(Meta &meta, const Progress &progress);
    void catchUp(const QString &stamp, const Progress &progress);
    QList<SearchHit> matchingRowids(const QString &expression, int limit);
    void completeHits(QList<SearchHit> &hits);
    // Conversation names by chat ROWID, kept in the index so a search need
    // not load every chat with its contacts.
    QHash<qint64, QString> loadChatTitles();
    void storeChatTitles(const QHash<qint64, QString> &titles);
    // "1,2,3" of the hits' message ROWIDs, or of their negations.
    static QString rowidList(const QList<SearchHit> &hits, bool negated);
    qint64 singleInt(const Sqlite3Sql &sql);
    // Whether the error is a damaged or foreign index file.
    static bool isDamage(const SqliteException &error);

    QString m_folder;
    QString m_databasePath;
    QString m_indexPath;
    Sqlite3DB m_db;
};
