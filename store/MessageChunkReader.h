#pragma once

#include "store/IOS6MessageDb.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// Every message of a local database, oldest first (by date, then row id), a
// chunk at a time: what an operation over all of a source reads while it
// goes, so its memory stays flat however many messages there are.
//
// The reader has its own connection and its own records (the chats and
// handles once, the messages of one chunk at a time), so nothing it hands out
// belongs to the window. Build it on any thread; it opens the database on
// first use, on the thread that reads. Within a chunk the messages are in
// display order (sortMessages); the messages of one date always share a
// chunk.
class MessageChunkReader
{
public:
    static constexpr int kDefaultChunkSize = 2000;

    // `countryCode` as for IOS6MessageDb.
    MessageChunkReader(const QString &folder, const QString &countryCode, int chunkSize = kDefaultChunkSize);
    MessageChunkReader(const MessageChunkReader &) = delete;
    MessageChunkReader &operator=(const MessageChunkReader &) = delete;

    // How many messages a reading gives (those messages(set, 0) loads); with
    // a period, how many of them fall in it.
    qint64 count(const MessageDateRange &period = MessageDateRange());
    // Starts again from the oldest message.
    void rewind();
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
    void ensureChats();
    // Frees the messages of the last reading.
    void releaseRead();

    IOS6MessageDb m_db;
    int m_chunkSize;
    MsgDataSet m_records;
    bool m_chatsLoaded = false;
    IOS6MessageDb::ReadPosition m_position;
    MsgMessageList m_chunk;
    QHash<qint64, qint64> m_countOfChat;  // chat row id -> messages shown, filled by chats()
};
