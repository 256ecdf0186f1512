#pragma once

#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class MessageChunkReader;
class _MsgChat;

// The messages an operation goes through, in the order it needs and as often
// as it needs: a list held in memory (what the window shows), or every
// message of a database read as it goes through a MessageChunkReader, so
// that memory does not grow with the database. A message handed to a visit
// is valid only during that visit (a conversation during its own).
class MessageSequence
{
public:
    enum class Order {
        Date,         // oldest first (sortMessages)
        Conversation  // conversation by conversation (conversationOrder)
    };
    using Visit = std::function<void(const _MsgMessage &)>;
    using ConversationVisit = std::function<void(const MsgMessageList &)>;
    using ChunkVisit = std::function<void(const MsgMessageList &)>;

    // Null entries of `messages` are left out.
    MessageSequence(const MsgMessageList &messages, Order order);
    MessageSequence(std::unique_ptr<MessageChunkReader> source, Order order);
    MessageSequence(const MessageSequence &) = delete;
    MessageSequence &operator=(const MessageSequence &) = delete;
    ~MessageSequence();

    // How many messages a walk visits; with a period, how many of them fall in it.
    qint64 count(const MessageDateRange &period = MessageDateRange());
    // Every message, in the order chosen.
    void forEach(const Visit &visit);
    // In date order, a chunk at a time, each valid during its visit: a list
    // is one chunk; a source gives its reader's chunks, which never part
    // messages of the same date.
    void forEachChunk(const ChunkVisit &visit);
    // In conversation order: one conversation at a time, oldest message
    // first. A source is read a few conversations per query: about a chunk
    // of messages, or one conversation when it is longer.
    void forEachConversation(const ConversationVisit &visit);

    // Conversation order: the chats compared by chat_identifier without
    // regard to case, the conversation with the oldest newest message first,
    // each conversation oldest first. Messages without a chat form one group.
    static void conversationOrder(MsgMessageList &messages);
    // What the chats of one conversation share.
    static QString conversationKey(const _MsgChat *chat);

private:
    void forEachListedConversation(const ConversationVisit &visit) const;
    void forEachReadConversation(const ConversationVisit &visit);
    // Reads the messages of `chats` and visits them conversation by
    // conversation, in the order of their chats' ranks.
    void visitConversations(const QList<_MsgChat *> &chats, const QHash<const _MsgChat *, int> &rankOfChat,
                            const ConversationVisit &visit);

    MsgMessageList m_messages;
    std::unique_ptr<MessageChunkReader> m_source;
    Order m_order;
};
