#include "AgentSimulator.h"

#include "ExchangeListener.h"
#include "FakeAdbState.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <stdexcept>

namespace {

// A listener nobody connects to is closed after this long.
const int ListenerLifetimeMs = 120000;
const int LauncherReadMs = 10000;

void logLine(const QString &text)
{
    std::fprintf(stdout, "agent-sim: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

const char *kindName(AgentSession::Kind kind)
{
    switch (kind) {
    case AgentSession::Kind::DeviceInfo:
        return "device2";
    case AgentSession::Kind::Download:
        return "backup2";
    case AgentSession::Kind::Upload:
        return "restore2";
    }
    return "?";
}

} // namespace

AgentSimulator::AgentSimulator(const ServeOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_store(options.storeFolder)
{
    connect(&m_launcher, &QTcpServer::newConnection, this, &AgentSimulator::onLauncherConnection);
    m_statusTimer.setInterval(500);
    connect(&m_statusTimer, &QTimer::timeout, this, &AgentSimulator::writeStatus);
    m_watchTimer.setInterval(1000);
    connect(&m_watchTimer, &QTimer::timeout, this, &AgentSimulator::watch);
}

quint16 AgentSimulator::launcherPort() const
{
    return m_launcher.serverPort();
}

void AgentSimulator::start()
{
    m_store.ensureLayout();
    if (!m_launcher.listen(QHostAddress::LocalHost, quint16(m_options.launcherPort))) {
        throw std::runtime_error(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                                     .arg(m_options.launcherPort)
                                     .arg(m_launcher.errorString())
                                     .toStdString());
    }
    logLine(QStringLiteral("launcher listening on 127.0.0.1:%1").arg(launcherPort()));
    if (!m_options.adbStateFile.isEmpty() && !m_options.serial.isEmpty()) {
        FakeAdbState(m_options.adbStateFile).update([this](QJsonObject &state) {
            FakeAdbState::plug(state, m_options.serial, m_options.adbDeviceState, launcherPort(),
                               m_options.agentInstalled);
        });
        m_registered = true;
        logLine(QStringLiteral("plugged in as %1 (%2)").arg(m_options.serial, m_options.adbStateFile));
    }
    m_idle.start();
    writeStatus();
    m_statusTimer.start();
    m_watchTimer.start();
}

void AgentSimulator::shutdown()
{
    m_statusTimer.stop();
    m_watchTimer.stop();
    if (m_registered) {
        try {
            FakeAdbState(m_options.adbStateFile).update([this](QJsonObject &state) {
                FakeAdbState::unplug(state, m_options.serial);
            });
            logLine(QStringLiteral("unplugged %1").arg(m_options.serial));
        } catch (const std::exception &error) {
            logLine(QStringLiteral("cannot unplug: %1").arg(QString::fromUtf8(error.what())));
        }
        m_registered = false;
    }
    writeStatus();
}

void AgentSimulator::onLauncherConnection()
{
    while (QTcpSocket *launcher = m_launcher.nextPendingConnection()) {
        touch();
        connect(launcher, &QTcpSocket::disconnected, launcher, &QObject::deleteLater);
        connect(launcher, &QTcpSocket::readyRead, this, [this, launcher] { answerLauncher(launcher); });
        QTimer::singleShot(LauncherReadMs, launcher, [launcher] { launcher->abort(); launcher->deleteLater(); });
    }
}

void AgentSimulator::answerLauncher(QTcpSocket *launcher)
{
    if (!launcher->canReadLine())
        return;
    const QString url = QString::fromUtf8(launcher->readLine()).remove(QLatin1Char('\r')).trimmed();
    ++m_counters.launcherRequests;
    static const QLatin1String ForwardRequest("forward ");
    QString refusal = m_options.faults.refuseReason;
    if (url.startsWith(ForwardRequest))
        refusal = holdForwardedPort(url.mid(ForwardRequest.size()));
    else if (refusal.isEmpty())
        refusal = openExchange(url);
    if (refusal.isEmpty()) {
        launcher->write("1\n");
        logLine(QStringLiteral("launcher started %1").arg(url));
    } else {
        ++m_counters.launcherRefusals;
        launcher->write("0" + refusal.toUtf8().toBase64() + "\n");
        logLine(QStringLiteral("launcher refused %1: %2").arg(url, refusal));
    }
    launcher->disconnectFromHost();
    writeStatus();
}

QString AgentSimulator::openExchange(const QString &url)
{
    const QUrl parsed(url);
    AgentSession::Kind kind;
    if (!AgentSession::kindFromScheme(parsed.scheme(), kind))
        return QStringLiteral("unknown exchange %1").arg(url);
    const int port = parsed.port();
    if (port <= 0 || port > 65535)
        return QStringLiteral("no port in %1").arg(url);

    QString failure;
    ExchangeListener *listener = listenerOn(port, failure);
    if (listener)
        listener->setKind(kind, url);
    return failure;
}

QString AgentSimulator::holdForwardedPort(const QString &spec)
{
    bool ok = false;
    const int port = spec.startsWith(QLatin1String("tcp:")) ? spec.mid(4).toInt(&ok) : 0;
    if (!ok || port <= 0 || port > 65535)
        return QStringLiteral("unsupported forward spec '%1'").arg(spec);
    QString failure;
    listenerOn(port, failure);
    return failure;
}

ExchangeListener *AgentSimulator::listenerOn(int port, QString &failure)
{
    // A repeated start of the same port reuses the open listener.
    if (ExchangeListener *open = m_listeners.value(quint16(port)))
        return open;
    auto *listener = new ExchangeListener(AgentSession::Kind::DeviceInfo, QString(), this);
    if (!listener->listen(QHostAddress::LocalHost, quint16(port))) {
        failure = QStringLiteral("cannot listen on port %1: %2").arg(port).arg(listener->errorString());
        delete listener;
        return nullptr;
    }
    m_listeners.insert(quint16(port), listener);
    connect(listener, &ExchangeListener::connectionArrived, this,
            [this, listener](qintptr descriptor) { startSession(listener, descriptor); });
    QTimer::singleShot(ListenerLifetimeMs, listener, [this, listener] {
        if (listener->isListening() && m_activeSessions == 0) {
            logLine(QStringLiteral("nobody connected for %1, closing it").arg(listener->url()));
            m_listeners.remove(listener->serverPort());
            listener->deleteLater();
        }
    });
    return listener;
}

void AgentSimulator::startSession(ExchangeListener *listener, qintptr descriptor)
{
    touch();
    if (listener->url().isEmpty()) {
        // Forwarded, but no exchange started on the port: as adb does when
        // nothing listens on the phone, the connection is closed at once.
        QTcpSocket refused;
        refused.setSocketDescriptor(descriptor);
        refused.abort();
        return;
    }
    const AgentSession::Kind kind = listener->kind();
    ++m_activeSessions;
    ++m_counters.exchangesStarted;
    switch (kind) {
    case AgentSession::Kind::DeviceInfo:
        ++m_counters.deviceInfoExchanges;
        break;
    case AgentSession::Kind::Download:
        ++m_counters.downloadExchanges;
        break;
    case AgentSession::Kind::Upload:
        ++m_counters.uploadExchanges;
        break;
    }
    logLine(QStringLiteral("exchange %1 on port %2 started").arg(kindName(kind)).arg(listener->serverPort()));

    QThread *thread = QThread::create([this, listener, kind, descriptor] {
        QTcpSocket socket;
        QString failure;
        bool completed = false;
        if (socket.setSocketDescriptor(descriptor)) {
            // Lines are small and each flush waits for an answer: without this,
            // delayed acknowledgements add tens of milliseconds per handshake.
            socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            AgentSession session(kind, m_store, m_options, m_counters);
            completed = session.run(socket, failure);
        } else {
            failure = socket.errorString();
        }
        QMetaObject::invokeMethod(this, [=] { onSessionFinished(listener, kind, completed, failure); },
                                  Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void AgentSimulator::onSessionFinished(ExchangeListener *listener, AgentSession::Kind kind,
                                       bool completed, const QString &failure)
{
    touch();
    --m_activeSessions;
    if (completed) {
        ++m_counters.exchangesCompleted;
        logLine(QStringLiteral("exchange %1 finished: records sent %2, attachments sent %3 (%4 bytes), "
                               "messages received %5")
                    .arg(kindName(kind))
                    .arg(m_counters.recordsSent.load())
                    .arg(m_counters.attachmentsSent.load())
                    .arg(m_counters.attachmentBytesSent.load())
                    .arg(m_counters.messagesReceived.load()));
    } else {
        ++m_counters.exchangesFailed;
        m_counters.setLastError(failure);
        logLine(QStringLiteral("exchange %1 failed: %2").arg(kindName(kind), failure));
    }
    // One exchange per start URL, as on the phone: the port closes behind it.
    const quint16 port = m_listeners.key(listener, 0);
    if (port != 0) {
        m_listeners.remove(port);
        listener->close();
        listener->deleteLater();
    }
    writeStatus();
}

void AgentSimulator::writeStatus()
{
    if (m_options.statusFile.isEmpty())
        return;
    QJsonObject status = m_counters.toJson();
    status.insert("pid", QCoreApplication::applicationPid());
    status.insert("launcherPort", launcherPort());
    status.insert("store", m_store.folder());
    status.insert("activeExchanges", m_activeSessions.load());
    QJsonArray ports;
    for (quint16 port : m_listeners.keys())
        ports.append(port);
    status.insert("listeningPorts", ports);
    QSaveFile file(m_options.statusFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(status).toJson());
        file.commit();
    }
}

void AgentSimulator::touch()
{
    m_idle.restart();
}

void AgentSimulator::watch()
{
    if (m_options.parentPid > 0 && !processIsAlive(m_options.parentPid)) {
        logLine(QStringLiteral("parent process %1 is gone, stopping").arg(m_options.parentPid));
        QCoreApplication::quit();
        return;
    }
    if (m_activeSessions > 0)
        touch();
    if (m_options.idleTimeoutSec > 0 && m_idle.elapsed() > qint64(m_options.idleTimeoutSec) * 1000) {
        logLine(QStringLiteral("idle for %1 s, stopping").arg(m_options.idleTimeoutSec));
        QCoreApplication::quit();
    }
}
