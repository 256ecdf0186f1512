#pragma once

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "country/Country.h"
#include "store/AbsIOSMessageDb.h"
#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

class CountryLibDb;
class IOSContactsMemDb;
class InsertStatement;
class _MsgAttachment;
class _MsgChat;
class _MsgHandle;
class _MsgMessage;

// A local message database: a folder F holding
// file-relay/var/mobile/Library/SMS/sms.db (the version 6 phone message-store
// tables plus logic_hash, _ct_name, _photo, _last and group_id), the
// attachment files beside it and the contacts cache ct-phone.db.
//
// Nothing is opened at construction; every operation opens lazily through
// ensureOpen(), which creates a new file from ":res/localmsgdb_ddl.sql" or
// adds the columns an older file lacks. Errors are std::runtime_error for the
// program's own failures and SqliteException for SQL errors.
//
// The merge operations (lookups, inserts, joins, chat updates) are the
// building blocks of ExportMessagesDb; callers wrap runs of them in one
// transaction. Used by one thread at a time.
class IOS6MessageDb : public AbsIOSMessageDb
{
public:
    // `countryCode` is the mobile country code whose country normalises
    // numbers; may be empty.
    IOS6MessageDb(const QString &folder, const QString &countryCode);
    ~IOS6MessageDb() override;

    void ensureOpen() override;
    void chats(MsgDataSet &set) override;
    void messages(MsgDataSet &set, qint64 chatRowid) override;
    int schemaVersion() const override { return 6; }
    // The messages and attachments of one chat, into a set that already holds
    // the chats (chats()); reads through the chat's index, so opening one
    // conversation costs its own size, not the database's. A chat whose
    // messages the set has is not read again.
    void chatMessages(MsgDataSet &set, qint64 chatRowid);
    // The same for several chats at once.
    void chatMessages(MsgDataSet &set, const QList<qint64> &chatRowids);
    // The same with only the columns the message list and the bubbles show
    // (shownMessageColumns), what opening a conversation in the window needs:
    // a long conversation's rows lie on as many pages, and decoding and
    // keeping every column would cost as much again. The records are marked
    // partial until completeMessages has read them whole.
    void shownChatMessages(MsgDataSet &set, const QList<qint64> &chatRowids);
    // Reads the whole rows of the partial records among `messages`, so that
    // an operation sees every column. Raises std::runtime_error when one of
    // them is no longer in the database.
    void completeMessages(MsgDataSet &set, const MsgMessageList &messages);

    // Where a reading of every message in (date, ROWID) order stands: after
    // the message with this date and row id. Messages without a date come
    // first, by row id.
    struct ReadPosition
    {
        bool pastUndated = false;
        qint64 date = 0;
        qint64 rowid = 0;
    };
    // Reads the next `limit` messages after `position` (fewer at the end,
    // more when the last one's date goes on: a date is never parted)
    // with their attachments into a set that already holds the chats
    // (chats()), moves `position` past them and gives those that are shown
    // (as messages(set, 0) would); false once no message is left. Each call
    // costs the size of its chunk: the date index leads to the position.
    bool messagesAfter(MsgDataSet &set, ReadPosition &position, int limit, MsgMessageList &read);
    // How many messages messages(set, 0) would load; with a period, how many
    // of them fall in it.
    qint64 shownMessageCount(const MessageDateRange &period = MessageDateRange());
    // The dates of the oldest and the newest message; (0, 0) when there is none.
    std::pair<qint32, qint32> messageDateSpan();
    // How many messages messages(set, 0) loads of each chat that has any.
    QHash<qint64, qint64> shownMessageCountsByChat();

    // Opens, and raises std::runtime_error naming the folder and the reason
    // when the database can only be read (read-only medium, no permission).
    void ensureWritable();

    const QString &folder() const { return m_folder; }
    const QString &fileRelayDir() const { return m_fileRelayDir; }
    const QString &databasePath() const { return m_databasePath; }
    const QString &countryCode() const { return m_countryCode; }

    // Table name -> CREATE statement as stored, filled when opening.
    const QMap<QString, QString> &tableMap() const { return m_tables; }
    // Optional columns of older files, told from the stored CREATE statements.
    bool hasItemTypeColumn();
    bool hasLastColumn();
    // `name` is "_ct_name" or "_photo".
    bool hasHandleColumn(const QString &name);

    // The file of an attachment's stored name on this computer, or an empty
    // string (logged) when the name would lead outside the folder's
    // attachments folder, e.g. out of the database folder or onto sms.db.
    QString localPath(const QString &filename) const;

    // Merge lookups; 0 (false) when nothing matches.
    bool holdsNoMessages();
    qint64 chatRowidByGuid(const QString &guid);
    qint64 handleRowid(const _MsgHandle &handle);
    bool chatHasHandle(qint64 chatRowid, qint64 handleRowid);
    // Only files with a logic_hash column are asked; others give 0.
    qint64 messageRowidByLogicHash(const _MsgMessage &message);
    qint64 messageRowidByLogicHash(const QString &hash);
    // A message with that hash that belongs to a group chat (more than one
    // handle); 0 too for files without logic_hash.
    qint64 groupMessageRowidByLogicHash(const QString &hash);
    // A message with that hash in that chat; 0 as above.
    qint64 chatMessageRowidByLogicHash(qint64 chatRowid, const QString &hash);
    qint64 messageRowidByGuid(const QString &guid);
    qint64 attachmentRowidByGuid(const _MsgAttachment &attachment);
    // The attachments of a stored message by their attachmentHashName().
    QSet<QString> attachmentHashNames(qint64 messageRowid);

    // Merge inserts; each returns the new row id. Optional texts and blobs
    // are written only when set, columns of later versions only when the
    // file has them; the rest take the schema's defaults. insertChat also
    // finds or inserts the chat's handles and links them; it refuses (runtime
    // error) a service other than "SMS" or "iMessage". insertMessage stores
    // `handleRowid` as handle_id, `otherHandleRowid` as other_handle when it
    // is positive, and `hash` (logicHash(message) when empty) as logic_hash.
    qint64 insertChat(const _MsgChat &chat);
    qint64 insertHandle(const _MsgHandle &handle);
    qint64 insertMessage(const _MsgMessage &message, qint64 handleRowid,
                         qint64 otherHandleRowid, const QString &hash);
    qint64 insertAttachment(const _MsgAttachment &attachment);

    void joinChatHandle(qint64 chatRowid, qint64 handleRowid);
    void joinChatMessage(qint64 chatRowid, qint64 messageRowid);
    void joinMessageAttachment(qint64 messageRowid, qint64 attachmentRowid);
    void setLastAddressedHandle(qint64 chatRowid, const QString &id);
    // Raises the chat's _last to `date`, never lowers it; a file without
    // _last is left alone.
    void updateChatLast(qint64 chatRowid, qint32 date);

    // Removes the message and its links, and its chat when that has no
    // message left; the schema's triggers drop orphaned handles and
    // attachment rows. Files on disk stay.
    void deleteMessage(const _MsgMessage &message);
    // Makes a run of deleteMessage cost log n per message. The stock trigger
    // that drops unlinked messages looks at every message for each deleted
    // link; it is replaced by one that looks only at the message whose link
    // went (the same rows go when messages are deleted here), and the links
    // the other cleanup triggers look up get indexes. Both stay in the file, which older
    // versions read as before. Call inside the deletion's transaction.
    void prepareForDeletion();
    // Absolute paths of the files that attachment rows still name.
    QSet<QString> attachmentFilesInUse();

private:
    void createSchema();
    void upgradeSchema();
    QSet<QString> columnNames(const QString &table);  // lower case
    void addColumnIfMissing(const QSet<QString> &columns, const QString &column, int line,
                            const QString &sql);
    void executeNumbered(int line, const QString &sql);
    void registerNoOpFunctions();
    void enlargePageCache();
    // Runs `read` with a small page cache, then gives the cache its size back.
    void readOncePerPage(const std::function<void()> &read);
    void loadTableMap();
    // Whether the stored CREATE statement of `table` names `text`; memoised,
    // since the inserts ask for every row.
    bool tableMentions(const QString &table, const QString &text,
                       Qt::CaseSensitivity cs = Qt::CaseSensitive);
    qint64 firstRowid(const Sqlite3Sql &sql);
    qint64 insert(const InsertStatement &row);

    void loadChatRows(MsgDataSet &set);
    void computeChatLast(MsgDataSet &set);
    void loadChatHandles(MsgDataSet &set);
    void ensureDateIndex();
    static QString chatCondition(const QString &joinAlias, qint64 chatRowid);
    // "chat_message_join as j inner join message as m" on the messages shown.
    QString shownMessagesJoin();
    // " and ..." on the message (m) that leaves out what is never shown.
    QString shownMessagesCondition();
    // Where the next `limit` messages after `position` end (fewer at the
    // end); none once no message is left. A position among the undated
    // messages with none left moves on to the dated ones.
    std::optional<ReadPosition> lastOfChunk(ReadPosition &position, int limit);
    // The position of the message `skip` rows into "select ... from message
    // where `conditionAndOrder`"; none when there are not that many.
    std::optional<ReadPosition> firstPosition(const QString &conditionAndOrder, int skip);
    // The condition on the message columns (named with `prefix`) of the
    // messages after `after` up to and including `last`.
    static QString chunkRange(const ReadPosition &after, const ReadPosition &last, const QString &prefix);
    // Which message columns a reading takes: all, or those the views show.
    enum class MessageColumns { All, Shown };
    void loadChatMessages(MsgDataSet &set, const QList<qint64> &chatRowids, MessageColumns columns);
    // "m.*", or the shown columns this file has.
    QString messageSelectList(MessageColumns columns);
    // `condition` narrows the join of the messages (j) or attachments (ma, cm) to their chat or rows.
    // `loaded`, when given, gets each message read (once per chat it is in).
    void loadMessageRows(MsgDataSet &set, const QString &condition,
                         MessageColumns columns = MessageColumns::All, MsgMessageList *loaded = nullptr);
    // The handles a message's columns name, and the country it takes from
    // its handle when it has none of its own.
    static void resolveHandles(const MsgDataSet &set, _MsgMessage &message);
    void loadAttachmentRows(MsgDataSet &set, const QString &condition);

    // Number normalisation and contact names of a loaded handle (in memory).
    void normaliseHandleNumber(_MsgHandle &handle);
    void applyContactName(_MsgHandle &handle, bool contactsOpen);
    bool openContacts();

    QString m_folder;
    QString m_fileRelayDir;
    QString m_databasePath;
    QString m_countryCode;
    std::unique_ptr<IOSContactsMemDb> m_contacts;
    std::unique_ptr<CountryLibDb> m_countries;
    QMap<QString, QString> m_tables;
    // [case-sensitive, ignoring case][table][text] -> mentioned
    QHash<QString, QHash<QString, bool>> m_mentions[2];
    QHash<QByteArray, QString> m_insertTexts;  // see InsertStatement
    QHash<QString, Country> m_countriesBySn;
    QString m_shownMessageSelect;  // memoised messageSelectList(Shown), reset when opening
};
