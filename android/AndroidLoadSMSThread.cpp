#include "android/AndroidLoadSMSThread.h"

#include "android/AndroidDevice.h"
#include "android/Base64Decode.h"
#include "android/BookkeepingRows.h"
#include "android/DownloadRecord.h"
#include "android/RecordFingerprint.h"
#include "android/SimpleProtocol.h"
#include "android/TemporaryPartFile.h"
#include "country/CountryLibDb.h"
#include "work/WorkerNotify.h"
#include "store/DatabaseLock.h"
#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageIds.h"
#include "store/MessageText.h"

#include <QDebug>
#include <QTcpSocket>

#include <algorithm>
#include <exception>

namespace {

// The agent may send faster than the cache is written; what waits here is
// bounded, the rest stays in the system's socket buffers. Longer lines still
// work: they are taken out piece by piece.
const qint64 ReadBufferBytes = 1 << 20;
// Normalised numbers remembered at most (then forgotten all at once).
const qsizetype NormalisedCacheSize = 20000;
// Vacuum when more than 1 / VacuumFreeShare of the file's pages are free.
const qint64 VacuumFreeShare = 10;

const QLatin1String CountWord("$count:");
const QLatin1String BatchWord("$batch:");
const QLatin1String ByeWord("$bye:");
const QLatin1String SmsWord("$sms:");
const QLatin1String EndWord("$end:");
const QLatin1String AttaWord("$atta:");

} // namespace

AndroidLoadSMSThread::AndroidLoadSMSThread(const AndroidDevice *device, ProgressReporter *form, QObject *parent)
    : QThread(parent)
    , m_device(device)
    , m_form(form)
    , m_cacheFolder(device->cacheFolder())
    , m_writer(std::make_unique<ExportMessagesDb>(m_cacheFolder, device->mmc))
    , m_countries(std::make_unique<CountryLibDb>(device->mmc))
{
}

AndroidLoadSMSThread::~AndroidLoadSMSThread() = default;

void AndroidLoadSMSThread::run()
{
    notifyProgress(m_form, tr("IDS_ANDROID_LOADING_SMS"), 0, QString());
    try {
        downloadInCallingThread();
        notifySuccess(m_form, QString());
    } catch (const OperationCancelled &) {
        // the dialog has closed already: nothing to report
    } catch (const std::exception &error) {
        notifyException(m_form, error);
    }
}

void AndroidLoadSMSThread::downloadInCallingThread()
{
    m_total = -1;
    m_received = 0;
    try {
        download();
    } catch (...) {
        abandon();  // a cancel as much as an error
        throw;
    }
}

void AndroidLoadSMSThread::download()
{
    // The whole download, its vacuum included, is this process's alone.
    const DatabaseLock lock(m_cacheFolder);
    IOS6MessageDb &db = m_writer->database();
    db.ensureOpen();
    m_writer->begin();
    prepareBookkeeping(db);

    m_socket = connectAgent(*m_device, simpleprotocol::downloadUrl, agentTimings().connectTimeoutMs);
    m_socket->setReadBufferSize(ReadBufferBytes);
    receiveExchange();
    sendBare(ByeWord);
    m_socket.reset();

    storeNewChildren(db);
    m_seenRecords.store(db);
    pruneRecordsNotSeen(db);
    m_writer->end();  // commits and closes
    vacuumWhenWorthIt(db);
}

void AndroidLoadSMSThread::vacuumWhenWorthIt(IOS6MessageDb &db)
{
    // Vacuum gives back the space of what was removed; when little is free it
    // would only rewrite the whole file for nothing.
    db.ensureOpen();
    Sqlite3Cursor pages = db.queryThrow(QStringLiteral(
        "select (select freelist_count from pragma_freelist_count), (select page_count from pragma_page_count)"));
    if (pages.moveNext() && pages.getInt64(0) * VacuumFreeShare > pages.getInt64(1)) {
        pages = Sqlite3Cursor();
        db.executeThrow(QStringLiteral("vacuum"));
    }
    pages = Sqlite3Cursor();
    db.close();
}

void AndroidLoadSMSThread::prepareBookkeeping(IOS6MessageDb &db)
{
    // Created inside the download's transaction, so a failed first download
    // leaves an older cache file exactly as it was.
    if (!db.queryThrow(QStringLiteral("select * from sqlite_master where name='parent_hash' and type='table'"))
             .moveNext()) {
        db.executeThrow(QStringLiteral("CREATE TABLE parent_hash(child TEXT, parent TEXT)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_child on parent_hash(child)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_parent_hash_parent on parent_hash(parent)"));
    }
    if (!db.queryThrow(QStringLiteral("select * from sqlite_master where name='valid_hash' and type='table'"))
             .moveNext()) {
        db.executeThrow(QStringLiteral("CREATE TABLE valid_hash(hash TEXT)"));
        db.executeThrow(QStringLiteral("CREATE INDEX idx_valid_hash on valid_hash(hash)"));
    }
    // Asking the table once per record would cost an index search each time;
    // the set answers the same question from memory. The rows of this run are
    // written at its end (nothing reads them before), in index order.
    m_knownRecords.reset();
    m_newChildren.clear();
    m_seenRecords.load(db);
}

QSet<HashKey> &AndroidLoadSMSThread::knownRecords()
{
    if (!m_knownRecords) {
        m_knownRecords.emplace();
        Sqlite3Cursor parents =
            m_writer->database().queryThrow(QStringLiteral("select distinct parent from parent_hash"));
        while (parents.moveNext())
            m_knownRecords->insert(HashKey::fromHex(parents.getText(0)));
    }
    return *m_knownRecords;
}

QString AndroidLoadSMSThread::normalisedNumber(const QString &number)
{
    // A phone has a few thousand correspondents at most; their numbers come
    // again and again.
    const auto known = m_normalised.constFind(number);
    if (known != m_normalised.constEnd())
        return *known;
    if (m_normalised.size() >= NormalisedCacheSize)
        m_normalised.clear();
    const QString normalised = m_countries->normalise(number);
    m_normalised.insert(number, normalised);
    return normalised;
}

void AndroidLoadSMSThread::receiveExchange()
{
    for (;;) {
        const QString command = nextCommand();
        if (command.startsWith(CountWord)) {
            m_total = command.mid(CountWord.size()).toInt();
            if (m_total == 0)
                m_total = -1;
        } else if (command.startsWith(BatchWord)) {
            receiveBatch();
        } else if (command.startsWith(ByeWord)) {
            return;
        }
    }
}

void AndroidLoadSMSThread::receiveBatch()
{
    DeferredRecords deferred;
    for (;;) {
        throwIfCancelled(m_form);
        const QString command = nextCommand();
        if (command.startsWith(SmsWord)) {
            ++m_received;
            reportRecordProgress();
            receiveRecord(command.mid(SmsWord.size()), deferred);
        } else if (command.startsWith(EndWord)) {
            break;
        }
    }
    sendBare(BatchWord);
    storeDeferred(deferred);
}

void AndroidLoadSMSThread::reportRecordProgress()
{
    if (!m_pacer.due(m_received == m_total))
        return;
    notifyProgress(m_form, QString(), progressPercent(m_received, m_total),
                   QStringLiteral("sms: %1/%2").arg(m_received).arg(m_total));
}

void AndroidLoadSMSThread::receiveRecord(const QString &argument, DeferredRecords &deferred)
{
    // Records without attachments need no answer. They are read and stored
    // once a record with attachments has been answered (the agent sends its
    // data meanwhile) or once the batch is acknowledged (the agent reads its
    // next batch meanwhile), always in the order they came.
    const int attachments = DownloadRecord::attachmentsAnnounced(argument);
    if (attachments < 0)
        return;  // fewer than six fields: ignored without an answer
    const HashKey fingerprint =
        recordFingerprint(normalisedNumber(DownloadRecord::numberOf(argument)), argument);
    if (m_seenRecords.recognise(fingerprint)) {
        // The same bytes as last time: known, nothing to read or store.
        if (attachments > 0) {
            sendBare(QStringLiteral("0"));
            storeDeferred(deferred);
        }
        return;
    }
    if (attachments == 0) {
        deferred.push_back({argument, fingerprint, HashKey(), nullptr});
        return;
    }
    const std::unique_ptr<RecordMessages> record = readRecord(argument);
    const HashKey key = HashKey::fromHex(record->recordHash());
    m_seenRecords.add(fingerprint, key);
    // Known from before, or made known by a record to be stored before it.
    bool known = knownRecords().contains(key);
    if (!known) {
        readDeferred(deferred);
        known = std::any_of(deferred.begin(), deferred.end(),
                            [&key](const DeferredRecord &earlier) { return earlier.key == key; });
    }
    sendBare(known ? QStringLiteral("0") : QStringLiteral("1"));
    storeDeferred(deferred);
    if (!known)
        storeRecordWithParts(*record, key, attachments);
}

std::unique_ptr<RecordMessages> AndroidLoadSMSThread::readRecord(const QString &argument)
{
    DownloadRecord fields;
    DownloadRecord::parse(argument, fields);
    return RecordMessages::downloaded(fields, [this](const QString &number) { return normalisedNumber(number); });
}

void AndroidLoadSMSThread::readDeferred(DeferredRecords &deferred)
{
    for (DeferredRecord &record : deferred) {
        if (record.messages)
            continue;
        record.messages = readRecord(record.argument);
        record.key = HashKey::fromHex(record.messages->recordHash());
        m_seenRecords.add(record.fingerprint, record.key);
    }
}

void AndroidLoadSMSThread::storeDeferred(DeferredRecords &deferred)
{
    readDeferred(deferred);
    for (const DeferredRecord &record : deferred) {
        throwIfCancelled(m_form);
        if (!knownRecords().contains(record.key))
            writeChild(record.messages->message(), record.key);
    }
    deferred.clear();
}

void AndroidLoadSMSThread::storeRecordWithParts(const RecordMessages &record, const HashKey &key, int count)
{
    bool stored = false;
    if (record.hasOwnText()) {
        writeChild(record.textPart(), key);
        stored = true;
    }
    stored = receiveAttachments(record, key, count) || stored;
    // A record whose parts were all discarded is still known next time, so
    // its attachments do not travel again; the empty child matches no message.
    if (!stored)
        rememberChild(QString(), key);
}

bool AndroidLoadSMSThread::receiveAttachments(const RecordMessages &record, const HashKey &key, int count)
{
    QSet<QString> usedNames;
    bool stored = false;
    for (int i = 0; i < count; ++i)
        stored = receiveAttachment(record, key, usedNames) || stored;
    return stored;
}

bool AndroidLoadSMSThread::receiveAttachment(const RecordMessages &record, const HashKey &key,
                                             QSet<QString> &usedNames)
{
    waitForLineUnlessCancelled(*m_socket, m_form);
    const QString headerLine = simpleprotocol::expectCommand(*m_socket, AttaWord, -1);
    AttachmentHeader header;
    if (!AttachmentHeader::parse(headerLine.mid(AttaWord.size()), header))
        throw simpleprotocol::LocalException(*m_socket, QStringLiteral("$atta: command invalid param."));
    const QString name = header.storedName(usedNames);

    if (header.use() == AttachmentHeader::Use::Discarded) {
        // Its data is read, no file is needed.
        receivePartData(nullptr, name);
        return false;
    }
    TemporaryPartFile part(*m_socket);
    const qint64 bytes = receivePartData(&part, name);
    if (header.use() == AttachmentHeader::Use::Text) {
        const QString text = part.text().trimmed();
        if (text.isEmpty())
            return false;
        writeChild(record.plainTextPart(text), key);
        return true;
    }
    _MsgAttachment attachment = record.mediaAttachment(header.mime, name, part.path(), bytes);
    writeChild(record.mediaPart(attachment), key);
    return true;
}

qint64 AndroidLoadSMSThread::receivePartData(TemporaryPartFile *part, const QString &name)
{
    qint64 bytes = 0;
    for (;;) {
        throwIfCancelled(m_form);
        const QString line = nextCommand();
        if (line.startsWith(QLatin1Char('.'))) {
            sendBare(QStringLiteral("."));
            break;
        }
        const QByteArray chunk = decodeBase64(line);
        if (part)
            part->append(chunk);
        bytes += chunk.size();
        if (m_pacer.due())
            notifyProgress(m_form, QString(), -1, tr("Receiving %1(%L2 KB)").arg(name).arg(bytes / 1024));
    }
    throwIfCancelled(m_form);
    if (part)
        part->finish();
    return bytes;
}

void AndroidLoadSMSThread::writeChild(const _MsgMessage &message, const HashKey &recordKey)
{
    m_writer->write(message);
    rememberChild(logicHash(message), recordKey);
}

void AndroidLoadSMSThread::rememberChild(const QString &child, const HashKey &recordKey)
{
    m_newChildren.append({recordKey, child.isEmpty() ? std::optional<HashKey>() : HashKey::fromHex(child)});
    knownRecords().insert(recordKey);
}

void AndroidLoadSMSThread::storeNewChildren(IOS6MessageDb &db)
{
    // Sorted by record, so the parent index grows at its end.
    std::sort(m_newChildren.begin(), m_newChildren.end(),
              [](const NewChild &a, const NewChild &b) { return a.record < b.record; });
    insertInBlocks(db, QStringLiteral("replace into parent_hash(child,parent) values"), 2, m_newChildren.size(),
                   [this](qsizetype i, Sqlite3Sql &sql) {
                       const NewChild &row = m_newChildren.at(i);
                       sql.addTextParam(row.child ? row.child->toHex() : QStringLiteral(""));
                       sql.addTextParam(row.record.toHex());
                   });
    m_newChildren.clear();
}

bool AndroidLoadSMSThread::anyRecordNotSeen(IOS6MessageDb &db)
{
    return db
        .queryThrow(QStringLiteral("select 1 from parent_hash where parent not in (select hash from valid_hash) limit 1"))
        .moveNext();
}

void AndroidLoadSMSThread::pruneRecordsNotSeen(IOS6MessageDb &db)
{
    // A phone that lost nothing costs at most one probe instead of the
    // search below.
    if (!m_seenRecords.dropsAny() && !anyRecordNotSeen(db))
        return;
    // A child that a record still on the phone also owns stays.
    QStringList children;
    Sqlite3Cursor stale = db.queryThrow(QStringLiteral(
        "select child from parent_hash where parent not in (select hash from valid_hash)"
        " and child not in (select child from parent_hash where parent in (select hash from valid_hash))"));
    while (stale.moveNext())
        children.append(stale.getText(0));

    for (const QString &child : std::as_const(children)) {
        Sqlite3Cursor found = db.queryThrow(
            Sqlite3Sql(QStringLiteral("select rowid from message where logic_hash=?")).addTextParam(child));
        if (!found.moveNext())
            continue;
        const qint64 rowid = found.getInt64(0);
        qDebug("AndroidLoadSMSThread, remove old message %lld", rowid);
        db.executeThrow(QStringLiteral("DELETE FROM message WHERE rowid=%1").arg(rowid));
        db.executeThrow(QStringLiteral("DELETE FROM chat_message_join where message_id=%1").arg(rowid));
        db.executeThrow(QStringLiteral("DELETE FROM message_attachment_join where message_id=%1").arg(rowid));
    }
    db.executeThrow(QStringLiteral("delete from parent_hash where parent not in (select hash from valid_hash)"));
    db.executeThrow(QStringLiteral(
        "DELETE FROM chat WHERE (SELECT 1 from chat_message_join WHERE chat_id=chat.rowid LIMIT 1) IS NULL"));
}

void AndroidLoadSMSThread::abandon()
{
    m_writer->abort();  // rollback, copied attachment files removed, closed
    m_socket.reset();
}

QString AndroidLoadSMSThread::nextCommand()
{
    // A closed or failed connection is reported by the read below.
    waitForLineUnlessCancelled(*m_socket, m_form);
    return simpleprotocol::readCommand(*m_socket, -1);
}

void AndroidLoadSMSThread::sendBare(const QString &line)
{
    simpleprotocol::sendCommand(*m_socket, line, QString(), false, -1);
    waitUntilSentUnlessCancelled(*m_socket, m_form);
}
