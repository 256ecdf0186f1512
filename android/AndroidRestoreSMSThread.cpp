#include "android/AndroidRestoreSMSThread.h"

#include "android/AndroidLoadSMSThread.h"
#include "android/SimpleProtocol.h"
#include "android/UploadPicture.h"
#include "android/UploadedRecord.h"
#include "app/RichText.h"
#include "country/CountryLibDb.h"
#include "store/AppleTime.h"
#include "store/DatabaseLock.h"
#include "store/ExportMessagesDb.h"
#include "store/MessageChunkReader.h"
#include "store/MessageIds.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgHandle.h"
#include "store/Sqlite3Cursor.h"
#include "store/Sqlite3Sql.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <algorithm>
#include <exception>

namespace {

const qint64 AppleEpochSeconds = 978307200;
// Unflushed data lines are pushed out past this much, so a large file does
// not wait in memory until its end.
const qint64 PendingWriteLimit = 1 << 20;
// How long a cancelled transfer still waits for the phone to confirm the
// batch it has closed.
const int AcknowledgeGraceMs = 15000;
// How often the record of confirmed batches is committed during a run.
const qint64 CommitIntervalMs = 1000;
// Characters of a message's text that name it in a list.
const qsizetype DescribedTextLength = 60;

const QLatin1String DefaultAppWord("$defsmsapp:");
const QLatin1String BatchWord("$batch:");
const QLatin1String EndWord("$end:");
const QLatin1String SmsWord("$sms:");
const QLatin1String AttaWord("$atta:");
const QLatin1String ByeWord("$bye:");
const QLatin1String ErrorWord("$error:");
const QLatin1String EndOfData(".");

bool isMediaOnly(const _MsgMessage &message)
{
    return !message.attachments.isEmpty() && hashText(message).isEmpty();
}

bool sharesRecord(const _MsgMessage &a, const _MsgMessage &b)
{
    return isMediaOnly(a) && isMediaOnly(b) && a.date == b.date && a.is_from_me == b.is_from_me
        && a.subject == b.subject && a.handle && b.handle && a.handle->id == b.handle->id;
}

bool isTransferable(const _MsgMessage &message)
{
    return message.item_type == _MsgMessage::ItemOrdinary && message.handle != nullptr;
}

// Each chunk is looked up in the phone's cache, sent or checked: more work
// than its reading, which can go on meanwhile.
std::unique_ptr<MessageChunkReader> readingAhead(std::unique_ptr<MessageChunkReader> source)
{
    source->readAhead();
    return source;
}

// Header fields come from stored records; a line break in them would end the
// header early and let the rest pass for a command.
QString withoutLineBreaks(QString text)
{
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

AndroidRestoreSMSThread::AndroidRestoreSMSThread(const AndroidDevice &target, const MsgMessageList &messages,
                                                 ProgressReporter *form, QObject *parent)
    : QThread(parent)
    , m_target(target)
    , m_source(std::make_unique<MessageSequence>(messages, MessageSequence::Order::Date))
    , m_form(form)
    , m_writer(std::make_unique<ExportMessagesDb>(target.cacheFolder(), target.mmc))
    , m_countries(std::make_unique<CountryLibDb>(target.mmc))
{
}

AndroidRestoreSMSThread::AndroidRestoreSMSThread(const AndroidDevice &target,
                                                 std::unique_ptr<MessageChunkReader> source, ProgressReporter *form,
                                                 QObject *parent)
    : QThread(parent)
    , m_target(target)
    , m_source(std::make_unique<MessageSequence>(readingAhead(std::move(source)), MessageSequence::Order::Date))
    , m_form(form)
    , m_writer(std::make_unique<ExportMessagesDb>(target.cacheFolder(), target.mmc))
    , m_countries(std::make_unique<CountryLibDb>(target.mmc))
{
}

AndroidRestoreSMSThread::~AndroidRestoreSMSThread() = default;

QString AndroidRestoreSMSThread::uploadRecord(const _MsgMessage &message, int attachments)
{
    if (attachments < 0)
        attachments = int(message.attachments.size());
    const qint64 timeMs = (qint64(message.date) + AppleEpochSeconds) * 1000;
    const QString number = message.handle ? message.handle->id : QString();
    return QStringList{QString::number(timeMs),
                       message.is_from_me ? QStringLiteral("1") : QStringLiteral("0"),
                       simpleprotocol::encodeText(number),
                       simpleprotocol::encodeText(hashText(message)),
                       simpleprotocol::encodeText(message.subject),
                       QString::number(attachments)}
        .join(QLatin1Char(','));
}

QString AndroidRestoreSMSThread::attachmentHeader(const _MsgAttachment &attachment)
{
    // The agent splits the header at its first comma.
    return withoutLineBreaks(attachment.mime_type).remove(QLatin1Char(',')) + QLatin1Char(',')
        + withoutLineBreaks(QFileInfo(attachment.localPath).fileName());
}

QList<MsgMessageList> AndroidRestoreSMSThread::uploadRecords(const MsgMessageList &messages)
{
    QList<MsgMessageList> records;
    for (_MsgMessage *message : messages) {
        if (!records.isEmpty() && sharesRecord(*records.last().first(), *message))
            records.last().append(message);
        else
            records.append(MsgMessageList{message});
    }
    return records;
}

void AndroidRestoreSMSThread::run()
{
    m_kept = 0;
    m_skipped = 0;
    m_alreadySent = 0;
    m_delivered = 0;
    m_missingCount = 0;
    m_missing.clear();
    m_checkError.clear();
    m_checked = false;
    try {
        upload();
        checkPhone();
        m_resultText = successText();
        // With messages missing, the caller shows the result with their list.
        notifySuccess(m_form, m_missingCount == 0 && m_checked ? m_resultText : QString());
    } catch (const OperationCancelled &) {
        release();  // the dialog has closed already: nothing to report
        qInfo("AndroidRestoreSMSThread cancelled; %d messages reached the phone.", m_delivered);
    } catch (const std::exception &error) {
        release();
        notifyError(m_form, failureText(QString::fromUtf8(error.what())));
    }
}

void AndroidRestoreSMSThread::upload()
{
    // No other process records into the target's cache between the batches.
    const DatabaseLock lock(m_target.cacheFolder());
    // The cache is brought up to date first, so "already on the phone" is
    // what the phone holds, whatever came before: a killed transfer, a
    // cleared cache, a transfer from another computer.
    notifyProgress(m_form, tr("Reading what the phone holds..."), 0, QString());
    refreshCache();
    survey();
    notifyProgress(m_form, tr("IDS_RESTORING_SMS_TO_ANDROID"), 0, QString());
    m_socket = connectAgent(m_target, simpleprotocol::uploadUrl, agentTimings().connectTimeoutMs);
    // Short commands answered one by one: held back until the peer's
    // delayed acknowledgement, each batch would lose tens of milliseconds.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QString flag = expectReply(DefaultAppWord).mid(DefaultAppWord.size());
    if (flag.toInt() != 0)
        askForDefaultApp();
    m_source->forEachChunk([this](const MsgMessageList &chunk) { sendChunk(chunk); });
    sendLine(ByeWord, QString(), true);
    m_socket.reset();
    commitRecorded();
    closeCache();
    // Everything is on its way and recorded: a Cancel from here on would
    // take nothing back, it would only skip the check.
    notifyCommitted(m_form);
}

void AndroidRestoreSMSThread::refreshCache()
{
    AndroidLoadSMSThread download(&m_target, m_form);
    download.downloadInCallingThread();
}

void AndroidRestoreSMSThread::checkPhone()
{
    notifyProgress(m_form, tr("Checking that the messages are on the phone..."), 0, QString());
    try {
        refreshCache();
        forEachChunkReported([this](const MsgMessageList &chunk) { noteMissing(chunk); });
        closeCache();
    } catch (const std::exception &error) {
        // The messages went out and the phone confirmed them; only the
        // proof is missing, and the result says so.
        closeCache();
        m_missingCount = 0;
        m_missing.clear();
        m_checkError = QString::fromUtf8(error.what());
        qWarning("AndroidRestoreSMSThread: cannot check the phone: %s", error.what());
        return;
    }
    m_checked = true;
}

void AndroidRestoreSMSThread::noteMissing(const MsgMessageList &chunk)
{
    const MsgMessageList kept = transferable(chunk, false);
    QSet<QString> missing;
    for (const MsgMessageList &record : recordsOf(kept)) {
        if (!isOnPhone(record)) {
            for (const _MsgMessage *message : record)
                missing.insert(logicHash(*message));
        }
    }
    if (missing.isEmpty())
        return;
    // Copies of a missing message are missing too.
    for (const _MsgMessage *message : kept) {
        if (!missing.contains(logicHash(*message)))
            continue;
        ++m_missingCount;
        if (m_missing.size() < MissingListed)
            m_missing.append(missingMessage(*message));
    }
}

void AndroidRestoreSMSThread::survey()
{
    // Every message of the transfer counts in the progress; those already
    // on the phone are done. What the phone holds stays behind: a second
    // transfer of the same messages sends nothing. Whole records are judged,
    // as they travel: a part's form depends on its record.
    qsizetype pending = 0;
    m_sourceCount = m_source->count();
    forEachChunkReported([this, &pending](const MsgMessageList &chunk) {
        const MsgMessageList kept = transferable(chunk, true);
        m_kept += int(kept.size());
        for (const MsgMessageList &record : recordsOf(kept)) {
            if (isOnPhone(record))
                m_alreadySent += int(record.size());
            else
                pending += record.size();
        }
    });
    closeCache();
    m_progressTotal = m_kept;
    m_progressDone = m_kept - pending;
}

void AndroidRestoreSMSThread::forEachChunkReported(const MessageSequence::ChunkVisit &visit)
{
    // A pass over a large database takes a while before anything is sent.
    qint64 done = 0;
    m_source->forEachChunk([&](const MsgMessageList &chunk) {
        throwIfCancelled(m_form);
        visit(chunk);
        done += chunk.size();
        if (m_pacer.due(done == m_sourceCount))
            notifyProgress(m_form, QString(), progressPercent(done, m_sourceCount), QString());
    });
}

void AndroidRestoreSMSThread::sendChunk(const MsgMessageList &chunk)
{
    // Only the cache's records of earlier chunks have changed since the
    // survey, and they hold other dates: the same records are pending.
    QList<MsgMessageList> records;
    for (const MsgMessageList &record : recordsOf(transferable(chunk, false))) {
        if (!isOnPhone(record))
            records.append(record);
    }
    for (qsizetype first = 0; first < records.size(); first += BatchSize) {
        // This batch's pictures and the next one's: they are encoded while
        // the texts go out and while the phone stores the batch.
        MsgMessageList upcoming;
        for (const MsgMessageList &record : records.mid(first, 2 * BatchSize))
            upcoming.append(record);
        m_pictures.prepare(upcoming);
        sendBatch(records.mid(first, BatchSize));
    }
    // Its queue is keyed by this chunk's records, which go with the chunk.
    m_pictures.clear();
}

MsgMessageList AndroidRestoreSMSThread::transferable(const MsgMessageList &chunk, bool countSkipped)
{
    MsgMessageList kept;
    for (_MsgMessage *message : chunk) {
        if (isTransferable(*message))
            kept.append(message);
        else if (countSkipped)
            ++m_skipped;
    }
    return kept;
}

QList<MsgMessageList> AndroidRestoreSMSThread::recordsOf(const MsgMessageList &transferable)
{
    // Copies share their date, hence their chunk.
    QSet<QString> seen;
    MsgMessageList unique;
    for (_MsgMessage *message : transferable) {
        const QString hash = logicHash(*message);
        if (!seen.contains(hash)) {
            seen.insert(hash);
            unique.append(message);
        }
    }
    return uploadRecords(unique);
}

void AndroidRestoreSMSThread::forEachRecordedMessage(const MsgMessageList &record, const RecordedVisitor &visit)
{
    const UploadedRecord uploaded(record, phoneAddress(*record.first()));
    for (const _MsgMessage &message : uploaded.messages())
        visit(message, uploaded.recordHash());
    // A message the download keeps nothing of (documents only) is recorded
    // as it is, or it would travel again with every transfer, also when it
    // shares its record with a picture. Only that record witnesses it.
    for (_MsgMessage *message : record) {
        if (showsNothingInDownload(message))
            visit(*message, QString());
    }
}

bool AndroidRestoreSMSThread::showsNothingInDownload(_MsgMessage *message)
{
    // Only parts can be dropped; every other message is always kept.
    return !message->attachments.isEmpty()
        && UploadedRecord(MsgMessageList{message}, phoneAddress(*message)).messages().isEmpty();
}

bool AndroidRestoreSMSThread::isOnPhone(const MsgMessageList &record)
{
    bool all = true;
    forEachRecordedMessage(record, [&](const _MsgMessage &message, const QString &recordHash) {
        if (all)
            all = recordHash.isEmpty() ? isRecorded(logicHash(message)) : isDownloaded(logicHash(message));
    });
    return all;
}

bool AndroidRestoreSMSThread::isDownloaded(const QString &hash)
{
    // Right after a download, its bookkeeping names the messages it made of
    // the records the phone has now; rows this program recorded itself are
    // not proof that the phone kept them.
    IOS6MessageDb &db = m_writer->database();
    db.ensureOpen();
    return db.queryThrow(Sqlite3Sql(QStringLiteral("select 1 from parent_hash where child=? limit 1")).addTextParam(hash))
        .moveNext();
}

bool AndroidRestoreSMSThread::isRecorded(const QString &hash)
{
    IOS6MessageDb &db = m_writer->database();
    db.ensureOpen();
    return db.messageRowidByLogicHash(hash) > 0;
}

void AndroidRestoreSMSThread::closeCache()
{
    if (!m_recording)
        m_writer->database().close();
}

QString AndroidRestoreSMSThread::phoneAddress(const _MsgMessage &message)
{
    const QString number = message.handle ? message.handle->id : QString();
    const auto known = m_addresses.constFind(number);
    if (known != m_addresses.constEnd())
        return *known;
    const QString address = m_countries->normalise(number);
    m_addresses.insert(number, address);
    return address;
}

void AndroidRestoreSMSThread::askForDefaultApp()
{
    notifyAndWait(m_form,
                  QStringLiteral("Please click \"YES\" to temporarily set our Ferrywright app as your default SMS app "
                                 "when the message pops out on your Android's screen. Then click the \"OK\" button "
                                 "to start transferring messages to your Android.<br/><br/>Note: It will resume "
                                 "your default Messaging app settings after transferring messages to Android."));
    throwIfCancelled(m_form);
    sendLine(DefaultAppWord, QString(), true);
    m_defaultAppSwitched = true;
}

void AndroidRestoreSMSThread::sendBatch(const QList<MsgMessageList> &records)
{
    throwIfCancelled(m_form);
    sendLine(BatchWord, QString(), true);
    for (const MsgMessageList &record : records) {
        throwIfCancelled(m_form);
        m_progressDone += record.size();
        reportMessageProgress();
        sendRecord(record);
    }
    try {
        // A cancel during this flush still lets "$end:" out (the socket is
        // closed politely), so it is handled like one after it.
        sendLine(EndWord, QString(), true);
        expectReply(BatchWord);
    } catch (const OperationCancelled &) {
        // With "$end:" sent, the phone is storing the batch: give its answer
        // a moment, so what the cache records still matches the phone.
        if (acknowledgedDespiteCancel())
            recordDelivered(records);
        throw;
    }
    // Acknowledged: the phone has stored the batch.
    recordDelivered(records);
}

bool AndroidRestoreSMSThread::acknowledgedDespiteCancel()
{
    try {
        simpleprotocol::expectCommand(*m_socket, BatchWord, AcknowledgeGraceMs);
        return true;
    } catch (const std::exception &error) {
        qWarning("AndroidRestoreSMSThread: cancelled before the phone confirmed a batch: %s", error.what());
        return false;
    }
}

void AndroidRestoreSMSThread::reportMessageProgress()
{
    if (!m_pacer.due(m_progressDone == m_progressTotal))
        return;
    notifyProgress(m_form, QString(), progressPercent(m_progressDone, m_progressTotal),
                   tr("SMS: %1/%2").arg(m_progressDone).arg(m_progressTotal));
}

void AndroidRestoreSMSThread::sendRecord(const MsgMessageList &record)
{
    int attachments = 0;
    for (const _MsgMessage *message : record)
        attachments += int(message->attachments.size());
    sendLine(SmsWord, uploadRecord(*record.first(), attachments), false);
    if (attachments == 0)
        return;
    waitUntilSentUnlessCancelled(*m_socket, m_form);
    for (const _MsgMessage *message : record) {
        for (const _MsgAttachment *attachment : sortedAttachments(*message)) {
            throwIfCancelled(m_form);
            sendAttachment(*attachment);
        }
    }
}

void AndroidRestoreSMSThread::sendAttachment(const _MsgAttachment &attachment)
{
    sendLine(AttaWord, attachmentHeader(attachment), true);
    // A picture this program cannot decode still travels, as it is.
    if (!UploadPicture::isPicture(attachment.mime_type) || !sendPicture(attachment))
        streamFile(attachment);
    sendLine(EndOfData, QString(), true);
    expectReply(EndOfData);
}

bool AndroidRestoreSMSThread::sendPicture(const _MsgAttachment &attachment)
{
    const QByteArray picture = m_pictures.take(attachment, [this] { throwIfCancelled(m_form); });
    if (picture.isEmpty())
        return false;
    sendData(picture.toBase64(), false);
    return true;
}

void AndroidRestoreSMSThread::streamFile(const _MsgAttachment &attachment)
{
    QFile file(attachment.localPath);
    if (!QFileInfo(attachment.localPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        qWarning("AndroidRestoreSMSThread: cannot read %s, sent empty.", qUtf8Printable(attachment.localPath));
        return;
    }
    const QString name = QFileInfo(attachment.localPath).fileName();
    const qint64 size = file.size();
    m_chunk.resize(ChunkBytes);
    qint64 sent = 0;
    for (;;) {
        const qint64 read = file.read(m_chunk.data(), m_chunk.size());
        if (read < 0)
            throw std::runtime_error(QStringLiteral("read %1 error. %2").arg(name, file.errorString()).toStdString());
        if (read == 0)
            break;
        sendData(QByteArray::fromRawData(m_chunk.constData(), read).toBase64(), false);
        sent += read;
        if (m_pacer.due(sent == size)) {
            notifyProgress(m_form, QString(), -1,
                           tr("Sending %1, %L2/%L3 KB").arg(name).arg(sent / 1024).arg(size / 1024));
        }
        throwIfCancelled(m_form);
    }
}

void AndroidRestoreSMSThread::recordDelivered(const QList<MsgMessageList> &records)
{
    for (const MsgMessageList &record : records)
        m_delivered += int(record.size());
    if (!m_recording) {
        m_writer->begin();
        m_recording = true;
        m_commitClock.start();
    }
    for (const MsgMessageList &record : records) {
        forEachRecordedMessage(record, [this](const _MsgMessage &message, const QString &recordHash) {
            m_writer->write(message);
            if (!recordHash.isEmpty())
                fileUnderRecord(logicHash(message), recordHash);
        });
    }
    // A commit waits for the disk; once a second keeps that off the phone's
    // pace, and every way out of the run commits too.
    if (m_commitClock.elapsed() >= CommitIntervalMs)
        commitRecorded();
}

void AndroidRestoreSMSThread::fileUnderRecord(const QString &messageHash, const QString &recordHash)
{
    // The download's own bookkeeping: the phone's next download knows the
    // record (its pictures do not travel back), and drops the message again
    // when the phone turns out not to hold the record.
    m_writer->database().executeThrow(Sqlite3Sql(QStringLiteral("replace into parent_hash(child,parent) values(?,?)"))
                                          .addTextParam(messageHash)
                                          .addTextParam(recordHash));
}

void AndroidRestoreSMSThread::commitRecorded()
{
    if (!m_recording)
        return;
    m_recording = false;
    m_writer->end();  // commits and closes
}

void AndroidRestoreSMSThread::release()
{
    m_socket.reset();
    m_pictures.clear();
    // Only confirmed batches were written: they are kept whatever ended the run.
    try {
        commitRecorded();
    } catch (const std::exception &error) {
        qWarning("AndroidRestoreSMSThread: cannot record the messages sent: %s", error.what());
        m_writer->abort();
    }
    closeCache();
}

QString AndroidRestoreSMSThread::successText() const
{
    QString text = tr("IDS_SUC_RESTORE_%1_SMS_TO_ANDROID").arg(keptCount());
    if (m_skipped != 0)
        text += tr("IDS_SKIP_%1_SMS_GROUP_OR_SYS_MESSAGES").arg(m_skipped);
    text += QStringLiteral("<br/>") + checkSummary();
    if (m_defaultAppSwitched) {
        text += QStringLiteral("<br/>Now please click \"YES\" to resume your default Messaging app settings when the "
                               "message pops out on your Android's screen.");
    }
    return text;
}

QString AndroidRestoreSMSThread::checkSummary() const
{
    if (!m_checked) {
        return tr("Whether the messages are on the phone could not be checked: %1")
            .arg(richTextFromPlain(m_checkError));
    }
    const QString held = tr("%1 of %2 messages are on the phone.").arg(keptCount() - m_missingCount).arg(keptCount());
    if (m_missingCount == 0)
        return held;
    return held + QLatin1Char(' ') + tr("%1 messages did not arrive.").arg(m_missingCount);
}

AndroidRestoreSMSThread::MissingMessage AndroidRestoreSMSThread::missingMessage(const _MsgMessage &message)
{
    return MissingMessage{message.date,
                          message.is_from_me != 0,
                          message.handle ? message.handle->id : QString(),
                          hashText(message),
                          message.subject,
                          int(message.attachments.size())};
}

QString AndroidRestoreSMSThread::describe(const MissingMessage &message)
{
    const QDateTime time = appleTimeToDateTime(message.date);
    QString text = message.text.simplified();
    if (text.isEmpty())
        text = tr("(attachments: %1)").arg(message.attachments);
    else if (text.size() > DescribedTextLength)
        text = text.left(DescribedTextLength) + QStringLiteral("...");
    const QString when = time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return (message.fromMe ? tr("%1 to %2: %3") : tr("%1 from %2: %3")).arg(when, message.number, text);
}

QString AndroidRestoreSMSThread::failureText(const QString &error) const
{
    // The error may quote the agent.
    return richTextFromPlain(error) + QStringLiteral("<br/><br/>")
        + tr("%1 messages reached the phone before the transfer stopped.").arg(m_delivered);
}

void AndroidRestoreSMSThread::sendLine(const QString &word, const QString &argument, bool flush)
{
    try {
        simpleprotocol::sendCommand(*m_socket, word, argument, false, -1);
        if (flush)
            waitUntilSentUnlessCancelled(*m_socket, m_form);
    } catch (const simpleprotocol::SocketDataTransferException &) {
        rethrowWithAgentReason();
    }
}

void AndroidRestoreSMSThread::sendData(const QByteArray &base64, bool flush)
{
    try {
        simpleprotocol::writeAll(*m_socket, base64 + '\n', false, -1);
        if (flush || m_socket->bytesToWrite() > PendingWriteLimit)
            waitUntilSentUnlessCancelled(*m_socket, m_form);
    } catch (const simpleprotocol::SocketDataTransferException &) {
        rethrowWithAgentReason();
    }
}

QString AndroidRestoreSMSThread::expectReply(const QString &word)
{
    waitForLineUnlessCancelled(*m_socket, m_form);
    return simpleprotocol::expectCommand(*m_socket, word, -1);
}

void AndroidRestoreSMSThread::rethrowWithAgentReason()
{
    while (m_socket->canReadLine()) {
        const QString line = QString::fromLatin1(m_socket->readLine()).trimmed();
        if (line.startsWith(ErrorWord))
            throw simpleprotocol::RemoteException(simpleprotocol::decodeText(line.mid(ErrorWord.size())));
    }
    throw;
}
