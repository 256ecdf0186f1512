#include "store/MessageSequence.h"

#include "store/MessageChunkReader.h"
#include "store/MessageOrder.h"
#include "store/MsgChat.h"

#include <QMap>
#include <QSet>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

// Chats that share an identifier are one conversation, placed by the newest
// date of all of them, so that they can never interleave; equal dates fall
// back to the identifier. Gives each chat its conversation's place, 0 first.
QHash<const _MsgChat *, int> conversationRanks(const QList<_MsgChat *> &chats)
{
    QHash<QString, qint32> lastOfConversation;
    for (const _MsgChat *chat : chats) {
        const QString key = MessageSequence::conversationKey(chat);
        const qint32 last = chat ? chat->_last : 0;
        auto it = lastOfConversation.find(key);
        if (it == lastOfConversation.end())
            lastOfConversation.insert(key, last);
        else
            *it = std::max(*it, last);
    }
    QList<std::pair<qint32, QString>> conversations;
    for (auto it = lastOfConversation.cbegin(); it != lastOfConversation.cend(); ++it)
        conversations.append({it.value(), it.key()});
    std::sort(conversations.begin(), conversations.end());
    QHash<QString, int> rankOfKey;
    for (int i = 0; i < conversations.size(); ++i)
        rankOfKey.insert(conversations.at(i).second, i);
    QHash<const _MsgChat *, int> ranks;
    for (const _MsgChat *chat : chats)
        ranks.insert(chat, rankOfKey.value(MessageSequence::conversationKey(chat)));
    return ranks;
}

} // namespace

QString MessageSequence::conversationKey(const _MsgChat *chat)
{
    return chat ? chat->chat_identifier.toCaseFolded() : QString();
}

MessageSequence::MessageSequence(const MsgMessageList &messages, Order order)
    : m_messages(messages)
    , m_order(order)
{
    m_messages.removeAll(nullptr);
    if (order == Order::Conversation)
        conversationOrder(m_messages);
    else
        sortMessages(m_messages);
}

MessageSequence::MessageSequence(std::unique_ptr<MessageChunkReader> source, Order order)
    : m_source(std::move(source))
    , m_order(order)
{
}

MessageSequence::~MessageSequence() = default;

qint64 MessageSequence::count(const MessageDateRange &period)
{
    if (m_source)
        return m_source->count(period);
    return period.isOpen() ? m_messages.size() : period.filtered(m_messages).size();
}

void MessageSequence::forEach(const Visit &visit)
{
    if (m_order == Order::Conversation) {
        forEachConversation([&visit](const MsgMessageList &conversation) {
            for (const _MsgMessage *message : conversation)
                visit(*message);
        });
    } else if (m_source) {
        m_source->forEach(visit);
    } else {
        for (const _MsgMessage *message : std::as_const(m_messages))
            visit(*message);
    }
}

void MessageSequence::forEachChunk(const ChunkVisit &visit)
{
    if (m_order != Order::Date)
        throw std::logic_error("Chunks are read in date order only.");
    if (!m_source) {
        if (!m_messages.isEmpty())
            visit(m_messages);
        return;
    }
    m_source->rewind();
    for (const MsgMessageList *chunk = &m_source->next(); !chunk->isEmpty(); chunk = &m_source->next())
        visit(*chunk);
}

void MessageSequence::forEachConversation(const ConversationVisit &visit)
{
    if (m_order != Order::Conversation)
        throw std::logic_error("A sequence in date order has no conversations to walk.");
    if (m_source)
        forEachReadConversation(visit);
    else
        forEachListedConversation(visit);
}

void MessageSequence::forEachListedConversation(const ConversationVisit &visit) const
{
    MsgMessageList conversation;
    for (_MsgMessage *message : m_messages) {
        if (!conversation.isEmpty() && conversationKey(conversation.constLast()->chat) != conversationKey(message->chat)) {
            visit(conversation);
            conversation.clear();
        }
        conversation.append(message);
    }
    if (!conversation.isEmpty())
        visit(conversation);
}

void MessageSequence::forEachReadConversation(const ConversationVisit &visit)
{
    const QList<_MsgChat *> chats = m_source->chats();
    const QHash<const _MsgChat *, int> rankOfChat = conversationRanks(chats);
    QMap<int, QList<_MsgChat *>> chatsOfConversation;
    for (_MsgChat *chat : chats)
        chatsOfConversation[rankOfChat.value(chat)].append(chat);
    QList<_MsgChat *> batch;
    qint64 batchMessages = 0;
    for (auto it = chatsOfConversation.cbegin(); it != chatsOfConversation.cend(); ++it) {
        for (_MsgChat *chat : it.value()) {
            batch.append(chat);
            batchMessages += m_source->messageCount(*chat);
        }
        if (batchMessages >= m_source->chunkSize() || std::next(it) == chatsOfConversation.cend()) {
            visitConversations(batch, rankOfChat, visit);
            batch.clear();
            batchMessages = 0;
        }
    }
}

void MessageSequence::visitConversations(const QList<_MsgChat *> &chats,
                                         const QHash<const _MsgChat *, int> &rankOfChat,
                                         const ConversationVisit &visit)
{
    QMap<int, MsgMessageList> conversations;  // by rank; each in row-id order, as loaded
    for (_MsgMessage *message : m_source->messagesOfChats(chats))
        conversations[rankOfChat.value(message->chat)].append(message);
    for (MsgMessageList &messages : conversations) {
        sortMessages(messages);
        visit(messages);
    }
}

void MessageSequence::conversationOrder(MsgMessageList &messages)
{
    QList<_MsgChat *> chats;
    QSet<const _MsgChat *> seen;
    for (const _MsgMessage *message : std::as_const(messages)) {
        if (!seen.contains(message->chat)) {
            seen.insert(message->chat);
            chats.append(message->chat);
        }
    }
    const QHash<const _MsgChat *, int> rankOfChat = conversationRanks(chats);

    // One small record per message: the comparisons need no look-ups.
    struct Ranked
    {
        int rank;
        _MsgMessage *message;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(messages.size()));
    for (_MsgMessage *message : std::as_const(messages))
        ranked.push_back({rankOfChat.value(message->chat), message});
    // Stable: messageLessThan is not transitive for every input.
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return messageLessThan(a.message, b.message);
    });
    for (size_t i = 0; i < ranked.size(); ++i)
        messages[qsizetype(i)] = ranked[i].message;
}
