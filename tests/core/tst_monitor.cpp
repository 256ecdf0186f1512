// The device monitor against the stand-in adb: plugging, unplugging, list
// order, failing lists, the server check and the shutdown.
#include "StandInTools.h"

#include "android/AndroidMonitor.h"

#include <QTest>

#include <memory>

namespace {

const int FastPollMs = 150;
const int WaitMs = 15000;

// Collects the monitor's announcements on the test's thread, through the
// queued connections a window would get.
class Announcements : public QObject
{
public:
    explicit Announcements(AndroidMonitor &monitor)
    {
        connect(&monitor, &AndroidMonitor::deviceConnected, this,
                [this](const AdbDevice &device) { events.append("+" + device.serial + " " + device.state); });
        connect(&monitor, &AndroidMonitor::deviceDisconnected, this,
                [this](const QString &serial) { events.append("-" + serial); });
    }
    QStringList events;
};

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void announcesAPlugWithinOnePoll();
    void announcesAnUnplug();
    void announcesTwoPhonesInListOrder();
    void failingListChangesNothing();
    void stateChangeIsNotAnnouncedAgain();
    void freshServerSkipsTheDeviceManager();
    void runningServerIsAskedTwice();
    void destructionStopsTheServer();

private:
    // Starts a monitor whose polling has already listed the devices once.
    void startMonitor(int pollMs);
    // Waits until adb has been asked for the device list `more` more times.
    void waitForPolls(int more);
    int devicesCalls() const;

    std::unique_ptr<FakeAdbWorld> m_world;
    std::unique_ptr<AndroidMonitor> m_monitor;
    std::unique_ptr<Announcements> m_seen;
};

void TestMonitor::init()
{
    m_world = std::make_unique<FakeAdbWorld>();
}

void TestMonitor::cleanup()
{
    m_seen.reset();
    m_monitor.reset();
    m_world.reset();
}

void TestMonitor::startMonitor(int pollMs)
{
    m_monitor = std::make_unique<AndroidMonitor>();
    m_monitor->setPollInterval(pollMs);
    m_seen = std::make_unique<Announcements>(*m_monitor);
    m_monitor->start();
    QTRY_VERIFY_WITH_TIMEOUT(devicesCalls() >= 1, WaitMs);
}

int TestMonitor::devicesCalls() const
{
    return m_world->countCalls({"devices"});
}

void TestMonitor::waitForPolls(int more)
{
    const int target = devicesCalls() + more;
    QTRY_VERIFY_WITH_TIMEOUT(devicesCalls() >= target, WaitMs);
}

void TestMonitor::announcesAPlugWithinOnePoll()
{
    startMonitor(AndroidMonitor::DefaultPollIntervalMs);
    QVERIFY(!m_monitor->hasKnownDevices());
    const int pollsBefore = devicesCalls();

    // A simulated phone plugs itself into the stand-in adb while it runs.
    QTemporaryDir storeDir;
    auto phone = std::make_unique<SimulatedPhone>(storeDir.filePath("phone"));
    QVERIFY(phone->start({"--adb-state", m_world->statePath(), "--serial", "SIM0001"}));
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, QStringList{"+SIM0001 device"}, WaitMs);
    // The very next device list after the plug announced it.
    QCOMPARE(devicesCalls(), pollsBefore + 1);
    QCOMPARE(m_monitor->knownSerials(), QSet<QString>{"SIM0001"});

    phone.reset();  // stopping the simulator unplugs the phone
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, (QStringList{"+SIM0001 device", "-SIM0001"}), WaitMs);
    QCOMPARE(devicesCalls(), pollsBefore + 2);
    QVERIFY(!m_monitor->hasKnownDevices());
}

void TestMonitor::announcesAnUnplug()
{
    m_world->adb({"fake", "plug", "SIM0001"});
    m_world->adb({"fake", "plug", "SIM0002"});
    startMonitor(FastPollMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events.size(), 2, WaitMs);
    m_world->adb({"fake", "unplug", "SIM0001"});
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events.size(), 3, WaitMs);
    QCOMPARE(m_seen->events.last(), QString("-SIM0001"));
    QCOMPARE(m_monitor->knownSerials(), QSet<QString>{"SIM0002"});
}

void TestMonitor::announcesTwoPhonesInListOrder()
{
    startMonitor(FastPollMs);
    // One state change puts both phones in the list at once.
    m_world->adb({"fake", "stdout", "devices", "List of devices attached\nZ9\tdevice\nA1\tunauthorized\n\n"});
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, (QStringList{"+Z9 device", "+A1 unauthorized"}), WaitMs);
}

void TestMonitor::failingListChangesNothing()
{
    m_world->adb({"fake", "plug", "SIM0001"});
    startMonitor(FastPollMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, QStringList{"+SIM0001 device"}, WaitMs);

    m_world->adb({"fake", "stderr", "devices", "adb: protocol fault\n"});
    m_world->adb({"fake", "unplug", "SIM0001"});
    waitForPolls(3);
    QCOMPARE(m_seen->events, QStringList{"+SIM0001 device"});
    QCOMPARE(m_monitor->knownSerials(), QSet<QString>{"SIM0001"});

    m_world->adb({"fake", "clear", "devices"});
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, (QStringList{"+SIM0001 device", "-SIM0001"}), WaitMs);
}

void TestMonitor::stateChangeIsNotAnnouncedAgain()
{
    m_world->adb({"fake", "plug", "SIM0001", "unauthorized"});
    startMonitor(FastPollMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_seen->events, QStringList{"+SIM0001 unauthorized"}, WaitMs);
    m_world->adb({"fake", "state", "SIM0001", "device"});
    waitForPolls(3);
    QCOMPARE(m_seen->events, QStringList{"+SIM0001 unauthorized"});
}

void TestMonitor::freshServerSkipsTheDeviceManager()
{
    startMonitor(FastPollMs);
    QCOMPARE(m_world->countCalls({"start-server"}), 1);
    QCOMPARE(m_world->calls().first(), QStringList{"start-server"});
}

void TestMonitor::runningServerIsAskedTwice()
{
    // No "daemon started successfully": the device manager runs (nothing on
    // this platform without the program) and the server is asked once more.
    m_world->adb({"fake", "server", "on"});
    startMonitor(FastPollMs);
    QCOMPARE(m_world->countCalls({"start-server"}), 2);
}

void TestMonitor::destructionStopsTheServer()
{
    startMonitor(AndroidMonitor::DefaultPollIntervalMs);
    QVERIFY(m_world->state().value("server").toBool());
    m_monitor.reset();  // must not wait out the 3-second pause
    QCOMPARE(m_world->calls().last(), QStringList{"kill-server"});
    QVERIFY(!m_world->state().value("server").toBool());
}

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
