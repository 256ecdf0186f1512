#pragma once

#include "android/AdbDevice.h"

#include <QFuture>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QWaitCondition>

#include <atomic>

// Watches for Android phones for the life of the main window: makes sure the
// ADB server runs, then lists the devices every few seconds on a task of the
// global thread pool and announces each serial that appears or goes away.
// Signals are emitted from the pool thread, so receivers get queued calls.
class AndroidMonitor : public QObject
{
    Q_OBJECT

public:
    static const int DefaultPollIntervalMs = 3000;

    explicit AndroidMonitor(QObject *parent = nullptr);
    // Stops the polling, waits for it, then stops the ADB server.
    ~AndroidMonitor() override;

    // Starts polling; call once, after connecting the signals.
    void start();

    // Pause between two device lists; only for tests, before start().
    void setPollInterval(int milliseconds);

    // Serials announced as connected and not yet as gone.
    QSet<QString> knownSerials() const;
    bool hasKnownDevices() const;

signals:
    void deviceConnected(AdbDevice device);
    void deviceDisconnected(QString devid);

private:
    void pollLoop();
    void ensureServerRunning();
    void pollDevicesOnce();
    // Sleeps one interval; false when the monitor is stopping.
    bool waitForNextPoll();

    std::atomic_bool m_stop{false};
    int m_pollInterval = DefaultPollIntervalMs;
    mutable QMutex m_mutex;         // guards m_known and the sleep
    QWaitCondition m_wake;
    QSet<QString> m_known;
    QFuture<void> m_loop;
    bool m_started = false;
};
