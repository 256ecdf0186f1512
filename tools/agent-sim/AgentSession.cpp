#include "AgentSession.h"

#include "PhoneStore.h"
#include "SimCounters.h"
#include "SimMessage.h"

#include <QFile>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>

#include <exception>

namespace {

// How long an upload that failed waits for the desktop to hang up.
const int UploadLingerMs = 10000;

// Ends the exchange early with a reason for the log and the status file.
struct SessionEnded
{
    QString reason;
};

QByteArray base64(const QString &text)
{
    return text.toUtf8().toBase64();
}

QString fromBase64(const QByteArray &field)
{
    return QString::fromUtf8(QByteArray::fromBase64(field));
}

// The identity text "key=value;key=value", well-known keys first.
QByteArray infoText(const QMap<QString, QString> &info)
{
    static const QStringList order{"version", "model",  "manufacturer", "imei",     "uid",
                                   "sdk",     "sdk_id", "root",         "storage1", "mmc"};
    QStringList pairs;
    for (const QString &key : order) {
        if (info.contains(key))
            pairs.append(key + QLatin1Char('=') + info.value(key));
    }
    for (auto it = info.begin(); it != info.end(); ++it) {
        if (!order.contains(it.key()))
            pairs.append(it.key() + QLatin1Char('=') + it.value());
    }
    return pairs.join(QLatin1Char(';')).toUtf8();
}

} // namespace

AgentSession::AgentSession(Kind kind, PhoneStore &store, const ServeOptions &options,
                           SimCounters &counters)
    : m_kind(kind)
    , m_store(store)
    , m_options(options)
    , m_counters(counters)
    , m_malformedRecordPending(options.faults.malformedRecord)
    , m_malformedAttaPending(options.faults.malformedAtta)
    , m_dropInAttachmentPending(options.faults.dropInAttachment)
{
}

bool AgentSession::kindFromScheme(const QString &scheme, Kind &kind)
{
    if (scheme == QLatin1String("device2"))
        kind = Kind::DeviceInfo;
    else if (scheme == QLatin1String("backup2"))
        kind = Kind::Download;
    else if (scheme == QLatin1String("restore2"))
        kind = Kind::Upload;
    else
        return false;
    return true;
}

bool AgentSession::run(QTcpSocket &socket, QString &failure)
{
    LineChannel channel(socket, m_options.readTimeoutMs, m_options.faults.slowMs, m_options.faults.slowReadMs);
    m_channel = &channel;
    bool completed = false;
    try {
        play();
        completed = true;
    } catch (const ChannelClosed &closed) {
        failure = QStringLiteral("connection lost: %1").arg(closed.reason);
    } catch (const SessionEnded &ended) {
        failure = ended.reason;
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    // A polite close lets the desktop read everything sent so far, including
    // an "$error:" line; a dropped link is already gone. A desktop that is
    // still sending an upload reads only at the end of its batch: the agent
    // listens until it hangs up, so the error is not lost in a reset.
    if (!completed && m_kind == Kind::Upload && socket.state() == QAbstractSocket::ConnectedState)
        channel.discardUntilClosed(UploadLingerMs);
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState && !socket.waitForDisconnected(5000))
            socket.abort();
    }
    return completed;
}

void AgentSession::play()
{
    if (m_options.faults.readyDelayMs > 0)
        QThread::msleep(ulong(m_options.faults.readyDelayMs));
    sendCommand("$ready:");
    if (m_options.faults.errorAfterRecords < 0)
        checkErrorFault();
    switch (m_kind) {
    case Kind::DeviceInfo:
        sendDeviceInfo();
        break;
    case Kind::Download:
        sendMessages();
        break;
    case Kind::Upload:
        receiveMessages();
        break;
    }
}

void AgentSession::sendDeviceInfo()
{
    QMap<QString, QString> info = m_store.info();
    for (auto it = m_options.infoOverrides.begin(); it != m_options.infoOverrides.end(); ++it)
        info.insert(it.key(), it.value());
    sendCommand("$hello:", infoText(info));
    expectCommand("$bye:");
}

void AgentSession::sendMessages()
{
    PhoneStore::Reader reader(m_store);
    sendCommand("$count:", QByteArray::number(reader.count()));
    SimMessage message;
    bool more = reader.next(message);
    while (more) {
        sendCommand("$batch:");
        for (int inBatch = 0; more && inBatch < m_options.batchSize; ++inBatch) {
            sendRecord(message);
            more = reader.next(message);
        }
        sendCommand("$end:");
        expectCommand("$batch:");
    }
    sendCommand("$bye:");
    expectCommand("$bye:");
}

void AgentSession::sendRecord(const SimMessage &message)
{
    QList<QByteArray> fields{QByteArray::number(message.dateMs),
                             message.sent ? "1" : "0",
                             base64(message.addressField()),
                             base64(message.name),
                             base64(message.text),
                             base64(message.subject)};
    if (m_malformedRecordPending) {
        m_malformedRecordPending = false;
        sendCommand("$sms:", fields.mid(0, 5).join(','), false);
    }
    if (!message.parts.isEmpty())
        fields.append(QByteArray::number(message.parts.size()));
    // A record that announces attachments waits for the desktop's answer.
    sendCommand("$sms:", fields.join(','), !message.parts.isEmpty());
    ++m_counters.recordsSent;
    ++m_recordsThisExchange;

    if (m_recordsThisExchange == m_options.faults.dropAfterRecords) {
        m_channel->drop();
        throw SessionEnded{QStringLiteral("dropped the connection after %1 records")
                               .arg(m_recordsThisExchange)};
    }
    if (m_recordsThisExchange == m_options.faults.errorAfterRecords)
        checkErrorFault();
    if (message.parts.isEmpty())
        return;

    const QByteArray answer = readCommand();
    if (answer == "0")
        return;
    if (answer != "1")
        rejectPeer(QStringLiteral("invalid answer [%1] to a record").arg(QString::fromLatin1(answer)));
    for (const SimPart &part : message.parts)
        sendPart(part);
}

void AgentSession::sendPart(const SimPart &part)
{
    QFile file(m_store.partPath(part.file));
    if (!file.open(QIODevice::ReadOnly))
        rejectPeer(QStringLiteral("cannot read %1: %2").arg(part.file, file.errorString()));

    QByteArray header = part.mime.toUtf8();
    if (m_malformedAttaPending)
        m_malformedAttaPending = false;
    else
        header += ',' + part.name.toUtf8();
    sendCommand("$atta:", header, false);

    const qint64 size = file.size();
    const qint64 chunk = std::max(1, m_options.chunkSize);
    const qint64 chunks = (size + chunk - 1) / chunk;
    const bool dropHere = m_dropInAttachmentPending;
    for (qint64 index = 0; index < chunks; ++index) {
        const QByteArray line = file.read(chunk).toBase64();
        if (dropHere && (chunks == 1 || index == chunks / 2)) {
            // Half a data line with no end, then silence: a link lost mid-transfer.
            m_channel->writeRaw(chunks == 1 ? line.left(line.size() / 2) : QByteArray());
            m_channel->drop();
            throw SessionEnded{QStringLiteral("dropped the connection inside %1").arg(part.name)};
        }
        m_channel->writeLine(line, false);
        m_counters.attachmentBytesSent += QByteArray::fromBase64(line).size();
    }
    if (dropHere) {
        m_channel->drop();
        throw SessionEnded{QStringLiteral("dropped the connection inside %1").arg(part.name)};
    }
    m_channel->writeLine(".", true);
    expectCommand(".");
    ++m_counters.attachmentsSent;
}

void AgentSession::receiveMessages()
{
    // Declining only makes sense when the agent asks.
    const int flag = m_options.faults.refuseDefaultApp && m_options.defaultSmsAppFlag == 0
        ? 1
        : m_options.defaultSmsAppFlag;
    sendCommand("$defsmsapp:", QByteArray::number(flag));
    if (flag != 0) {
        expectCommand("$defsmsapp:");
        if (m_options.faults.refuseDefaultApp)
            rejectPeer(QStringLiteral("The request to become the default SMS app was declined."));
    }
    for (;;) {
        const QByteArray command = readCommand();
        if (command.startsWith("$batch:"))
            receiveBatch();
        else if (command.startsWith("$bye:"))
            return;
        else
            rejectPeer(QStringLiteral("unexpected command [%1]").arg(QString::fromLatin1(command)));
    }
}

void AgentSession::receiveBatch()
{
    // A batch is stored as a whole once the desktop closes it, and only then
    // acknowledged: what the desktop sees acknowledged is exactly what the
    // phone holds, whatever happens in the middle of a batch.
    PendingBatch batch(m_store);
    for (;;) {
        const QByteArray command = readCommand();
        if (command.startsWith("$sms:")) {
            const qsizetype partsBefore = batch.partFiles.size();
            const SimMessage message = receiveRecord(command.mid(5), batch);
            ++m_recordsThisExchange;
            if (m_options.faults.loseReceived.contains(m_recordsThisExchange))
                batch.forget(partsBefore);
            else
                batch.messages.append(message);
            checkUploadFaults();
        } else if (command.startsWith("$end:")) {
            m_store.appendMessages(batch.messages);
            m_counters.messagesReceived += batch.messages.size();
            batch.keep();
            sendCommand("$batch:");
            return;
        } else {
            rejectPeer(QStringLiteral("unexpected command [%1] in a batch").arg(QString::fromLatin1(command)));
        }
    }
}

void AgentSession::checkUploadFaults()
{
    if (m_recordsThisExchange == m_options.faults.dropAfterRecords) {
        m_channel->drop();
        throw SessionEnded{QStringLiteral("dropped the connection after receiving %1 records")
                               .arg(m_recordsThisExchange)};
    }
    if (m_recordsThisExchange == m_options.faults.errorAfterRecords)
        checkErrorFault();
}

SimMessage AgentSession::receiveRecord(const QByteArray &record, PendingBatch &batch)
{
    const QList<QByteArray> fields = record.split(',');
    bool countOk = false;
    const int attachments = fields.size() >= 6 ? fields.at(5).toInt(&countOk) : 0;
    if (fields.size() < 6 || !countOk || attachments < 0)
        rejectPeer(QStringLiteral("invalid record [%1]").arg(QString::fromLatin1(record)));

    SimMessage message;
    message.dateMs = fields.at(0).toLongLong();
    message.sent = fields.at(1) == "1";
    // A group's numbers come joined by ";", as a download sends them.
    message.addresses = fromBase64(fields.at(2)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    message.text = fromBase64(fields.at(3));
    message.subject = fromBase64(fields.at(4));
    for (int i = 0; i < attachments; ++i) {
        message.parts.append(receivePart());
        batch.partFiles.append(message.parts.last().file);
    }
    return message;
}

AgentSession::PendingBatch::PendingBatch(PhoneStore &store)
    : m_store(store)
{
}

AgentSession::PendingBatch::~PendingBatch()
{
    // Parts of a batch that was never stored would be orphans in the store.
    for (const QString &file : std::as_const(partFiles))
        QFile::remove(m_store.partPath(file));
}

void AgentSession::PendingBatch::forget(qsizetype firstPart)
{
    for (qsizetype i = firstPart; i < partFiles.size(); ++i)
        QFile::remove(m_store.partPath(partFiles.at(i)));
    partFiles.resize(firstPart);
}

void AgentSession::PendingBatch::keep()
{
    partFiles.clear();
}

SimPart AgentSession::receivePart()
{
    const QByteArray command = readCommand();
    if (!command.startsWith("$atta:"))
        rejectPeer(QStringLiteral("expected $atta:, got [%1]").arg(QString::fromLatin1(command)));
    const QByteArray header = command.mid(6);
    const qsizetype comma = header.indexOf(',');
    if (comma < 0)
        rejectPeer(QStringLiteral("$atta: command invalid param."));

    SimPart part{QString::fromUtf8(header.left(comma)), QString::fromUtf8(header.mid(comma + 1)), {}};
    part.file = m_store.newPartFile(part.name);
    QFile file(m_store.partPath(part.file));
    if (!file.open(QIODevice::WriteOnly))
        rejectPeer(QStringLiteral("cannot create %1: %2").arg(file.fileName(), file.errorString()));
    for (;;) {
        const QByteArray line = m_channel->readLine();
        if (line.startsWith('.'))
            break;
        if (line.startsWith("$error:")) {
            file.remove();
            ++m_counters.errorsReceived;
            throw SessionEnded{QStringLiteral("desktop error: %1").arg(fromBase64(line.mid(7)))};
        }
        const QByteArray bytes = QByteArray::fromBase64(line);
        if (file.write(bytes) != bytes.size())
            rejectPeer(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
        m_counters.attachmentBytesReceived += bytes.size();
    }
    file.close();
    sendCommand(".");
    ++m_counters.attachmentsReceived;
    return part;
}

void AgentSession::sendCommand(const char *word, const QByteArray &argument, bool flush)
{
    m_channel->writeLine(QByteArray(word) + argument, flush);
}

QByteArray AgentSession::readCommand()
{
    const QByteArray line = m_channel->readLine();
    if (line.startsWith("$error:")) {
        ++m_counters.errorsReceived;
        throw SessionEnded{QStringLiteral("desktop error: %1").arg(fromBase64(line.mid(7)))};
    }
    return line;
}

void AgentSession::expectCommand(const QByteArray &word)
{
    const QByteArray line = readCommand();
    if (!line.startsWith(word)) {
        rejectPeer(QStringLiteral("invalid feedback [%1], must be [%2]")
                       .arg(QString::fromLatin1(line), QString::fromLatin1(word)));
    }
}

void AgentSession::rejectPeer(const QString &reason)
{
    try {
        m_channel->writeLine("$error:" + base64(reason), true);
        ++m_counters.errorsSent;
    } catch (const ChannelClosed &) {
        // The desktop is already gone; the reason still goes to the log.
    }
    throw SessionEnded{reason};
}

void AgentSession::checkErrorFault()
{
    if (m_options.faults.errorText.isEmpty())
        return;
    m_channel->writeLine("$error:" + base64(m_options.faults.errorText), true);
    ++m_counters.errorsSent;
    throw SessionEnded{QStringLiteral("sent the error \"%1\"").arg(m_options.faults.errorText)};
}
