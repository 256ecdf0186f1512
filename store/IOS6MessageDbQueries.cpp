// Loading chats, handles, messages and attachments into records, with
// numbers normalised and contact names applied.
#include "store/IOS6MessageDb.h"

#include <QDebug>
#include <QDir>

#include <algorithm>
#include <limits>
#include <stdexcept>

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
    loadChatMessages(set, chatRowids, MessageColumns::All);
}

void IOS6MessageDb::shownChatMessages(MsgDataSet &set, const QList<qint64> &chatRowids)
{
    loadChatMessages(set, chatRowids, MessageColumns::Shown);
}

void IOS6MessageDb::loadChatMessages(MsgDataSet &set, const QList<qint64> &chatRowids, MessageColumns columns)
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
    readOncePerPage([&] {
        loadMessageRows(set, QStringLiteral("j.chat_id in (%1)").arg(list), columns);
        loadAttachmentRows(set, QStringLiteral("cm.chat_id in (%1)").arg(list));
    });
    for (const qint64 rowid : chatRowids)
        set.markMessagesOfChatLoaded(rowid);
}

void IOS6MessageDb::completeMessages(MsgDataSet &set, const MsgMessageList &messages)
{
    QHash<qint64, _MsgMessage *> partial;
    for (_MsgMessage *message : messages) {
        if (message && message->partial)
            partial.insert(message->rowid, message);
    }
    if (partial.isEmpty())
        return;
    ensureOpen();
    // Bounded id lists keep each statement well under SQLite's length limit.
    constexpr qsizetype kRowidsPerQuery = 5000;
    const QList<qint64> rowids = partial.keys();
    ColumnBinding<_MsgMessage> columns = messageColumns();
    for (qsizetype first = 0; first < rowids.size(); first += kRowidsPerQuery) {
        QStringList numbers;
        for (const qint64 rowid : rowids.mid(first, kRowidsPerQuery))
            numbers.append(QString::number(rowid));
        Sqlite3Cursor cursor = queryThrow(
            QStringLiteral("select * from message where ROWID in (%1)").arg(numbers.join(QLatin1Char(','))));
        columns.resolve(cursor);
        const int rowidColumn = columnPosition(cursor.columnNames(), QStringLiteral("ROWID"));
        while (cursor.moveNext()) {
            _MsgMessage *message = partial.take(cursor.getInt64(rowidColumn));
            if (!message)
                continue;
            columns.read(cursor, *message);
            resolveHandles(set, *message);
            message->partial = false;
        }
    }
    if (!partial.isEmpty()) {
        throw std::runtime_error(QStringLiteral("Messages shown in the window (%1) are no longer in the "
                                                "database %2; open the conversation again.")
                                     .arg(partial.size())
                                     .arg(QDir::toNativeSeparators(m_folder))
                                     .toStdString());
    }
}

bool IOS6MessageDb::messagesAfter(MsgDataSet &set, ReadPosition &position, int limit, MsgMessageList &read)
{
    ensureOpen();
    read.clear();
    const std::optional<ReadPosition> last = lastOfChunk(position, limit);
    if (!last)
        return false;
    // The rows are read by the range the chunk spans, through the date
    // index and the row in one step, rather than by a list of its row ids.
    loadMessageRows(set, chunkRange(position, *last, QStringLiteral("m.")), MessageColumns::All, &read);
    loadAttachmentRows(set, QStringLiteral("ma.message_id in (select ROWID from message where %1)")
                                .arg(chunkRange(position, *last, QString())));
    std::sort(read.begin(), read.end(), [](const _MsgMessage *a, const _MsgMessage *b) {
        return std::pair(a->date, a->rowid) < std::pair(b->date, b->rowid);
    });
    read.erase(std::unique(read.begin(), read.end()), read.end());  // a message of two chats came twice
    position = *last;
    return true;
}

std::optional<IOS6MessageDb::ReadPosition> IOS6MessageDb::lastOfChunk(ReadPosition &position, int limit)
{
    // Each query walks the date index from the position to the chunk's last
    // entry and stops there: nothing is sorted.
    if (!position.pastUndated) {
        const std::optional<ReadPosition> undated = firstPosition(
            QStringLiteral("date is null and ROWID > %1 order by ROWID").arg(position.rowid), limit - 1);
        if (undated)
            return undated;
        if (const std::optional<ReadPosition> rest = firstPosition(
                QStringLiteral("date is null and ROWID > %1 order by ROWID desc").arg(position.rowid), 0))
            return rest;
        position = ReadPosition{true, std::numeric_limits<qint64>::min(), 0};
    }
    // The row value lets the date index seek to the position, so a chunk
    // late in a large database costs what an early one does.
    const QString after = QStringLiteral("date >= %1 and (date, ROWID) > (%1, %2)").arg(position.date).arg(position.rowid);
    if (const std::optional<ReadPosition> full = firstPosition(after + QStringLiteral(" order by date, ROWID"), limit - 1)) {
        // Messages of one date stay in one chunk: the parts of a multimedia
        // message, or copies of one message, are judged together.
        return firstPosition(QStringLiteral("date = %1 order by ROWID desc").arg(full->date), 0).value_or(*full);
    }
    return firstPosition(after + QStringLiteral(" order by date desc, ROWID desc"), 0);  // fewer than `limit` left
}

std::optional<IOS6MessageDb::ReadPosition> IOS6MessageDb::firstPosition(const QString &conditionAndOrder, int skip)
{
    Sqlite3Cursor cursor = queryThrow(QStringLiteral("select date is not null, ifnull(date, 0), ROWID from message "
                                                     "where %1 limit 1 offset %2")
                                          .arg(conditionAndOrder)
                                          .arg(skip));
    if (!cursor.moveNext())
        return std::nullopt;
    return ReadPosition{cursor.getInt(0) != 0, cursor.getInt64(1), cursor.getInt64(2)};
}

QString IOS6MessageDb::chunkRange(const ReadPosition &after, const ReadPosition &last, const QString &prefix)
{
    if (!last.pastUndated) {
        return QStringLiteral("%1date is null and %1ROWID > %2 and %1ROWID <= %3")
            .arg(prefix)
            .arg(after.rowid)
            .arg(last.rowid);
    }
    return QStringLiteral("%1date between %2 and %3 and (%1date, %1ROWID) > (%2, %4) and (%1date, %1ROWID) <= (%3, %5)")
        .arg(prefix)
        .arg(after.date)
        .arg(last.date)
        .arg(after.rowid)
        .arg(last.rowid);
}

qint64 IOS6MessageDb::shownMessageCount(const MessageDateRange &period)
{
    ensureOpen();
    // Each message once, without the temporary index a count of distinct
    // joined ids builds: as long as a tenth of reading every message.
    QString sql = QStringLiteral("select count(*) from message as m where exists (select 1 from chat_message_join "
                                 "as j where j.message_id = m.ROWID)")
        + shownMessagesCondition();
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
    return QStringLiteral("chat_message_join as j inner join message as m on j.message_id = m.rowid")
        + shownMessagesCondition();
}

QString IOS6MessageDb::shownMessagesCondition()
{
    // Location sharing is never shown.
    return hasItemTypeColumn() ? QStringLiteral(" and m.item_type <> 4") : QString();
}

QString IOS6MessageDb::chatCondition(const QString &joinAlias, qint64 chatRowid)
{
    return QStringLiteral("%1.chat_id=%2").arg(joinAlias).arg(chatRowid);
}

QString IOS6MessageDb::messageSelectList(MessageColumns columns)
{
    if (columns == MessageColumns::All)
        return QStringLiteral("m.*");
    if (m_shownMessageSelect.isEmpty()) {
        // A file opened read-only may lack columns of later versions.
        const QSet<QString> present = columnNames(QStringLiteral("message"));
        QStringList select{QStringLiteral("m.ROWID")};
        for (const QString &column : shownMessageColumns().columns()) {
            if (present.contains(column.toLower()))
                select.append(QStringLiteral("m.") + column);
        }
        m_shownMessageSelect = select.join(QStringLiteral(", "));
    }
    return m_shownMessageSelect;
}

void IOS6MessageDb::loadMessageRows(MsgDataSet &set, const QString &condition, MessageColumns columns,
                                    MsgMessageList *loaded)
{
    QString sql = QStringLiteral("select j.chat_id, %1 from ").arg(messageSelectList(columns)) + shownMessagesJoin();
    if (!condition.isEmpty())
        sql += QStringLiteral(" and ") + condition;

    ColumnBinding<_MsgMessage> binding = columns == MessageColumns::All ? messageColumns() : shownMessageColumns();
    const bool partial = columns != MessageColumns::All;
    Sqlite3Cursor cursor = queryThrow(sql);
    binding.resolve(cursor);
    const int rowidColumn = columnPosition(cursor.columnNames(), QStringLiteral("ROWID"));
    const int chatColumn = columnPosition(cursor.columnNames(), QStringLiteral("chat_id"));
    while (cursor.moveNext()) {
        const qint64 rowid = cursor.getInt64(rowidColumn);
        _MsgMessage *message = set.ensureMessage(rowid);
        message->rowid = rowid;
        message->sortKey = rowid;
        binding.read(cursor, *message);
        message->partial = partial;
        resolveHandles(set, *message);
        if (_MsgChat *chat = set.chat(cursor.getInt64(chatColumn)))
            set.linkToChat(chat, message);
        if (loaded)
            loaded->append(message);
    }
}

void IOS6MessageDb::resolveHandles(const MsgDataSet &set, _MsgMessage &message)
{
    message.handle = set.handle(message.handle_id);
    if (message.handle && message.country.isEmpty())
        message.country = message.handle->country;
    message.otherHandle = message.other_handle > 0 ? set.handle(message.other_handle) : nullptr;
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
