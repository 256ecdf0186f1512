#pragma once

#include "store/MsgChat.h"
#include "store/MsgHandle.h"

#include <QString>
#include <QStringList>

#include <deque>

// The chat of a conversation with several other parties, made the same
// whichever source a message of it comes from (a download, a backup file, an
// archive): its members are the other parties' normalised numbers, never the
// phone's own; sorted and joined by ", " they are the chat's identifier, and
// "SMS;+;" and the identifier its guid. The chat refers to the member handles
// kept here, so this object must outlive the messages placed in the chat.
class GroupConversation
{
public:
    // `members`: at least two distinct normalised numbers, in any order.
    explicit GroupConversation(const QStringList &members);
    GroupConversation(const GroupConversation &) = delete;
    GroupConversation &operator=(const GroupConversation &) = delete;

    // The identifier of the group of `members` (as the constructor takes them).
    static QString identifierOf(const QStringList &members);

    _MsgChat *chat() { return &m_chat; }
    const QString &identifier() const { return m_chat.chat_identifier; }
    // The handle of the member `address`, or nullptr for one not in the group.
    _MsgHandle *member(const QString &address);

private:
    _MsgChat m_chat;
    std::deque<_MsgHandle> m_members;  // stable addresses for the chat's handle map
};
