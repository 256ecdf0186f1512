// Connecting a phone: the device record, the connect step over USB (through
// the stand-in adb) and over WiFi, and the two connection workers, run against
// the phone simulator and a scripted agent.

#include "android/AgentConnection.h"
#include "android/AndroidConnectWithUSBThread.h"
#include "android/AndroidConnectWithWiFiThread.h"
#include "android/AndroidDevice.h"
#include "android/SimpleProtocol.h"
#include "app/AppFolders.h"
#include "work/HeadlessProgress.h"

#include "ScriptedAgent.h"
#include "StandInTools.h"

#include <QJsonObject>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString Serial = QStringLiteral("SIM0001");
const QString Identity = QStringLiteral(
    "version=32;model=Pixel 7;manufacturer=Google;imei=356938035643809;uid=7f3a9c;sdk=33;sdk_id=33;"
    "root=1;storage1=/storage/emulated/0;mmc=310");

const QString InstallFailurePrefix = QStringLiteral(
    "Please go to Google Play on your Android Phone to download and install Ferrywright SMS Sync first and "
    "then try again. <br/><br/>Error:");
const QString TooOld = QStringLiteral(
    "Ferrywright SMS Sync on Android is too old. 3.1.10 needed. Please update it from Google Play.");

AgentTimings quickTimings()
{
    AgentTimings timings;
    timings.connectTimeoutMs = 4000;
    timings.attemptTimeoutMs = 1000;
    timings.retryPauseMs = 20;
    timings.launcherTimeoutMs = 4000;
    timings.postInstallSleepMs = 0;
    return timings;
}

QStringList withoutAdbPrelude(const QList<QStringList> &calls, const QString &verb)
{
    for (const QStringList &call : calls) {
        if (call.value(2) == verb)
            return call;
    }
    return {};
}

} // namespace

class TestConnect : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QByteArray m_savedHome;
    QTemporaryDir m_work;
    QString m_fakePackage;

    QString storeFolder(const char *name) const { return m_work.filePath(QLatin1String(name)); }

    // A phone plugged into the stand-in adb through the simulator.
    bool plugPhone(SimulatedPhone &phone, const QStringList &options)
    {
        FakeAdbWorld *world = m_world.get();
        if (!phone.start(QStringList{"--adb-state", world->statePath(), "--serial", Serial, "--info", Identity}
                         + options))
            return false;
        // The simulator announces its launcher before it plugs itself in.
        return QTest::qWaitFor([world] { return world->adb({"devices"}).contains(Serial.toUtf8()); }, 10000);
    }

    std::unique_ptr<FakeAdbWorld> m_world;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        resetDataRootCacheForTests();
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        QVERIFY2(QFileInfo(standInTool("adb")).isExecutable(), "build the adb target");
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        setAgentTimings(quickTimings());

        // The stand-in adb installs anything shaped like a package.
        m_fakePackage = m_work.filePath("agent.apk");
        QFile package(m_fakePackage);
        QVERIFY(package.open(QIODevice::WriteOnly));
        package.write(QByteArray("PK\x03\x04", 4) + QByteArray(60, '\0'));
    }

    void cleanupTestCase()
    {
        simpleprotocol::setAgentPortSource({});
        setAgentTimings(AgentTimings());
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    void init()
    {
        m_world = std::make_unique<FakeAdbWorld>();
        AndroidConnectWithUSBThread::setAgentPackageSource(m_fakePackage);
        setAgentTimings(quickTimings());
    }

    void cleanup()
    {
        m_world.reset();
        AndroidConnectWithUSBThread::setAgentPackageSource(QString());
    }

    // --- the device record -------------------------------------------------

    void infoText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("mmc");
        QTest::addColumn<QString>("imei");

        QTest::newRow("example") << "version=12;model=Nexus 5;manufacturer=LGE;imei=1234;mmc=310" << 12
                                 << "LGE Nexus 5" << "310" << "1234";
        QTest::newRow("no model") << "version=12;manufacturer=LGE" << 12 << "LGE" << "" << "";
        QTest::newRow("trailing pair without ;") << "manufacturer=LGE;mmc=310" << 0 << "LGE" << "310" << "";
        QTest::newRow("empty text") << "" << 0 << "" << "" << "";
        QTest::newRow("later duplicate wins") << "imei=1;imei=2" << 0 << "" << "" << "2";
        QTest::newRow("version not a number") << "version=abc;model=X" << 0 << "X" << "" << "";
        QTest::newRow("unknown key ignored") << "colour=red;version=10" << 10 << "" << "" << "";
        QTest::newRow("values kept untrimmed") << "model= A ;manufacturer=B" << 0 << "B  A" << "" << "";
    }

    void infoText()
    {
        QFETCH(QString, text);
        AndroidDevice device;
        device.applyInfoText(text);
        QTEST(device.version, "version");
        QTEST(device.displayName(), "displayName");
        QTEST(device.mmc, "mmc");
        QTEST(device.imei, "imei");
    }

    void allInfoKeysAreRead()
    {
        AndroidDevice device;
        device.applyInfoText(Identity);
        QCOMPARE(device.version, 32);
        QCOMPARE(device.model, QStringLiteral("Pixel 7"));
        QCOMPARE(device.manufacturer, QStringLiteral("Google"));
        QCOMPARE(device.imei, QStringLiteral("356938035643809"));
        QCOMPARE(device.uid, QStringLiteral("7f3a9c"));
        QCOMPARE(device.sdk, QStringLiteral("33"));
        QCOMPARE(device.sdkId, 33);
        QVERIFY(device.root);
        QCOMPARE(device.storage1, QStringLiteral("/storage/emulated/0"));
        QCOMPARE(device.mmc, QStringLiteral("310"));
    }

    void deviceKeyFollowsTheRoad()
    {
        AndroidDevice device;
        device.serial = Serial;
        device.uid = QStringLiteral("uid-1");
        QCOMPARE(device.deviceKey(), Serial);
        device.viaWifi = true;
        QCOMPARE(device.deviceKey(), QStringLiteral("uid-1"));
    }

    void cacheFolderStaysInsideTheCache_data()
    {
        QTest::addColumn<QString>("imei");
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("folder");
        QTest::newRow("imei") << "356938035643809" << "u" << "356938035643809";
        QTest::newRow("separators dropped") << "../../evil" << "u" << "....evil";
        QTest::newRow("dots only: the uid") << ".." << "u1" << "u1";
        QTest::newRow("empty: the uid") << "" << "u2" << "u2";
        QTest::newRow("nothing usable") << "" << "/" << "unknown";
        QTest::newRow("long: shortened") << QString(300, 'j') << "u" << QString(MaxSentFileNameBytes, 'j');
        QTest::newRow("control characters dropped") << QString::fromLatin1("ab\0c\x06\nd", 7) << "u" << "abcd";
    }

    void cacheFolderStaysInsideTheCache()
    {
        QFETCH(QString, imei);
        QFETCH(QString, uid);
        AndroidDevice device;
        device.imei = imei;
        device.uid = uid;
        const QString cache = dataRootDir().absoluteFilePath(QStringLiteral("android_cache"));
        const QString folder = device.cacheFolder();
        QTEST(QFileInfo(folder).fileName(), "folder");
        QCOMPARE(QFileInfo(folder).absolutePath(), cache);
        QVERIFY(QFileInfo(folder).isDir());
    }

    void urlPort_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("port");
        QTest::newRow("device") << "device2://127.0.0.1:43005" << 43005;
        QTest::newRow("download") << "backup2://127.0.0.1:10001/mms/" << 10001;
        QTest::newRow("none") << "backup2://127.0.0.1/mms/" << -1;
    }

    void urlPort()
    {
        QFETCH(QString, url);
        QFETCH(int, port);
        if (port < 0)
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, agentUrlPort(url));
        else
            QCOMPARE(agentUrlPort(url), port);
    }

    // --- USB -----------------------------------------------------------------

    void usbInstallsMissingAgentThenReadsTheIdentity()
    {
        SimulatedPhone phone(storeFolder("usb-install"));
        QVERIFY(plugPhone(phone, {"--agent-missing"}));

        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);

        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));
        QVERIFY(progress.resultText().isEmpty());
        QCOMPARE(progress.status(), QStringLiteral("IDS_GET_ANDROID_DEVICE_INFO"));
        QCOMPARE(progress.value(), 99);
        const AndroidDevice &device = worker.device();
        QCOMPARE(device.serial, Serial);
        QVERIFY(!device.viaWifi);
        QCOMPARE(device.version, 32);
        QCOMPARE(device.imei, QStringLiteral("356938035643809"));
        QCOMPARE(device.mmc, QStringLiteral("310"));
        QCOMPARE(device.displayName(), QStringLiteral("Google Pixel 7"));

        const QString copied = dataRootDir().absoluteFilePath(QStringLiteral("com.ferrywright.smssync.apk"));
        QCOMPARE(m_world->countCalls({"-s", Serial, "install", copied}), 1);
        QFile package(copied);
        QVERIFY(package.open(QIODevice::ReadOnly));
        QVERIFY(package.readAll().startsWith("PK"));
        QCOMPARE(package.permissions() & (QFileDevice::ReadOwner | QFileDevice::WriteOwner),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(phone.waitForExchangesEnded(1));
        QCOMPARE(phone.counter("deviceInfoExchanges"), 1);
    }

    void usbStartsTheAgentByBroadcastAndForward()
    {
        SimulatedPhone phone(storeFolder("usb-present"));
        QVERIFY(plugPhone(phone, {}));
        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));

        const QList<QStringList> calls = m_world->calls();
        QVERIFY(withoutAdbPrelude(calls, "install").isEmpty());
        QCOMPARE(withoutAdbPrelude(calls, "shell").mid(0, 5), (QStringList{"-s", Serial, "shell", "pm", "-l"}));
        const auto broadcast = std::find_if(calls.begin(), calls.end(),
                                            [](const QStringList &call) { return call.contains("broadcast"); });
        QVERIFY(broadcast != calls.end());
        QCOMPARE(broadcast->size(), 9);
        QCOMPARE(broadcast->mid(0, 8), (QStringList{"-s", Serial, "shell", "am", "broadcast", "-n",
                                                    "com.ferrywright.smssync/.AdbSyncBroadcastReceiver", "-d"}));
        QVERIFY(broadcast->at(8).startsWith("device2://127.0.0.1:"));
        const QString port = "tcp:" + QString::number(agentUrlPort(broadcast->at(8)));
        // Forwarded before the broadcast, without taking over another's
        // forward, and dropped when the exchange has ended.
        const QStringList forward{"-s", Serial, "forward", "--no-rebind", port, port};
        QVERIFY(calls.indexOf(forward) >= 0 && calls.indexOf(forward) < broadcast - calls.begin());
        QVERIFY(calls.indexOf(QStringList{"-s", Serial, "forward", "--remove", port}) > calls.indexOf(forward));
        QVERIFY(m_world->state().value("forwards").toObject().isEmpty());
    }

    // The port rule's first choice is taken when something else holds it: a
    // listener on this machine, or a forward of adb (another program's).
    void usbStepsPastATakenPort_data()
    {
        QTest::addColumn<bool>("forwardedByAdb");
        QTest::newRow("listening here") << false;
        QTest::newRow("forwarded by adb") << true;
    }

    void usbStepsPastATakenPort()
    {
        QFETCH(bool, forwardedByAdb);
        SimulatedPhone phone(storeFolder("usb-taken-port"));
        QVERIFY(plugPhone(phone, {}));
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const int taken = holder.serverPort();
        const QString takenSpec = "tcp:" + QString::number(taken);
        if (forwardedByAdb) {
            holder.close();
            m_world->adb({"fake", "plug", "OTHER"});
            m_world->adb({"-s", "OTHER", "forward", takenSpec, takenSpec});
        }
        simpleprotocol::setAgentPortSource([taken] { return taken; });
        const auto restorePorts =
            qScopeGuard([] { simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); }); });

        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));
        QCOMPARE(worker.device().imei, QStringLiteral("356938035643809"));
        for (const QStringList &call : m_world->calls()) {
            if (call.contains("broadcast"))
                QVERIFY2(agentUrlPort(call.last()) != taken, qPrintable(call.last()));
        }
    }

    // A forward re-pointed by another adb client while the exchange starts:
    // the agent that answers may be another phone's. The error says what
    // happened instead of advising to reinstall the agent.
    void usbPortTakenOverIsNamed()
    {
        SimulatedPhone phone(storeFolder("usb-port-taken-over"));
        QVERIFY(plugPhone(phone, {}));
        const ForwardTakeover otherProgram(*m_world, "OTHER");
        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY(otherProgram.done());
        QVERIFY(!progress.succeeded());
        QVERIFY2(progress.errorText().contains("taken over by another program (it now leads to phone OTHER)")
                     && !progress.errorText().contains("Google Play"),
                 qPrintable(progress.errorText()));
    }

    void usbAgentVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("9 is too old") << "9" << false;
        QTest::newRow("10 is enough") << "10" << true;
        QTest::newRow("0 is too old") << "0" << false;
    }

    void usbAgentVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, accepted);
        SimulatedPhone phone(storeFolder("usb-version"));
        QVERIFY(plugPhone(phone, {"--agent-version", version}));
        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QCOMPARE(progress.succeeded(), accepted);
        QCOMPARE(progress.errorText(), accepted ? QString() : TooOld);
    }

    void usbInstallFailure_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("installError");
        QTest::addColumn<QString>("expectedDetail");
        QTest::newRow("phone refuses the package")
            << QString() << "INSTALL_FAILED_INSUFFICIENT_STORAGE" << "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]";
        QTest::newRow("placeholder package") << ":/res/com.ferrywright.smssync.apk" << QString()
                                             << "com.ferrywright.smssync.apk is not an Android package.";
        QTest::newRow("no package at all") << "/nonexistent/agent.apk" << QString() << "can not copy";
    }

    void usbInstallFailure()
    {
        QFETCH(QString, package);
        QFETCH(QString, installError);
        QFETCH(QString, expectedDetail);
        if (package.startsWith(QLatin1String(":/"))) {
            QFile resource(package);
            QVERIFY(resource.open(QIODevice::ReadOnly));
            if (resource.read(2) == "PK")
                QSKIP("this build embeds a real agent package");
        }
        if (!package.isEmpty())
            AndroidConnectWithUSBThread::setAgentPackageSource(package);
        SimulatedPhone phone(storeFolder("usb-install-fails"));
        QVERIFY(plugPhone(phone, {"--agent-missing"}));
        if (!installError.isEmpty())
            m_world->adb({"fake", "install-error", Serial, installError});

        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY(!progress.succeeded());
        QVERIFY2(progress.errorText().startsWith(InstallFailurePrefix), qPrintable(progress.errorText()));
        QVERIFY2(progress.errorText().mid(InstallFailurePrefix.size()).contains(expectedDetail),
                 qPrintable(progress.errorText()));
        QCOMPARE(phone.counter("deviceInfoExchanges"), 0);
    }

    void usbAgentNeverReady_data()
    {
        QTest::addColumn<QStringList>("simulatorOptions");
        QTest::newRow("nothing listens") << QStringList();
        QTest::newRow("ready comes too late") << QStringList{"--ready-delay", "3000"};
    }

    void usbAgentNeverReady()
    {
        QFETCH(QStringList, simulatorOptions);
        AgentTimings timings = quickTimings();
        timings.connectTimeoutMs = 1200;
        timings.attemptTimeoutMs = 400;
        setAgentTimings(timings);

        SimulatedPhone phone(storeFolder("usb-silent"));
        if (simulatorOptions.isEmpty()) {
            // A phone whose agent never hears the broadcast.
            m_world->adb({"fake", "plug", Serial, "device", "--port", QString::number(freeLoopbackPort())});
        } else {
            QVERIFY(plugPhone(phone, simulatorOptions));
        }
        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);

        QVERIFY(!progress.succeeded());
        const QString error = progress.errorText();
        QVERIFY2(error.startsWith(QStringLiteral("Please try the following:<br/><br/>1 Go to Google Play")),
                 qPrintable(error));
        QVERIFY(error.contains(QStringLiteral("<b>HERE</b></a> to run Ferrywright Device Manager")));
        static const QRegularExpression startFailed(
            QStringLiteral("<br/><br/>start device2://127\\.0\\.0\\.1:\\d+ failed\\.$"));
        QVERIFY2(startFailed.match(error).hasMatch(), qPrintable(error));
    }

    void usbCancelBeforeInstallEndsQuietly()
    {
        SimulatedPhone phone(storeFolder("usb-cancel"));
        QVERIFY(plugPhone(phone, {"--agent-missing"}));
        HeadlessProgress progress;
        progress.cancel();
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY(progress.errorText().isEmpty());
        QVERIFY(withoutAdbPrelude(m_world->calls(), "install").isEmpty());
        QCOMPARE(phone.counter("deviceInfoExchanges"), 0);
    }

    void usbPackageListFailureSkipsTheInstall()
    {
        SimulatedPhone phone(storeFolder("usb-pm-fails"));
        QVERIFY(plugPhone(phone, {}));
        m_world->adb({"fake", "stdout", "pm", ""});
        HeadlessProgress progress;
        AndroidConnectWithUSBThread worker(Serial, &progress);
        progress.runToEnd(worker);
        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));
        QVERIFY(withoutAdbPrelude(m_world->calls(), "install").isEmpty());
    }

    // --- WiFi ----------------------------------------------------------------

    void wifiReadsTheIdentity()
    {
        SimulatedPhone phone(storeFolder("wifi"));
        QVERIFY(phone.start({"--info", Identity}));
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        QCOMPARE(worker.device().port, simpleprotocol::WifiLauncherPort);
        worker.setLauncherPort(phone.launcherPort());
        progress.runToEnd(worker);

        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));
        const AndroidDevice &device = worker.device();
        QVERIFY(device.viaWifi);
        QCOMPARE(device.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(device.uid, QStringLiteral("7f3a9c"));
        QCOMPARE(device.deviceKey(), QStringLiteral("7f3a9c"));
        QCOMPARE(device.version, 32);
        QVERIFY(device.serial.isEmpty());
    }

    void wifiLauncherRefuses()
    {
        SimulatedPhone phone(storeFolder("wifi-refuses"));
        QVERIFY(phone.start({"--refuse", "busy"}));
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        worker.setLauncherPort(phone.launcherPort());
        progress.runToEnd(worker);
        static const QRegularExpression refused(QStringLiteral("^start device2://127\\.0\\.0\\.1:\\d+ failed\\.busy$"));
        QVERIFY2(refused.match(progress.errorText()).hasMatch(), qPrintable(progress.errorText()));
    }

    void wifiNothingListening()
    {
        const int port = freeLoopbackPort();
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        worker.setLauncherPort(port);
        progress.runToEnd(worker);
        QCOMPARE(progress.errorText(), QStringLiteral("can not connect 127.0.0.1:%1.").arg(port));
    }

    void wifiExchangePortClosed()
    {
        ScriptedAgent agent({}, "1", false);
        const int launcherPort = agent.startLauncher();
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        worker.setLauncherPort(launcherPort);
        progress.runToEnd(worker);
        QCOMPARE(progress.errorText(), QStringLiteral("connec %1 failed.").arg(QString::fromLatin1(agent.url())));
    }

    void wifiEmptyHelloIsTooOld()
    {
        ScriptedAgent agent([](AgentLines &lines) {
            lines.send("$hello:");
            lines.read();
        });
        const int launcherPort = agent.startLauncher();
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        worker.setLauncherPort(launcherPort);
        progress.runToEnd(worker);
        agent.wait();
        QCOMPARE(progress.errorText(), TooOld);
        QVERIFY(agent.url().startsWith("device2://127.0.0.1:"));
        QCOMPARE(agent.received(), (QList<QByteArray>{"$bye:"}));
    }

    void wifiAgentErrorIsReportedAlone()
    {
        ScriptedAgent agent([](AgentLines &lines) { lines.send("$error:" + QByteArray("no permission").toBase64()); });
        const int launcherPort = agent.startLauncher();
        HeadlessProgress progress;
        AndroidConnectWithWiFiThread worker(QStringLiteral("127.0.0.1"), &progress);
        worker.setLauncherPort(launcherPort);
        progress.runToEnd(worker);
        QCOMPARE(progress.errorText(), QStringLiteral("no permission"));
    }
};

QTEST_GUILESS_MAIN(TestConnect)
#include "tst_connect.moc"
