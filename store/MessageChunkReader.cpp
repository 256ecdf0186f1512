#include "store/MessageChunkReader.h"

#include "store/MessageOrder.h"

MessageChunkReader::MessageChunkReader(const QString &folder, const QString &countryCode, int chunkSize)
    : m_db(folder, countryCode)
    , m_chunkSize(qMax(1, chunkSize))
{
}

MessageChunkReader::~MessageChunkReader()
{
    // The reading ahead uses the records and the database destroyed next.
    if (m_ahead.valid())
        m_ahead.wait();
}

qint64 MessageChunkReader::count(const MessageDateRange &period)
{
    settle();
    return m_db.shownMessageCount(period);
}

void MessageChunkReader::rewind()
{
    releaseAll();
    m_position = {};
}

void MessageChunkReader::settle()
{
    if (!m_ahead.valid())
        return;
    // Should the reading have failed, next() reads the chunk again.
    m_aheadRead = false;
    m_ahead.get();
    m_aheadRead = true;
}

void MessageChunkReader::releaseAll()
{
    settle();
    m_aheadRead = false;
    for (Reading &reading : m_readings)
        release(reading);
}

void MessageChunkReader::release(Reading &reading)
{
    reading.chunk.clear();
    reading.records.releaseLinkedMessages();  // only the database's loading filled the set
}

void MessageChunkReader::readChunk(Reading &reading)
{
    ensureChats(reading);
    // The reading's previous chunk goes before the next is read.
    release(reading);
    // A chunk of hidden messages only (location sharing, rows of no chat)
    // gives nothing to show: read on until one does or the end comes.
    while (reading.chunk.isEmpty() && m_db.messagesAfter(reading.records, m_position, m_chunkSize, reading.chunk)) {
    }
    sortMessages(reading.chunk);
}

const MsgMessageList &MessageChunkReader::next()
{
    settle();
    if (!m_readAhead) {
        readChunk(m_readings[m_current]);
        return m_readings[m_current].chunk;
    }
    Reading &following = m_readings[1 - m_current];
    if (!m_aheadRead)
        readChunk(following);
    m_aheadRead = false;
    // The chunk handed out last is no longer needed: its reading takes the
    // chunk after this one, while the caller works.
    m_current = 1 - m_current;
    Reading &freed = m_readings[1 - m_current];
    if (m_readings[m_current].chunk.isEmpty()) {
        release(freed);
    } else {
        m_ahead = std::async(std::launch::async, [this, &freed] { readChunk(freed); });
    }
    return m_readings[m_current].chunk;
}

void MessageChunkReader::forEach(const std::function<void(const _MsgMessage &)> &visit)
{
    rewind();
    for (const MsgMessageList *chunk = &next(); !chunk->isEmpty(); chunk = &next()) {
        for (const _MsgMessage *message : *chunk)
            visit(*message);
    }
}

QList<_MsgChat *> MessageChunkReader::chats()
{
    settle();
    Reading &first = m_readings[0];
    ensureChats(first);
    m_countOfChat = m_db.shownMessageCountsByChat();
    QList<_MsgChat *> chats;
    for (_MsgChat *chat : std::as_const(first.records.chats)) {
        if (m_countOfChat.contains(chat->rowid))
            chats.append(chat);
    }
    return chats;
}

qint64 MessageChunkReader::messageCount(const _MsgChat &chat) const
{
    return m_countOfChat.value(chat.rowid);
}

const MsgMessageList &MessageChunkReader::messagesOfChats(const QList<_MsgChat *> &chats)
{
    // The chats are those of chats(), the first reading's.
    releaseAll();
    Reading &first = m_readings[0];
    ensureChats(first);
    QList<qint64> rowids;
    rowids.reserve(chats.size());
    for (const _MsgChat *chat : chats)
        rowids.append(chat->rowid);
    m_db.chatMessages(first.records, rowids);
    first.chunk = first.records.messages.values();
    m_current = 0;
    return first.chunk;
}

void MessageChunkReader::ensureChats(Reading &reading)
{
    if (reading.chatsLoaded)
        return;
    m_db.chats(reading.records);
    reading.chatsLoaded = true;
}
