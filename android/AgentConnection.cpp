#include "android/AgentConnection.h"

#include "android/AdbClient.h"
#include "android/AgentPortForward.h"
#include "android/AndroidDevice.h"
#include "android/SimpleProtocol.h"
#include "work/WorkerNotify.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <stdexcept>

namespace {

const char *const AgentReceiver = "com.ferrywright.smssync/.AdbSyncBroadcastReceiver";
const char *const Loopback = "127.0.0.1";
const int CloseWaitMs = 1000;
// A closing exchange does not wait long for adb to drop its forward.
const int ForwardRemovalLimitMs = 10000;
// How often a wait for the agent looks at the cancel flag.
const int CancelPollMs = 200;

QMutex timingsMutex;
AgentTimings currentTimings;

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

void startAgentByBroadcast(const AndroidDevice &device, const QString &url)
{
    AdbClient().am(device.serial, QStringLiteral("broadcast"), QLatin1String(AgentReceiver), QString(), url,
                   QStringList(), QString());
}

// One connect and one wait for "$ready:"; false when the agent did not come.
bool tryReadyConnection(QTcpSocket &socket, int port, const QString &url, int attemptMs)
{
    socket.abort();
    socket.connectToHost(QLatin1String(Loopback), quint16(port));
    if (!socket.waitForConnected(attemptMs))
        return false;
    try {
        simpleprotocol::expectCommand(socket, QStringLiteral("$ready:"), attemptMs);
        return true;
    } catch (const simpleprotocol::SocketDataTransferException &) {
        qDebug("connect %s failed, try again...", qUtf8Printable(url));
        return false;
    }
}

AgentSocket connectOverUsb(const AndroidDevice &device, AgentUrlPattern urlFor, int timeoutMs)
{
    // The port is forwarded before the agent hears of it: a port that turns
    // out to be taken then leaves no agent waiting on the phone.
    const AdbClient adb;
    const int port = forwardFreeAgentPort(adb, device.serial, simpleprotocol::nextAgentPort());
    AgentSocket socket(new QTcpSocket, AgentSocketCloser{device.serial, port});
    const QString url = urlFor(port);
    startAgentByBroadcast(device, url);

    const AgentTimings timings = agentTimings();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (clock.elapsed() > timeoutMs)
            fail(QStringLiteral("start %1 failed.").arg(url));
        if (tryReadyConnection(*socket, port, url, timings.attemptTimeoutMs)) {
            requireForwardedTo(adb, device.serial, port);
            return socket;
        }
        // A refused connection fails at once; do not spin on it.
        QThread::msleep(ulong(timings.retryPauseMs));
    }
}

// Asks the WiFi launcher to start the exchange of `url`.
void startAgentByLauncher(const AndroidDevice &device, const QString &url)
{
    const int launcherTimeout = agentTimings().launcherTimeoutMs;
    AgentSocket launcher(new QTcpSocket);
    launcher->connectToHost(device.host, quint16(device.port));
    if (!launcher->waitForConnected(launcherTimeout))
        fail(QStringLiteral("can not connect %1:%2.").arg(device.host).arg(device.port));
    simpleprotocol::sendCommand(*launcher, url, QString(), true, -1);
    // A launcher that accepts and never answers must not hang the worker.
    const QString reply = simpleprotocol::readCommand(*launcher, launcherTimeout);
    launcher.reset();
    if (reply.startsWith(QLatin1Char('0')))
        fail(QStringLiteral("start %1 failed.%2").arg(url, simpleprotocol::decodeText(reply.mid(1))));
}

AgentSocket connectOverWifi(const AndroidDevice &device, AgentUrlPattern urlFor, int timeoutMs)
{
    // The port is one on the phone: nothing on this machine can clash with it.
    const QString url = urlFor(simpleprotocol::nextAgentPort());
    startAgentByLauncher(device, url);
    AgentSocket socket(new QTcpSocket);
    socket->connectToHost(device.host, quint16(agentUrlPort(url)));
    if (!socket->waitForConnected(timeoutMs))
        fail(QStringLiteral("connec %1 failed.").arg(url));
    simpleprotocol::expectCommand(*socket, QStringLiteral("$ready:"), timeoutMs);
    return socket;
}

} // namespace

AgentTimings agentTimings()
{
    QMutexLocker locker(&timingsMutex);
    return currentTimings;
}

void setAgentTimings(const AgentTimings &timings)
{
    QMutexLocker locker(&timingsMutex);
    currentTimings = timings;
}

void AgentSocketCloser::operator()(QTcpSocket *socket) const
{
    if (!socket)
        return;
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState && !socket->waitForDisconnected(CloseWaitMs))
            socket->abort();
    }
    delete socket;
    if (forwardedPort > 0) {
        AdbClient adb;
        adb.setTimeLimit(ForwardRemovalLimitMs);
        adb.removeForward(forwardSerial, forwardedPort);
    }
}

int agentUrlPort(const QString &url)
{
    const int port = QUrl(url).port();
    if (port <= 0)
        fail(QStringLiteral("invalid agent url %1.").arg(url));
    return port;
}

AgentSocket connectAgent(const AndroidDevice &device, AgentUrlPattern urlFor, int timeoutMs)
{
    return device.viaWifi ? connectOverWifi(device, urlFor, timeoutMs) : connectOverUsb(device, urlFor, timeoutMs);
}

void exchangeDeviceInformation(AndroidDevice &device, const ProgressReporter *form)
{
    static const int HelloWordLength = 7;  // "$hello:"
    AgentSocket socket = connectAgent(device, simpleprotocol::deviceInfoUrl, agentTimings().connectTimeoutMs);
    waitForLineUnlessCancelled(*socket, form);
    const QString line = simpleprotocol::readCommand(*socket, -1);
    simpleprotocol::sendCommand(*socket, QStringLiteral("$bye:"), QString(), true, -1);
    socket.reset();
    device.applyInfoText(line.mid(HelloWordLength));
}

void waitForLineUnlessCancelled(QAbstractSocket &socket, const ProgressReporter *form)
{
    const qint64 bufferLimit = socket.readBufferSize();
    while (!socket.canReadLine() && (bufferLimit == 0 || socket.bytesAvailable() < bufferLimit)) {
        throwIfCancelled(form);
        if (!socket.waitForReadyRead(CancelPollMs) && socket.state() != QAbstractSocket::ConnectedState)
            return;
    }
}

void waitUntilSentUnlessCancelled(QAbstractSocket &socket, const ProgressReporter *form)
{
    while (socket.bytesToWrite() > 0) {
        throwIfCancelled(form);
        if (!socket.waitForBytesWritten(CancelPollMs) && socket.state() != QAbstractSocket::ConnectedState)
            throw simpleprotocol::SocketDataTransferException(socket.errorString());
    }
}
