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
    const QSet<qint64> shown = m_db.shownChatRowids();
    QList<_MsgChat *> chats;
    for (_MsgChat *chat : std::as_const(m_records.chats)) {
        if (shown.contains(chat->rowid))
            chats.append(chat);
    }
    return chats;
}

const MsgMessageList &MessageChunkReader::messagesOfChats(const QList<_MsgChat *> &chats)
{
    ensureChats();
    releaseRead();
    for (const _MsgChat *chat : chats)
        m_db.chatMessages(m_records, chat->rowid);
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
