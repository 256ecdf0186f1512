#pragma once

// A phone agent played line by line from a test, for exchanges the phone
// simulator does not produce (odd records, odd launcher replies). It listens
// as the WiFi launcher on a free 127.0.0.1 port, answers the start URL and,
// when asked to, serves the exchange on the URL's port: "$ready:" first, then
// the test's script.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <functional>
#include <stdexcept>

// The agent's side of one exchange connection, blocking.
class AgentLines
{
public:
    explicit AgentLines(QTcpSocket &socket) : m_socket(socket) {}

    void send(const QByteArray &line)
    {
        m_socket.write(line + '\n');
        while (m_socket.bytesToWrite() > 0) {
            if (!m_socket.waitForBytesWritten(10000))
                throw std::runtime_error("agent: cannot write");
        }
    }

    // The desktop's next line without its end; throws when none comes.
    QByteArray read()
    {
        while (!m_socket.canReadLine()) {
            if (!m_socket.waitForReadyRead(10000))
                throw std::runtime_error("agent: nothing to read");
        }
        QByteArray line = m_socket.readLine();
        line.chop(1);
        m_received.append(line);
        return line;
    }

    const QList<QByteArray> &received() const { return m_received; }

private:
    QTcpSocket &m_socket;
    QList<QByteArray> m_received;
};

class ScriptedAgent : public QThread
{
public:
    using Script = std::function<void(AgentLines &)>;

    // `launcherReply` is the line the launcher answers ("1" starts the
    // exchange); with `serveExchange` false nothing listens on the URL's port.
    explicit ScriptedAgent(Script script, QByteArray launcherReply = "1", bool serveExchange = true)
        : m_script(std::move(script))
        , m_launcherReply(std::move(launcherReply))
        , m_serveExchange(serveExchange)
    {
    }

    ~ScriptedAgent() override { wait(); }

    // Starts and waits until the launcher listens.
    int startLauncher()
    {
        start();
        m_ready.acquire();
        return m_launcherPort;
    }

    QByteArray url() const { QMutexLocker lock(&m_mutex); return m_url; }
    QList<QByteArray> received() const { QMutexLocker lock(&m_mutex); return m_received; }
    QString failure() const { QMutexLocker lock(&m_mutex); return m_failure; }

protected:
    void run() override
    {
        QTcpServer launcher;
        launcher.listen(QHostAddress::LocalHost, 0);
        m_launcherPort = launcher.serverPort();
        m_ready.release();
        try {
            serve(launcher);
        } catch (const std::exception &error) {
            QMutexLocker lock(&m_mutex);
            m_failure = QString::fromUtf8(error.what());
        }
    }

private:
    void serve(QTcpServer &launcher)
    {
        if (!launcher.waitForNewConnection(20000))
            throw std::runtime_error("agent: nobody called the launcher");
        std::unique_ptr<QTcpSocket> call(launcher.nextPendingConnection());
        AgentLines launcherLines(*call);
        const QByteArray url = launcherLines.read();
        {
            QMutexLocker lock(&m_mutex);
            m_url = url;
        }
        // Listen before answering, so the desktop finds the port open.
        QTcpServer exchange;
        if (m_serveExchange)
            exchange.listen(QHostAddress::LocalHost, quint16(QUrl(QString::fromLatin1(url)).port()));
        launcherLines.send(m_launcherReply);
        call->disconnectFromHost();
        if (!m_serveExchange)
            return;
        if (!exchange.waitForNewConnection(20000))
            throw std::runtime_error("agent: nobody came to the exchange");
        std::unique_ptr<QTcpSocket> socket(exchange.nextPendingConnection());
        AgentLines lines(*socket);
        lines.send("$ready:");
        try {
            m_script(lines);
        } catch (...) {
            keep(lines);
            throw;
        }
        keep(lines);
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(5000);
    }

    void keep(const AgentLines &lines)
    {
        QMutexLocker lock(&m_mutex);
        m_received = lines.received();
    }

    Script m_script;
    QByteArray m_launcherReply;
    bool m_serveExchange;
    QSemaphore m_ready;
    int m_launcherPort = 0;
    mutable QMutex m_mutex;
    QByteArray m_url;
    QList<QByteArray> m_received;
    QString m_failure;
};
