#pragma once

#include "store/IOS6MessageDb.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <future>

// Every message of a local database, oldest first (by date, then row id), a
// chunk at a time: what an operation over all of a source reads while it
// goes, so its memory stays flat however many messages there are.
//
// The reader has its own connection and its own records (the chats and
// handles once, the messages of one chunk at a time), so nothing it hands out
// belongs to the window. Build it on any thread; it opens the database on
// first use, on the thread that reads. Within a chunk the messages are in
// display order (sortMessages); the messages of one date always share a
// chunk (those without a date are read by row id).
//
// With readAhead(), the next chunk is read on another thread while the
// caller works on one, into a second set of records (with chats and handles
// of its own), so the reading overlaps with the caller's work instead of
// adding to it. Every other call waits for that reading first: the database
// is used by one thread at a time.
class MessageChunkReader
{
public:
    static constexpr int kDefaultChunkSize = 2000;

    // `countryCode` as for IOS6MessageDb.
    MessageChunkReader(const QString &folder, const QString &countryCode, int chunkSize = kDefaultChunkSize);
    MessageChunkReader(const MessageChunkReader &) = delete;
    MessageChunkReader &operator=(const MessageChunkReader &) = delete;
    // Waits for a chunk being read ahead.
    ~MessageChunkReader();

    // How many messages a reading gives (those messages(set, 0) loads); with
    // a period, how many of them fall in it.
    qint64 count(const MessageDateRange &period = MessageDateRange());
    // Starts again from the oldest message.
    void rewind();
    // For a caller whose work on a chunk outweighs its reading (a backup, a
    // transfer): next() reads the following chunk meanwhile. Costs the
    // records of a second chunk and the chats again; a caller with little
    // to do per chunk only waits, and loses on handing records between
    // threads (measured: CSV and extraction slower). Call it before reading.
    void readAhead() { m_readAhead = true; }
    // The next chunk, valid until the next call; empty at the end.
    const MsgMessageList &next();
    // Every message from the oldest on, each valid only during its call.
    void forEach(const std::function<void(const _MsgMessage &)> &visit);

    // The chats that show a message, with their handles; valid while the
    // reader lives.
    QList<_MsgChat *> chats();
    // How many messages of `chat` a reading gives (after chats()).
    qint64 messageCount(const _MsgChat &chat) const;
    // The messages of these chats in row-id order, read at once; valid until
    // the next call of this or next().
    const MsgMessageList &messagesOfChats(const QList<_MsgChat *> &chats);

    int chunkSize() const { return m_chunkSize; }

    const QString &folder() const { return m_db.folder(); }

private:
    // One chunk's records, with the chats and handles they point to.
    struct Reading
    {
        MsgDataSet records;
        bool chatsLoaded = false;
        MsgMessageList chunk;
    };

    void ensureChats(Reading &reading);
    // Frees the messages of a reading.
    static void release(Reading &reading);
    // The chunk after the position into `reading`; empty at the end.
    void readChunk(Reading &reading);
    // Waits for the chunk being read ahead; its error is raised here.
    void settle();
    // Waits, then frees both readings.
    void releaseAll();

    IOS6MessageDb m_db;
    int m_chunkSize;
    std::array<Reading, 2> m_readings;
    bool m_readAhead = false;
    int m_current = 0;            // the reading handed out last
    bool m_aheadRead = false;     // the other reading holds the next chunk (once settled)
    std::future<void> m_ahead;
    IOS6MessageDb::ReadPosition m_position;
    QHash<qint64, qint64> m_countOfChat;  // chat row id -> messages shown, filled by chats()
};
