// Loading chats, handles, messages and attachments into records, with
// numbers normalised and contact names applied.
#include "store/IOS6MessageDb.h"

#include <QDebug>

#include <limits>

#include "country/CountryLibDb.h"
#include "store/IOSContactsMemDb.h"
#include "store/MsgDataSet.h"
#include "store/RecordColumns.h"

// ---------------------------------------------------------------- loading

void IOS6MessageDb::chats(MsgDataSet &set)
{
    ensureOpen();
    loadChatRows(set);
    if (!hasLastColumn())
        computeChatLast(set);
    loadChatHandles(set);
}

void IOS6MessageDb::loadChatRows(MsgDataSet &set)
{
    ColumnBinding<_MsgChat> columns = chatColumns();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select * from chat"));
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        _MsgChat *chat = set.ensureChat(cursor.getInt64(QStringLiteral("rowid")));
        columns.read(cursor, *chat);
    }
}

void IOS6MessageDb::computeChatLast(MsgDataSet &set)
{
    Sqlite3Cursor cursor = queryThrow(QStringLiteral(
        "select chat_id, max(date) as last from ( select cm.chat_id, m.date from chat_message_join as cm "
        "inner join message as m on cm.message_id=m.rowid ) as tmp group by chat_id"));
    while (cursor.moveNext()) {
        if (_MsgChat *chat = set.chat(cursor.getInt64(QStringLiteral("chat_id"))))
            chat->_last = cursor.getInt(QStringLiteral("last"));
    }
}

void IOS6MessageDb::loadChatHandles(MsgDataSet &set)
{
    const bool contactsOpen = openContacts();
    ColumnBinding<_MsgHandle> columns = handleColumns();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral(
        "select j.chat_id, h.* from chat_handle_join as j inner join handle as h on j.handle_id = h.rowid"));
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        _MsgChat *chat = set.chat(cursor.getInt64(QStringLiteral("chat_id")));
        if (!chat)
            continue;
        const qint64 rowid = cursor.getInt64(QStringLiteral("rowid"));
        _MsgHandle *handle = set.ensureHandle(rowid);
        columns.read(cursor, *handle);
        chat->handles.insert(QString::number(rowid), handle);
        normaliseHandleNumber(*handle);
        applyContactName(*handle, contactsOpen);
    }
}

void IOS6MessageDb::messages(MsgDataSet &set, qint64 chatRowid)
{
    ensureOpen();
    chats(set);
    loadMessageRows(set, chatRowid > 0 ? chatCondition(QStringLiteral("j"), chatRowid) : QString());
    loadAttachmentRows(set, chatRowid > 0 ? chatCondition(QStringLiteral("cm"), chatRowid) : QString());
    if (chatRowid > 0)
        set.markMessagesOfChatLoaded(chatRowid);
    else
        set.markAllMessagesLoaded();
}

void IOS6MessageDb::chatMessages(MsgDataSet &set, qint64 chatRowid)
{
    chatMessages(set, QList<qint64>{chatRowid});
}

void IOS6MessageDb::chatMessages(MsgDataSet &set, const QList<qint64> &chatRowids)
{
    QStringList missing;
    for (const qint64 rowid : chatRowids) {
        if (!set.hasMessagesOfChat(rowid))
            missing.append(QString::number(rowid));
    }
    if (missing.isEmpty())
        return;
    ensureOpen();
    // One query for many small chats: a query costs more than a few rows.
    const QString list = missing.join(QLatin1Char(','));
    loadMessageRows(set, QStringLiteral("j.chat_id in (%1)").arg(list));
    loadAttachmentRows(set, QStringLiteral("cm.chat_id in (%1)").arg(list));
    for (const qint64 rowid : chatRowids)
        set.markMessagesOfChatLoaded(rowid);
}

bool IOS6MessageDb::messagesAfter(MsgDataSet &set, ReadPosition &position, int limit, MsgMessageList &read)
{
    ensureOpen();
    read.clear();
    const QList<qint64> rowids = nextMessageRowids(position, limit);
    if (rowids.isEmpty())
        return false;
    QStringList numbers;
    numbers.reserve(rowids.size());
    for (const qint64 rowid : rowids)
        numbers.append(QString::number(rowid));
    const QString list = numbers.join(QLatin1Char(','));
    loadMessageRows(set, QStringLiteral("j.message_id in (%1)").arg(list));
    loadAttachmentRows(set, QStringLiteral("ma.message_id in (%1)").arg(list));
    for (const qint64 rowid : rowids) {
        if (_MsgMessage *message = set.message(rowid))
            read.append(message);
    }
    return true;
}

QList<qint64> IOS6MessageDb::nextMessageRowids(ReadPosition &position, int limit)
{
    QList<qint64> rowids;
    if (!position.pastUndated) {
        Sqlite3Cursor undated = queryThrow(
            QStringLiteral("select ROWID from message where date is null and ROWID > %1 order by ROWID limit %2")
                .arg(position.rowid)
                .arg(limit));
        while (undated.moveNext())
            rowids.append(undated.getInt64(0));
        if (!rowids.isEmpty()) {
            position.rowid = rowids.constLast();
            return rowids;
        }
        position = ReadPosition{true, std::numeric_limits<qint64>::min(), 0};
    }
    // The row value lets the date index seek to the position, so a chunk
    // late in a large database costs what an early one does.
    Sqlite3Cursor dated = queryThrow(
        QStringLiteral("select date, ROWID from message where date >= %1 and (date, ROWID) > (%1, %2) "
                       "order by date, ROWID limit %3")
            .arg(position.date)
            .arg(position.rowid)
            .arg(limit));
    while (dated.moveNext()) {
        position.date = dated.getInt64(0);
        position.rowid = dated.getInt64(1);
        rowids.append(position.rowid);
    }
    return rowids;
}

qint64 IOS6MessageDb::shownMessageCount(const MessageDateRange &period)
{
    ensureOpen();
    QString sql = QStringLiteral("select count(distinct j.message_id) from ") + shownMessagesJoin();
    // A message without a date counts as dated 0, as its record does.
    if (const std::optional<qint64> since = period.since())
        sql += QStringLiteral(" and ifnull(m.date, 0) >= %1").arg(*since);
    if (const std::optional<qint64> until = period.until())
        sql += QStringLiteral(" and ifnull(m.date, 0) <= %1").arg(*until);
    Sqlite3Cursor cursor = queryThrow(sql);
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

std::pair<qint32, qint32> IOS6MessageDb::messageDateSpan()
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select min(date), max(date) from message"));
    if (!cursor.moveNext())
        return {0, 0};
    return {cursor.getInt(0), cursor.getInt(1)};
}

QHash<qint64, qint64> IOS6MessageDb::shownMessageCountsByChat()
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select j.chat_id, count(*) from ") + shownMessagesJoin()
                                      + QStringLiteral(" group by j.chat_id"));
    QHash<qint64, qint64> counts;
    while (cursor.moveNext())
        counts.insert(cursor.getInt64(0), cursor.getInt64(1));
    return counts;
}

QString IOS6MessageDb::shownMessagesJoin()
{
    QString join = QStringLiteral("chat_message_join as j inner join message as m on j.message_id = m.rowid");
    if (hasItemTypeColumn())
        join += QStringLiteral(" and m.item_type <> 4");  // location sharing is never shown
    return join;
}

QString IOS6MessageDb::chatCondition(const QString &joinAlias, qint64 chatRowid)
{
    return QStringLiteral("%1.chat_id=%2").arg(joinAlias).arg(chatRowid);
}

void IOS6MessageDb::loadMessageRows(MsgDataSet &set, const QString &condition)
{
    QString sql = QStringLiteral("select j.chat_id, m.* from ") + shownMessagesJoin();
    if (!condition.isEmpty())
        sql += QStringLiteral(" and ") + condition;

    ColumnBinding<_MsgMessage> columns = messageColumns();
    Sqlite3Cursor cursor = queryThrow(sql);
    columns.resolve(cursor);
    const int rowidColumn = columnPosition(cursor.columnNames(), QStringLiteral("ROWID"));
    const int chatColumn = columnPosition(cursor.columnNames(), QStringLiteral("chat_id"));
    while (cursor.moveNext()) {
        const qint64 rowid = cursor.getInt64(rowidColumn);
        _MsgMessage *message = set.ensureMessage(rowid);
        message->rowid = rowid;
        message->sortKey = rowid;
        columns.read(cursor, *message);

        message->handle = set.handle(message->handle_id);
        if (message->handle && message->country.isEmpty())
            message->country = message->handle->country;
        message->otherHandle = message->other_handle > 0 ? set.handle(message->other_handle) : nullptr;
        if (_MsgChat *chat = set.chat(cursor.getInt64(chatColumn)))
            set.linkToChat(chat, message);
    }
}

void IOS6MessageDb::loadAttachmentRows(MsgDataSet &set, const QString &condition)
{
    QString sql = QStringLiteral(
        "select ma.message_id, ma.attachment_id, cm.chat_id, a.* from message_attachment_join as ma "
        "inner join attachment as a on ma.attachment_id=a.rowid "
        "inner join chat_message_join as cm on ma.message_id=cm.message_id");
    if (!condition.isEmpty())
        sql += QStringLiteral(" and ") + condition;

    ColumnBinding<_MsgAttachment> columns = attachmentColumns();
    Sqlite3Cursor cursor = queryThrow(sql);
    columns.resolve(cursor);
    while (cursor.moveNext()) {
        const qint64 rowid = cursor.getInt64(QStringLiteral("attachment_id"));
        _MsgAttachment *attachment = set.ensureAttachment(rowid);
        columns.read(cursor, *attachment);
        if (!attachment->filename.isEmpty())
            attachment->localPath = localPath(attachment->filename);
        if (_MsgMessage *message = set.message(cursor.getInt64(QStringLiteral("message_id"))))
            message->attachments.insert(QString::number(rowid), attachment);
    }
}

// ---------------------------------------------------------------- numbers and contact names

bool IOS6MessageDb::openContacts()
{
    try {
        m_contacts->ensureOpen();
    } catch (const std::exception &e) {
        // Names are a nicety: without the contacts cache they stay as stored.
        qDebug().noquote() << QStringLiteral("IOS6MessageDb::chats, no contacts. %1")
                                  .arg(QString::fromUtf8(e.what()));
    }
    return m_contacts->isOpen();
}

void IOS6MessageDb::normaliseHandleNumber(_MsgHandle &handle)
{
    if (handle.country.isEmpty()) {
        const Country current = m_countries->current();
        handle.country = current.sn().toLower();
        handle.id = current.normalise(handle.id);
        return;
    }
    // An unknown code gives the current country, which is the best guess left.
    // Looked up once per code: a database holds many handles of few countries.
    auto known = m_countriesBySn.constFind(handle.country);
    if (known == m_countriesBySn.cend())
        known = m_countriesBySn.insert(handle.country, m_countries->countryBySn(handle.country));
    handle.id = known->normalise(handle.id);
}

void IOS6MessageDb::applyContactName(_MsgHandle &handle, bool contactsOpen)
{
    if (!contactsOpen)
        return;
    try {
        handle._ct_name = m_contacts->contactByNumber(handle.id).displayName();
    } catch (const std::exception &e) {
        qWarning().noquote() << QStringLiteral("IOS6MessageDb::chats, IOSContactsMemDb error. %1")
                                    .arg(QString::fromUtf8(e.what()));
    }
}
