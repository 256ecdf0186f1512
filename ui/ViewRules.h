#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "store/MsgMessageList.h"

class _MsgChat;

// Small rules of the main window's views, kept apart so they are tested
// without a window.
namespace ViewRules {

// The conversation name over the bubbles: at most 25 characters, a longer
// name cut to its first 25 followed by "...".
QString shortChatName(const QString &name);

// The first row in start..count-1, then 0..start-1, for which `matches` holds;
// -1 when none does. A start outside 0..count-1 begins at row 0.
int findWrapped(int count, int start, const std::function<bool(int row)> &matches);

// The messages of all the chats of a conversation, each once, unsorted.
MsgMessageList messagesOfChats(const QList<_MsgChat *> &chats);

} // namespace ViewRules
