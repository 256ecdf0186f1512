#pragma once

#include "AgentSession.h"
#include "PhoneStore.h"
#include "SimCounters.h"
#include "SimOptions.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <atomic>

class ExchangeListener;
class QTcpSocket;

// The simulated phone: a launcher that accepts start URLs, one listener per
// started exchange, a thread per exchange connection, the status file, and the
// watchdogs that end the program when its parent is gone or it sat idle.
class AgentSimulator : public QObject
{
    Q_OBJECT

public:
    explicit AgentSimulator(const ServeOptions &options, QObject *parent = nullptr);

    // Opens the launcher and registers with the stand-in adb; throws on failure.
    void start();
    // Unregisters and writes the final status; call before the process ends.
    void shutdown();

    quint16 launcherPort() const;

private:
    void onLauncherConnection();
    void answerLauncher(QTcpSocket *launcher);
    // Listens for the exchange of `url`; returns the reason when it cannot.
    QString openExchange(const QString &url);
    // The stand-in adb's forward: holds the port on 127.0.0.1 from now on, as
    // the adb server does; connections are closed until a start URL arms it.
    // Returns the reason when it cannot.
    QString holdForwardedPort(const QString &spec);
    // The listener on `port`, opened when there is none; null with `failure`
    // set when the port cannot be listened on.
    ExchangeListener *listenerOn(int port, QString &failure);
    void startSession(ExchangeListener *listener, qintptr descriptor);
    void onSessionFinished(ExchangeListener *listener, AgentSession::Kind kind, bool completed,
                           const QString &failure);
    void writeStatus();
    void touch();
    void watch();

    ServeOptions m_options;
    PhoneStore m_store;
    SimCounters m_counters;
    QTcpServer m_launcher;
    QMap<quint16, ExchangeListener *> m_listeners;
    QTimer m_statusTimer;
    QTimer m_watchTimer;
    QElapsedTimer m_idle;
    std::atomic_int m_activeSessions{0};
    bool m_registered = false;
};
