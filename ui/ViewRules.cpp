#include "ui/ViewRules.h"

#include "store/MsgChat.h"

#include <QSet>

namespace ViewRules {

namespace {

constexpr int kChatNameLength = 25;

} // namespace

QString shortChatName(const QString &name)
{
    if (name.size() <= kChatNameLength)
        return name;
    return name.left(kChatNameLength) + QStringLiteral("...");
}

int findWrapped(int count, int start, const std::function<bool(int row)> &matches)
{
    if (count <= 0)
        return -1;
    if (start < 0 || start >= count)
        start = 0;
    for (int step = 0; step < count; ++step) {
        const int row = (start + step) % count;
        if (matches(row))
            return row;
    }
    return -1;
}

MsgMessageList messagesOfChats(const QList<_MsgChat *> &chats)
{
    MsgMessageList list;
    QSet<const _MsgMessage *> seen;
    for (const _MsgChat *chat : chats) {
        if (!chat)
            continue;
        for (_MsgMessage *message : chat->messages) {
            // A message joined to two chats of the conversation is shown once.
            if (message && !seen.contains(message)) {
                seen.insert(message);
                list.append(message);
            }
        }
    }
    return list;
}

} // namespace ViewRules
