#pragma once

#include <QList>
#include <QMap>
#include <QSet>
#include <QSharedPointer>

#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

// The records of one load, by row id. The set owns every record in its maps
// and deletes them with itself; records refer to each other by plain pointers
// valid while the set lives. Share it through MsgDataSetPtr.
class MsgDataSet
{
public:
    MsgDataSet() = default;
    ~MsgDataSet();
    MsgDataSet(const MsgDataSet &) = delete;
    MsgDataSet &operator=(const MsgDataSet &) = delete;

    QMap<qint64, _MsgChat *> chats;
    QMap<qint64, _MsgHandle *> handles;
    QMap<qint64, _MsgMessage *> messages;
    QMap<qint64, _MsgAttachment *> attachments;

    // The record with that row id, created (initial values, rowid set) and
    // added when missing.
    _MsgChat *ensureChat(qint64 rowid);
    _MsgHandle *ensureHandle(qint64 rowid);
    _MsgMessage *ensureMessage(qint64 rowid);
    _MsgAttachment *ensureAttachment(qint64 rowid);

    // The record with that row id, or null.
    _MsgChat *chat(qint64 rowid) const { return chats.value(rowid); }
    _MsgHandle *handle(qint64 rowid) const { return handles.value(rowid); }
    _MsgMessage *message(qint64 rowid) const { return messages.value(rowid); }
    _MsgAttachment *attachment(qint64 rowid) const { return attachments.value(rowid); }

    // Takes ownership of a record built elsewhere and files it under its rowid.
    // A different record already filed under that id leaves the map but stays
    // alive until the set goes, so pointers to it never dangle.
    void addChat(_MsgChat *chat);
    void addHandle(_MsgHandle *handle);
    void addMessage(_MsgMessage *message);
    void addAttachment(_MsgAttachment *attachment);

    // Deletes a message after taking it out of the set and of its chat. Its
    // attachments stay: another message may share them.
    void removeMessage(_MsgMessage *message);
    // Deletes a chat after taking it out of the set; its remaining messages
    // are left without chat.
    void removeChat(_MsgChat *chat);

    bool isEmpty() const;
    // Deletes every message and attachment, keeping the chats and handles:
    // what a reading a chunk at a time does between chunks. Every message
    // must have reached its chats through linkToChat, as the database's
    // loading links them: only those chats are emptied, which costs the
    // messages, not a walk over every chat of a set that has tens of thousands.
    void releaseLinkedMessages();
    // Files `message` under `chat` (and makes it the message's chat).
    void linkToChat(_MsgChat *chat, _MsgMessage *message);

    // Which messages a load has brought in: those of single chats, or every
    // message of the database at once. A window opens one conversation at a
    // time, and reading a chat twice would only cost time.
    bool hasMessagesOfChat(qint64 chatRowid) const;
    bool hasAllMessages() const { return m_allMessages; }
    void markMessagesOfChatLoaded(qint64 chatRowid);
    void markAllMessagesLoaded();

private:
    QSet<qint64> m_chatsWithMessages;
    bool m_allMessages = false;
    QList<_MsgChat *> m_replacedChats;
    QList<_MsgHandle *> m_replacedHandles;
    QList<_MsgMessage *> m_replacedMessages;
    QList<_MsgAttachment *> m_replacedAttachments;
    QSet<_MsgChat *> m_linkedChats;  // chats linkToChat gave a message since the last release
};

using MsgDataSetPtr = QSharedPointer<MsgDataSet>;
