#include "store/MsgDataSet.h"

namespace {

template <typename Record>
Record *newRecord(qint64 rowid)
{
    auto *record = new Record;
    record->rowid = rowid;
    return record;
}

template <typename Record>
Record *ensureRecord(QMap<qint64, Record *> &map, qint64 rowid)
{
    // Loads read in row-id order: a record past the last one goes to the
    // end of the map without a search from its root.
    if (map.isEmpty() || rowid > map.lastKey())
        return map.insert(map.cend(), rowid, newRecord<Record>(rowid)).value();
    Record *&slot = map[rowid];
    if (!slot)
        slot = newRecord<Record>(rowid);
    return slot;
}

template <typename Record>
void fileRecord(QMap<qint64, Record *> &map, QList<Record *> &replaced, Record *record)
{
    if (!record)
        return;
    Record *&slot = map[record->rowid];
    if (slot && slot != record)
        replaced.append(slot);
    slot = record;
}

// Takes the record out of the set's bookkeeping and deletes it.
template <typename Record>
void deleteRecord(QMap<qint64, Record *> &map, QList<Record *> &replaced, Record *record)
{
    if (map.value(record->rowid) == record)
        map.remove(record->rowid);
    replaced.removeAll(record);
    delete record;
}

template <typename Record>
void deleteAll(QMap<qint64, Record *> &map, QList<Record *> &replaced)
{
    qDeleteAll(map);
    map.clear();
    qDeleteAll(replaced);
    replaced.clear();
}

} // namespace

MsgDataSet::~MsgDataSet()
{
    deleteAll(attachments, m_replacedAttachments);
    deleteAll(messages, m_replacedMessages);
    deleteAll(handles, m_replacedHandles);
    deleteAll(chats, m_replacedChats);
}

_MsgChat *MsgDataSet::ensureChat(qint64 rowid)
{
    return ensureRecord(chats, rowid);
}

_MsgHandle *MsgDataSet::ensureHandle(qint64 rowid)
{
    return ensureRecord(handles, rowid);
}

_MsgMessage *MsgDataSet::ensureMessage(qint64 rowid)
{
    return ensureRecord(messages, rowid);
}

_MsgAttachment *MsgDataSet::ensureAttachment(qint64 rowid)
{
    return ensureRecord(attachments, rowid);
}

void MsgDataSet::addChat(_MsgChat *chat)
{
    fileRecord(chats, m_replacedChats, chat);
}

void MsgDataSet::addHandle(_MsgHandle *handle)
{
    fileRecord(handles, m_replacedHandles, handle);
}

void MsgDataSet::addMessage(_MsgMessage *message)
{
    fileRecord(messages, m_replacedMessages, message);
}

void MsgDataSet::addAttachment(_MsgAttachment *attachment)
{
    fileRecord(attachments, m_replacedAttachments, attachment);
}

bool MsgDataSet::isEmpty() const
{
    return chats.isEmpty() && handles.isEmpty() && messages.isEmpty() && attachments.isEmpty();
}

void MsgDataSet::releaseLinkedMessages()
{
    for (_MsgChat *chat : std::as_const(m_linkedChats))
        chat->messages.clear();
    m_linkedChats.clear();
    for (_MsgChat *chat : std::as_const(m_replacedChats))
        chat->messages.clear();
    deleteAll(attachments, m_replacedAttachments);
    deleteAll(messages, m_replacedMessages);
    m_chatsWithMessages.clear();
    m_allMessages = false;
}

void MsgDataSet::linkToChat(_MsgChat *chat, _MsgMessage *message)
{
    message->chat = chat;
    chat->messages.insert(QString::number(message->rowid), message);
    m_linkedChats.insert(chat);
}

bool MsgDataSet::hasMessagesOfChat(qint64 chatRowid) const
{
    return m_allMessages || m_chatsWithMessages.contains(chatRowid);
}

void MsgDataSet::markMessagesOfChatLoaded(qint64 chatRowid)
{
    m_chatsWithMessages.insert(chatRowid);
}

void MsgDataSet::markAllMessagesLoaded()
{
    m_allMessages = true;
}

void MsgDataSet::removeMessage(_MsgMessage *message)
{
    if (message->chat && message->chat->messages.value(QString::number(message->rowid)) == message)
        message->chat->messages.remove(QString::number(message->rowid));
    deleteRecord(messages, m_replacedMessages, message);
}

void MsgDataSet::removeChat(_MsgChat *chat)
{
    for (_MsgMessage *message : std::as_const(chat->messages))
        message->chat = nullptr;
    m_linkedChats.remove(chat);
    deleteRecord(chats, m_replacedChats, chat);
}
