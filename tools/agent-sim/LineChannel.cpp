#include "LineChannel.h"

#include <QTcpSocket>
#include <QThread>

namespace {

// Unflushed output is pushed out once this much is waiting.
const qint64 PendingLimit = 1 << 20;
// What a slow reader lets wait for it, in the system and here: little, so the
// sender has to wait for it.
const int SlowReadBufferBytes = 65536;

} // namespace

LineChannel::LineChannel(QTcpSocket &socket, int readTimeoutMs, int slowMs, int slowReadMs)
    : m_socket(socket)
    , m_readTimeoutMs(readTimeoutMs)
    , m_slowMs(slowMs)
    , m_slowReadMs(slowReadMs)
{
    if (m_slowReadMs > 0) {
        m_socket.setReadBufferSize(SlowReadBufferBytes);
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SlowReadBufferBytes);
    }
}

QByteArray LineChannel::readLine()
{
    if (m_slowReadMs > 0)
        QThread::msleep(ulong(m_slowReadMs));
    QByteArray line;
    for (;;) {
        if (m_socket.canReadLine()) {
            line += m_socket.readLine();
            break;
        }
        if (m_socket.bytesAvailable() > 0) {
            line += m_socket.readAll();
            continue;
        }
        if (!m_socket.waitForReadyRead(m_readTimeoutMs))
            throw ChannelClosed{m_socket.errorString()};
    }
    line.chop(1);
    line.replace('\r', QByteArray());
    return line;
}

void LineChannel::writeLine(const QByteArray &line, bool flushNow)
{
    pause();
    if (m_socket.write(line + '\n') < 0)
        throw ChannelClosed{m_socket.errorString()};
    if (flushNow || m_slowMs > 0 || m_socket.bytesToWrite() > PendingLimit)
        flush();
}

void LineChannel::writeRaw(const QByteArray &bytes)
{
    if (m_socket.write(bytes) < 0)
        throw ChannelClosed{m_socket.errorString()};
    flush();
}

void LineChannel::flush()
{
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(m_readTimeoutMs))
            throw ChannelClosed{m_socket.errorString()};
    }
}

void LineChannel::discardUntilClosed(int timeoutMs)
{
    while (m_socket.state() == QAbstractSocket::ConnectedState) {
        if (!m_socket.waitForReadyRead(timeoutMs))
            return;
        m_socket.readAll();
    }
}

void LineChannel::drop()
{
    // What was written before the cut still reaches the desktop.
    try {
        flush();
    } catch (const ChannelClosed &) {
    }
    m_socket.abort();
}

void LineChannel::pause() const
{
    if (m_slowMs > 0)
        QThread::msleep(ulong(m_slowMs));
}
