#include "store/ExportMessagesDb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>

#include "store/MessageIds.h"
#include "store/MessageOrder.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

ExportMessagesDb::ExportMessagesDb(const QString &folder, const QString &countryCode)
    : m_db(folder, countryCode)
{
}

ExportMessagesDb::~ExportMessagesDb()
{
    // Often reached while an error unwinds the stack: a second exception here
    // would end the program.
    try {
        abort();
    } catch (const std::exception &error) {
        qWarning().noquote() << "ExportMessagesDb: the unfinished run could not be rolled back cleanly:"
                             << error.what();
    }
}

void ExportMessagesDb::begin()
{
    forgetRun();
    // Before the database is opened: a new one gets its tables from one writer only.
    m_lock = std::make_unique<DatabaseLock>(m_db.folder());
    try {
        m_db.ensureWritable();
        m_db.beginTransaction();
        const bool empty = m_db.holdsNoMessages();
        m_storedHashes.reset(empty);
        m_storedGuids.reset(empty);
    } catch (...) {
        abort();
        throw;
    }
    m_running = true;
}

void ExportMessagesDb::forgetRun()
{
    m_chatRowids.clear();
    m_handleRowids.clear();
    m_chatHandleLinks.clear();
    m_chatDates.clear();
    m_storedHashes.reset(false);
    m_storedGuids.reset(false);
}

void ExportMessagesDb::end()
{
    try {
        writeChatDates();
        m_copier.wait();  // the files are in place when the rows become visible
        m_db.endTransaction(true);
    } catch (...) {
        abort();
        throw;
    }
    m_copier.keep();
    m_running = false;
    forgetRun();
    m_db.close();
    m_lock.reset();
}

void ExportMessagesDb::abort()
{
    if (m_running && m_db.isOpen())
        m_db.endTransaction(false);
    if (m_running)
        m_copier.undo();
    else
        m_copier.keep();  // copies of writes outside a run are not taken back
    m_running = false;
    forgetRun();
    m_db.close();
    if (m_lock) {
        // A database this run was to make does not come about at all.
        m_lock->releaseRemovingMadeFolder();
        m_lock.reset();
    }
}

void ExportMessagesDb::write(const _MsgMessage &message)
{
    if (message.item_type != _MsgMessage::ItemOrdinary && !m_db.hasItemTypeColumn())
        return;  // the target cannot hold group events
    if (!message.chat) {
        qDebug() << "IOS6RestoreMessagesThread skip message with empty chat.";
        return;
    }
    const _MsgChat &chat = *message.chat;
    const qint64 chatRowid = this->chatRowid(chat);

    const qint64 handleRowid = message.handle ? linkedHandleRowid(chatRowid, *message.handle) : 0;
    const QString hash = logicHash(message);
    qint64 messageRowid = storedMessageRowid(message, chatRowid, hash);
    const bool stored = messageRowid != 0;
    if (!stored)
        messageRowid = insertNewMessage(message, chatRowid, handleRowid, hash);

    if (chat.isGroup() && message.handle)
        m_db.setLastAddressedHandle(chatRowid, message.handle->id);
    if (message.attachments.isEmpty())
        return;
    const QSet<QString> namesHeld = stored ? m_db.attachmentHashNames(messageRowid) : QSet<QString>();
    for (const _MsgAttachment *attachment : sortedAttachments(message))
        writeAttachment(messageRowid, *attachment, namesHeld);
}

qint64 ExportMessagesDb::chatRowid(const _MsgChat &chat)
{
    qint64 &known = m_chatRowids[chat.guid];
    if (known == 0) {
        const qint64 stored = m_db.chatRowidByGuid(chat.guid);
        known = stored != 0 ? stored : m_db.insertChat(chat);
    }
    return known;
}

qint64 ExportMessagesDb::linkedHandleRowid(qint64 chatRowid, const _MsgHandle &handle)
{
    qint64 &known = m_handleRowids[qMakePair(handle.id, handle.service)];
    if (known == 0) {
        known = m_db.handleRowid(handle);
        if (known == 0) {
            known = m_db.insertHandle(handle);
            m_db.joinChatHandle(chatRowid, known);
            m_chatHandleLinks.insert(qMakePair(chatRowid, known));
        }
    }
    const QPair<qint64, qint64> link(chatRowid, known);
    if (!m_chatHandleLinks.contains(link)) {
        if (!m_db.chatHasHandle(chatRowid, known))
            m_db.joinChatHandle(chatRowid, known);
        m_chatHandleLinks.insert(link);
    }
    return known;
}

qint64 ExportMessagesDb::storedMessageRowid(const _MsgMessage &message, qint64 chatRowid, const QString &hash)
{
    const qint64 byHash = rowidByHash(hash);
    if (byHash != 0)
        return byHash;
    // Every message without guid would match every other one by an empty
    // guid and be dropped; such messages are told apart by their hash only.
    const qint64 byGuid = message.guid.isEmpty() ? 0 : rowidByGuid(message.guid);
    return byGuid != 0 ? byGuid : storedAsOtherwiseNamed(message, chatRowid);
}

qint64 ExportMessagesDb::storedAsOtherwiseNamed(const _MsgMessage &message, qint64 chatRowid)
{
    if (message.item_type != _MsgMessage::ItemOrdinary || !message.chat || !message.chat->isGroup())
        return 0;
    _MsgMessage other = message;
    if (!message.handle) {
        // Hashed by an earlier version, before a group's message from no one
        // member had the group in its hash.
        other.chat = nullptr;
        const QString earlierHash = logicHash(other);
        const qint64 earlier =
            m_storedHashes.mayHold(earlierHash) ? m_db.chatMessageRowidByLogicHash(chatRowid, earlierHash) : 0;
        if (earlier != 0)
            return earlier;
        other.chat = message.chat;
    }
    // What a group sent the phone names its sender where the source says who
    // it was (a backup file) and no one where it does not (a download, which
    // knows only the group's members): the same message either way.
    if (message.is_from_me != 0)
        return 0;
    if (message.handle) {
        other.handle = nullptr;
        return rowidByHash(logicHash(other));
    }
    for (_MsgHandle *member : std::as_const(message.chat->handles)) {
        other.handle = member;
        const QString memberHash = logicHash(other);
        const qint64 rowid = m_storedHashes.mayHold(memberHash) ? m_db.groupMessageRowidByLogicHash(memberHash) : 0;
        if (rowid != 0)
            return rowid;
    }
    return 0;
}

qint64 ExportMessagesDb::insertNewMessage(const _MsgMessage &message, qint64 chatRowid,
                                          qint64 handleRowid, const QString &hash)
{
    const qint64 otherRowid = message.otherHandle ? linkedHandleRowid(chatRowid, *message.otherHandle) : 0;
    qint64 messageRowid = 0;
    if (message.guid.isEmpty()) {
        // guid is unique and required: derive one from the content.
        _MsgMessage named = message;
        named.guid = guidFromBytes(hash.toUtf8());
        messageRowid = m_db.insertMessage(named, handleRowid, otherRowid, hash);
        m_storedGuids.add(named.guid);
    } else {
        messageRowid = m_db.insertMessage(message, handleRowid, otherRowid, hash);
        m_storedGuids.add(message.guid);
    }
    m_storedHashes.add(hash);
    m_db.joinChatMessage(chatRowid, messageRowid);
    noteChatDate(chatRowid, message.date);
    return messageRowid;
}

qint64 ExportMessagesDb::rowidByHash(const QString &hash)
{
    return m_storedHashes.mayHold(hash) ? m_db.messageRowidByLogicHash(hash) : 0;
}

qint64 ExportMessagesDb::rowidByGuid(const QString &guid)
{
    return m_storedGuids.mayHold(guid) ? m_db.messageRowidByGuid(guid) : 0;
}

void ExportMessagesDb::noteChatDate(qint64 chatRowid, qint32 date)
{
    const auto known = m_chatDates.find(chatRowid);
    if (known == m_chatDates.end())
        m_chatDates.insert(chatRowid, date);
    else if (known.value() < date)
        known.value() = date;
}

void ExportMessagesDb::writeChatDates()
{
    for (auto it = m_chatDates.cbegin(); it != m_chatDates.cend(); ++it)
        m_db.updateChatLast(it.key(), it.value());
    m_chatDates.clear();
}

void ExportMessagesDb::writeAttachment(qint64 messageRowid, const _MsgAttachment &attachment,
                                       const QSet<QString> &namesHeld)
{
    qint64 rowid = m_db.attachmentRowidByGuid(attachment);
    // Another source names the same file of the same message by another guid.
    if (rowid == 0 && !attachment.filename.isEmpty() && namesHeld.contains(attachmentHashName(attachment.filename)))
        return;
    if (!attachment.localPath.isEmpty() && QFileInfo(attachment.localPath).isFile())
        copyAttachmentFile(attachment);
    if (rowid == 0)
        rowid = m_db.insertAttachment(attachment);
    m_db.joinMessageAttachment(messageRowid, rowid);
}

void ExportMessagesDb::copyAttachmentFile(const _MsgAttachment &attachment)
{
    if (attachment.filename.isEmpty())
        return;
    // Empty when the stored name would lead outside the attachments folder:
    // the row is kept, the file is not copied (localPath() logs it).
    const QString target = m_db.localPath(attachment.filename);
    if (target.isEmpty() || QFileInfo::exists(target))
        return;
    m_copier.copy(attachment.localPath, target);
}
