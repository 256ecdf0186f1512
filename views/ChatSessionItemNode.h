#pragma once

#include <QImage>
#include <QList>

#include "views/AbsTreeItemModel.h"

class _MsgChat;

// One conversation: the chats of a source that share a chat_identifier (for
// example the SMS and the iMessage chat of one number).
class _ChatSessionItemNode : public AbsTreeItemModel::_ItemNode
{
public:
    _ChatSessionItemNode(const QString &text, const QList<_MsgChat *> &chatList, qint32 lastDate)
        : _ItemNode(AbsTreeItemModel::KindChatSession, text)
        , chatList(chatList)
        , lastDate(lastDate)
    {
    }

    QList<_MsgChat *> chatList;  // records of the parent's data set
    qint32 lastDate = 0;         // greatest _last of the chats

    // The tree icon, made on first display (photos are decoded once).
    mutable QImage icon;
};
