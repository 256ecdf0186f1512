#pragma once

#include <QByteArray>
#include <QString>

class QTcpSocket;

// The agent's end of an exchange connection: blocking line reads and writes on
// a socket owned by the calling thread. Failures (time-out, closed connection)
// throw ChannelClosed.
class LineChannel
{
public:
    // `slowMs` pauses every line written, `slowReadMs` every line read.
    LineChannel(QTcpSocket &socket, int readTimeoutMs, int slowMs, int slowReadMs = 0);

    // The next line without its line feed; carriage returns are dropped.
    QByteArray readLine();
    // Writes one line; `flush` waits until it has left, as before a reply.
    void writeLine(const QByteArray &line, bool flush);
    // Writes raw bytes without a line feed and pushes them out (for a torn line).
    void writeRaw(const QByteArray &bytes);
    void flush();
    // Reads and drops whatever comes until the peer closes or `timeoutMs` has
    // passed without data.
    void discardUntilClosed(int timeoutMs);
    // Ends the connection at once, as a phone losing its link would.
    void drop();

private:
    void pause() const;

    QTcpSocket &m_socket;
    int m_readTimeoutMs;
    int m_slowMs;
    int m_slowReadMs;
};

// The peer went away, or a read or write could not complete.
struct ChannelClosed
{
    QString reason;
};
