#include "store/MessageChunkReader.h"

#include "store/MessageOrder.h"

MessageChunkReader::MessageChunkReader(const QString &folder, const QString &countryCode, int chunkSize)
    : m_db(folder, countryCode)
    , m_chunkSize(qMax(1, chunkSize))
{
}

qint64 MessageChunkReader::count(const MessageDateRange &period)
{
    return m_db.shownMessageCount(period);
}

void MessageChunkReader::rewind()
{
    releaseRead();
    m_position = {};
}

void MessageChunkReader::releaseRead()
{
    m_chunk.clear();
    m_records.releaseLinkedMessages();  // only the database's loading filled the set
}

const MsgMessageList &MessageChunkReader::next()
{
    ensureChats();
    // The previous chunk's records go before the next are read.
    releaseRead();
    // A chunk of hidden messages only (location sharing, rows of no chat)
    // gives nothing to show: read on until one does or the end comes.
    while (m_chunk.isEmpty() && m_db.messagesAfter(m_records, m_position, m_chunkSize, m_chunk)) {
    }
    sortMessages(m_chunk);
    return m_chunk;
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
    ensureChats();
    m_countOfChat = m_db.shownMessageCountsByChat();
    QList<_MsgChat *> chats;
    for (_MsgChat *chat : std::as_const(m_records.chats)) {
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
    ensureChats();
    releaseRead();
    QList<qint64> rowids;
    rowids.reserve(chats.size());
    for (const _MsgChat *chat : chats)
        rowids.append(chat->rowid);
    m_db.chatMessages(m_records, rowids);
    m_chunk = m_records.messages.values();
    return m_chunk;
}

void MessageChunkReader::ensureChats()
{
    if (m_chatsLoaded)
        return;
    m_db.chats(m_records);
    m_chatsLoaded = true;
}
