#include "android/SimpleProtocol.h"

#include <QAbstractSocket>
#include <QMutex>
#include <QMutexLocker>
#include <QTime>

namespace simpleprotocol {

namespace {

// Unflushed record and data lines pile up in the socket's buffer until the next
// flush; past this much they are drained so memory stays bounded.
const qint64 UnflushedLimit = 4 * 1024 * 1024;

[[noreturn]] void throwTransferError(const QAbstractSocket &socket)
{
    throw SocketDataTransferException(socket.errorString());
}

void waitUntilSent(QAbstractSocket &socket, int timeout)
{
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeout))
            throwTransferError(socket);
    }
}

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    // Data lines are tens of KB; scanning is far cheaper than a replace that
    // finds nothing but still walks and may detach the buffer.
    if (line.contains('\r'))
        line.replace('\r', QByteArray());
    return line;
}

QMutex portMutex;
int portCounter = 1;
std::function<int()> portSource;

} // namespace

QString readLine(QAbstractSocket &socket, int timeout)
{
    // Whole buffered pieces are taken at once: a line that is complete in the
    // buffer costs one copy, a partial one is kept and completed after a wait.
    QByteArray line;
    for (;;) {
        if (socket.canReadLine()) {
            line += socket.readLine();
            break;
        }
        if (socket.bytesAvailable() > 0) {
            line += socket.readAll();
            continue;
        }
        if (!socket.waitForReadyRead(timeout))
            throwTransferError(socket);
    }
    return QString::fromLatin1(withoutLineEnd(line));
}

QString readCommand(QAbstractSocket &socket, int timeout)
{
    static const QLatin1String errorWord("$error:");
    const QString line = readLine(socket, timeout);
    if (line.isEmpty())
        throw SocketDataTransferException(QStringLiteral("Null command."));
    if (line.startsWith(errorWord))
        throw RemoteException(decodeText(line.mid(errorWord.size())));
    return line;
}

QString expectCommand(QAbstractSocket &socket, const QString &prefix, int timeout)
{
    const QString line = readCommand(socket, timeout);
    if (!line.startsWith(prefix)) {
        throw LocalException(socket, QStringLiteral("invalid feedback [%1], must be [%2]")
                                         .arg(line, prefix));
    }
    return line;
}

void sendCommand(QAbstractSocket &socket, const QString &word, const QString &argument,
                 bool flush, int timeout)
{
    writeAll(socket, (word + argument + QLatin1Char('\n')).toUtf8(), flush, timeout);
}

void writeAll(QAbstractSocket &socket, const QByteArray &data, bool flush, int timeout)
{
    if (data.isEmpty())
        return;
    qint64 offset = 0;
    while (offset < data.size()) {
        const qint64 written = socket.write(data.constData() + offset, data.size() - offset);
        if (written < 0)
            throwTransferError(socket);
        if (written > 0) {
            offset += written;
            continue;
        }
        if (!socket.waitForBytesWritten(timeout))
            throwTransferError(socket);
    }
    // A flush that only reported "nothing written" would fail whenever the
    // peer's window is momentarily full; waiting for the bytes to leave is the
    // reliable form of the same promise.
    if (flush || socket.bytesToWrite() > UnflushedLimit)
        waitUntilSent(socket, timeout);
}

int agentPortFor(int minute, int second, int &counter)
{
    if (counter % 100 == 0)
        counter = 1;
    const int port = (minute % 4 + 1) * 10000 + second * 100 + counter;
    ++counter;
    return port;
}

int nextAgentPort()
{
    QMutexLocker locker(&portMutex);
    if (portSource)
        return portSource();
    const QTime now = QTime::currentTime();
    return agentPortFor(now.minute(), now.second(), portCounter);
}

void setAgentPortSource(std::function<int()> source)
{
    QMutexLocker locker(&portMutex);
    portSource = std::move(source);
}

QString deviceInfoUrl(int port)
{
    return QStringLiteral("device2://127.0.0.1:%1").arg(port);
}

QString downloadUrl(int port)
{
    return QStringLiteral("backup2://127.0.0.1:%1/mms/").arg(port);
}

QString uploadUrl(int port)
{
    return QStringLiteral("restore2://127.0.0.1:%1/mms/").arg(port);
}

QString encodeText(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString decodeText(const QString &base64)
{
    return QString::fromUtf8(QByteArray::fromBase64(base64.toLatin1()));
}

} // namespace simpleprotocol
