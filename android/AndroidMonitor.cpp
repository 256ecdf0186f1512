#include "android/AndroidMonitor.h"

#include "android/AdbClient.h"
#include "app/Platform.h"

#include <QDebug>
#include <QMutexLocker>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <memory>

namespace {

// Closing must not hang on a stuck adb while the server is stopped.
const int KillServerLimitMs = 10000;

} // namespace

AndroidMonitor::AndroidMonitor(QObject *parent)
    : QObject(parent)
{
    registerAdbDeviceMetaType();
}

AndroidMonitor::~AndroidMonitor()
{
    qDebug("~AndroidMonitor begin");
    {
        QMutexLocker locker(&m_mutex);
        m_stop = true;
        m_wake.wakeAll();
    }
    if (m_started) {
        m_loop.waitForFinished();
        AdbClient adb;
        adb.setTimeLimit(KillServerLimitMs);
        adb.killServer();
    }
    qDebug("~AndroidMonitor end");
}

void AndroidMonitor::setPollInterval(int milliseconds)
{
    m_pollInterval = milliseconds;
}

void AndroidMonitor::start()
{
    if (m_started)
        return;
    m_started = true;
    auto promise = std::make_shared<QPromise<void>>();
    m_loop = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([this, promise] {
        pollLoop();
        promise->finish();
    });
}

QSet<QString> AndroidMonitor::knownSerials() const
{
    QMutexLocker locker(&m_mutex);
    return m_known;
}

bool AndroidMonitor::hasKnownDevices() const
{
    QMutexLocker locker(&m_mutex);
    return !m_known.isEmpty();
}

void AndroidMonitor::pollLoop()
{
    ensureServerRunning();
    while (!m_stop) {
        try {
            pollDevicesOnce();
        } catch (const std::exception &) {
            // A failing list (adb wrote to standard error, or could not start)
            // changes nothing; the next poll tries again.
        }
        if (!waitForNextPoll())
            break;
    }
}

void AndroidMonitor::ensureServerRunning()
{
    AdbClient adb;
    adb.setAbortFlag(&m_stop);
    const QString output = adb.startServer();
    if (output.contains(QLatin1String("daemon started successfully"), Qt::CaseInsensitive) || m_stop)
        return;
    // A server that was already running may belong to a stale install; the
    // device manager repairs the drivers before the server is asked again.
    Platform::runDeviceManager(&m_stop);
    if (!m_stop)
        adb.startServer();
}

void AndroidMonitor::pollDevicesOnce()
{
    AdbClient adb;
    adb.setAbortFlag(&m_stop);
    const QList<AdbDevice> devices = adb.devices();

    QSet<QString> current;
    QList<AdbDevice> appeared;
    QStringList vanished;
    {
        QMutexLocker locker(&m_mutex);
        for (const AdbDevice &device : devices) {
            current.insert(device.serial);
            if (!m_known.contains(device.serial)) {
                m_known.insert(device.serial);
                appeared.append(device);
            }
        }
        for (const QString &serial : std::as_const(m_known)) {
            if (!current.contains(serial))
                vanished.append(serial);
        }
        for (const QString &serial : std::as_const(vanished))
            m_known.remove(serial);
    }
    // Emitted outside the lock: a direct receiver may ask for the known set.
    for (const AdbDevice &device : std::as_const(appeared))
        emit deviceConnected(device);
    for (const QString &serial : std::as_const(vanished))
        emit deviceDisconnected(serial);
}

bool AndroidMonitor::waitForNextPoll()
{
    QMutexLocker locker(&m_mutex);
    if (!m_stop)
        m_wake.wait(&m_mutex, m_pollInterval);
    return !m_stop;
}
