#include "store/MessageChunkReader.h"

#include "store/MessageOrder.h"

MessageChunkReader::MessageChunkReader(const QString &folder, const QString &countryCode, int chunkSize)
    : m_db(folder, countryCode)
    , m_chunkSize(qMax(1, chunkSize))
{
}

qint64 MessageChunkReader::count()
{
    return m_db.shownMessageCount();
}

void MessageChunkReader::rewind()
{
    m_records.releaseMessages();
    m_chunk.clear();
    m_position = {};
}

const MsgMessageList &MessageChunkReader::next()
{
    ensureChats();
    // The previous chunk's records go before the next are read.
    m_chunk.clear();
    m_records.releaseMessages();
    // A chunk of hidden messages only (location sharing, rows of no chat)
    // gives nothing to show: read on until one does or the end comes.
    while (m_chunk.isEmpty() && m_db.messagesAfter(m_records, m_position, m_chunkSize, m_chunk)) {
    }
    sortMessages(m_chunk);
    return m_chunk;
}

void MessageChunkReader::ensureChats()
{
    if (m_chatsLoaded)
        return;
    m_db.chats(m_records);
    m_chatsLoaded = true;
}
