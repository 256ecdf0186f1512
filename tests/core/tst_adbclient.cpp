// The adb client through the stand-in adb: exact argument lists, quiet and
// throwing modes, and the parsing of devices, packages, install and am.
#include "StandInTools.h"

#include "android/AdbClient.h"
#include "android/AdbOutput.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace {

QString messageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::runtime_error &error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("<no exception>");
}

} // namespace

class TestAdbClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void devicePredicates_data();
    void devicePredicates();
    void deviceLinesThroughTheStandIn_data();
    void deviceLinesThroughTheStandIn();
    void deviceListParsing_data();
    void deviceListParsing();
    void devicesFailOnStandardErrorText();
    void devicesListInOutputOrder();

    void packagesWithAndWithoutTheAgent();
    void packagesOfAMissingDeviceAreEmpty();
    void installSucceeds();
    void installFailureCarriesTheOutput();
    void installFindsSuccessAfterErrorText();
    void amBroadcastArguments();
    void amArgumentOrder_data();
    void amArgumentOrder();
    void amFailsOnAnErrorLine_data();
    void amFailsOnAnErrorLine();
    void forwardArgumentsAndFailure();
    void forwardsRefuseRebindAndAreRemoved();
    void serverStartAndStop();
    void otherCommandsArguments();

    void missingAdbIsReportedPerMode();
    void timeLimitEndsAHangingAdb();
    void abortFlagEndsAHangingAdb();

private:
    std::unique_ptr<FakeAdbWorld> m_world;
};

void TestAdbClient::init()
{
    m_world = std::make_unique<FakeAdbWorld>();
    m_world->adb({"fake", "server", "on"});
}

void TestAdbClient::cleanup()
{
    m_world.reset();
}

void TestAdbClient::devicePredicates_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("unavailable");
    QTest::newRow("device") << "device" << true << false;
    QTest::newRow("DEVICE any case") << "DEVICE" << true << false;
    QTest::newRow("offline") << "offline" << false << true;
    QTest::newRow("Unauthorized any case") << "Unauthorized" << false << true;
    QTest::newRow("recovery") << "recovery" << false << false;
}

void TestAdbClient::devicePredicates()
{
    QFETCH(QString, state);
    QFETCH(bool, online);
    QFETCH(bool, unavailable);
    const AdbDevice device{"x\t" + state, "x", state};
    QCOMPARE(device.isOnline(), online);
    QCOMPARE(device.isUnavailable(), unavailable);
}

void TestAdbClient::deviceLinesThroughTheStandIn_data()
{
    QTest::addColumn<QString>("plugged");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("parsedState");
    QTest::newRow("unauthorized") << "0123456789ABCDEF" << "unauthorized" << "0123456789ABCDEF" << "unauthorized";
    QTest::newRow("upper-case state") << "SIM-01_a" << "DEVICE" << "SIM-01_a" << "DEVICE";
    QTest::newRow("serial split at colon") << "192.168.1.5:5555" << "device" << "192" << "168";
}

void TestAdbClient::deviceLinesThroughTheStandIn()
{
    QFETCH(QString, plugged);
    QFETCH(QString, state);
    QFETCH(QString, serial);
    QFETCH(QString, parsedState);
    m_world->adb({"fake", "plug", plugged, state});
    const QList<AdbDevice> devices = AdbClient().devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices.first().serial, serial);
    QCOMPARE(devices.first().state, parsedState);
    QCOMPARE(devices.first().line, plugged + '\t' + state);
}

void TestAdbClient::deviceListParsing_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("serials");
    QTest::newRow("no header") << "SIM1\tdevice\n" << QStringList();
    QTest::newRow("header any case, CR LF") << "list OF devices attached\r\nSIM1\tdevice\r\n\r\n" << QStringList{"SIM1"};
    QTest::newRow("daemon lines before header") << "* daemon started successfully\nList of devices attached\nA\tdevice\n"
                                                << QStringList{"A"};
    QTest::newRow("line without state skipped") << "List of devices attached\nlonely\nB\toffline\n" << QStringList{"B"};
}

void TestAdbClient::deviceListParsing()
{
    QFETCH(QString, output);
    QFETCH(QStringList, serials);
    m_world->adb({"fake", "stdout", "devices", output});
    QStringList parsed;
    for (const AdbDevice &device : AdbClient().devices())
        parsed.append(device.serial);
    QCOMPARE(parsed, serials);
    QCOMPARE(m_world->calls().last(), QStringList{"devices"});
}

void TestAdbClient::devicesFailOnStandardErrorText()
{
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "stderr", "devices", "adb: protocol fault (no status)\n"});
    QCOMPARE(messageOf([] { AdbClient().devices(); }), QString("adb: protocol fault (no status)\n"));

    // A stopped server makes adb print its start-up lines on standard error.
    m_world->adb({"fake", "clear", "devices"});
    m_world->adb({"fake", "server", "off"});
    QVERIFY(messageOf([] { AdbClient().devices(); }).contains("daemon started successfully"));
    QCOMPARE(AdbClient().devices().size(), 1);
}

void TestAdbClient::devicesListInOutputOrder()
{
    m_world->adb({"fake", "plug", "ZED"});
    m_world->adb({"fake", "plug", "ALPHA", "offline"});
    const QList<AdbDevice> devices = AdbClient().devices();
    QCOMPARE(devices.size(), 2);
    QCOMPARE(devices.at(0).serial, QString("ZED"));
    QCOMPARE(devices.at(1).serial, QString("ALPHA"));
    QVERIFY(devices.at(1).isUnavailable());
}

void TestAdbClient::packagesWithAndWithoutTheAgent()
{
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "plug", "SIM2", "--no-agent"});
    const QSet<QString> with = AdbClient().listPackages("SIM1");
    const QSet<QString> without = AdbClient().listPackages("SIM2");
    QVERIFY(with.contains("com.ferrywright.smssync"));
    QVERIFY(with.contains("com.android.phone"));
    QVERIFY(!without.contains("com.ferrywright.smssync"));
    QCOMPARE(with.size(), without.size() + 1);
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM2", "shell", "pm", "-l"}));
}

void TestAdbClient::packagesOfAMissingDeviceAreEmpty()
{
    QVERIFY(AdbClient().listPackages("NOPE").isEmpty());
    m_world->adb({"fake", "stdout", "pm", "package: spaced.name \nnot a package\npackage:\n"});
    m_world->adb({"fake", "plug", "SIM1"});
    QCOMPARE(AdbClient().listPackages("SIM1"), QSet<QString>{"spaced.name"});
}

void TestAdbClient::installSucceeds()
{
    QTemporaryDir dir;
    const QString apk = dir.filePath("com.ferrywright.smssync.apk");
    QFile file(apk);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_world->adb({"fake", "plug", "SIM1", "--no-agent"});
    AdbClient().install("SIM1", apk);
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "install", apk}));
    QVERIFY(AdbClient().listPackages("SIM1").contains("com.ferrywright.smssync"));
}

void TestAdbClient::installFailureCarriesTheOutput()
{
    m_world->adb({"fake", "plug", "SIM1"});
    const QString missing = QStringLiteral("/nonexistent/agent.apk");
    QCOMPARE(messageOf([&] { AdbClient().install("SIM1", missing); }),
             "adb: failed to stat " + missing + ": No such file or directory\n\n");

    QTemporaryDir dir;
    const QString apk = dir.filePath("a.apk");
    QFile(apk).open(QIODevice::WriteOnly);
    m_world->adb({"fake", "install-error", "SIM1", "INSTALL_FAILED_INSUFFICIENT_STORAGE"});
    QCOMPARE(messageOf([&] { AdbClient().install("SIM1", apk); }),
             "adb: failed to install " + apk + ": Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n"
                 "\nPerforming Streamed Install\n");
}

void TestAdbClient::installFindsSuccessAfterErrorText()
{
    QTemporaryDir dir;
    const QString apk = dir.filePath("a.apk");
    QFile(apk).open(QIODevice::WriteOnly);
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "stderr", "install", "WARNING: linker: unused DT entry\n"});
    AdbClient().install("SIM1", apk);
    QCOMPARE(AdbClient().run({"-s", "SIM1", "install", apk}, AdbClient::ErrorMode::Quiet),
             QString("WARNING: linker: unused DT entry\n\nPerforming Streamed Install\nSuccess\n"));
}

void TestAdbClient::amBroadcastArguments()
{
    m_world->adb({"fake", "plug", "SIM1", "--port", QString::number(freeLoopbackPort())});
    AdbClient().am("SIM1", "broadcast", "com.ferrywright.smssync/.AdbSyncBroadcastReceiver", QString(),
                   "device2://127.0.0.1:43005", {}, QString());
    QCOMPARE(m_world->calls().last(),
             (QStringList{"-s", "SIM1", "shell", "am", "broadcast", "-n",
                          "com.ferrywright.smssync/.AdbSyncBroadcastReceiver", "-d", "device2://127.0.0.1:43005"}));
}

void TestAdbClient::amArgumentOrder_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("tail");
    QTest::newRow("nothing optional") << "" << "" << "" << QStringList() << "" << QStringList();
    QTest::newRow("everything") << "c/.R" << "a.ACT" << "x://y" << QStringList{"c1", "c2"} << "text/plain"
                                << QStringList{"-n", "c/.R", "-a", "a.ACT", "-d", "x://y", "-c", "c1", "-c", "c2",
                                               "-t", "text/plain"};
    QTest::newRow("action and type") << "" << "a.ACT" << "" << QStringList() << "t/x"
                                     << QStringList{"-a", "a.ACT", "-t", "t/x"};
}

void TestAdbClient::amArgumentOrder()
{
    QFETCH(QString, component);
    QFETCH(QString, action);
    QFETCH(QString, data);
    QFETCH(QStringList, categories);
    QFETCH(QString, type);
    QFETCH(QStringList, tail);
    m_world->adb({"fake", "plug", "SIM1"});
    AdbClient().am("SIM1", "start", component, action, data, categories, type);
    QCOMPARE(m_world->calls().last(), QStringList({"-s", "SIM1", "shell", "am", "start"}) + tail);
}

void TestAdbClient::amFailsOnAnErrorLine_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("fails");
    QTest::newRow("Error: at line start") << "Starting: Intent { }\nError: Activity not started\n" << true;
    QTest::newRow("indented ERROR:") << "   ERROR: bad component\n" << true;
    QTest::newRow("error: later in the line") << "Broadcast completed: result=0, data=\"error: none\"\n" << false;
    QTest::newRow("plain broadcast") << "Broadcasting: Intent { }\nBroadcast completed: result=0\n" << false;
}

void TestAdbClient::amFailsOnAnErrorLine()
{
    QFETCH(QString, output);
    QFETCH(bool, fails);
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "stdout", "am", output});
    const QString message = messageOf([] { AdbClient().am("SIM1", "broadcast", {}, {}, {}, {}, {}); });
    QCOMPARE(message, fails ? output : QString("<no exception>"));
}

void TestAdbClient::forwardArgumentsAndFailure()
{
    m_world->adb({"fake", "plug", "SIM1"});
    AdbClient().forward("SIM1", 12345, 23456);
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "forward", "tcp:12345", "tcp:23456"}));
    QCOMPARE(messageOf([] { AdbClient().forward("GONE", 1, 1); }),
             QString("adb: error: device 'GONE' not found\n"));
}

// What makes taking an exchange port safe: a forward that refuses to
// re-point, the list of every forward, and dropping one.
void TestAdbClient::forwardsRefuseRebindAndAreRemoved()
{
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "plug", "SIM2"});
    const AdbClient adb;
    adb.forward("SIM1", 12345, 12345, AdbClient::Rebind::Refused);
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "forward", "--no-rebind", "tcp:12345", "tcp:12345"}));
    QCOMPARE(messageOf([&adb] { adb.forward("SIM2", 12345, 12345, AdbClient::Rebind::Refused); }),
             QString("adb: error: cannot rebind existing socket\n"));
    QCOMPARE(adb.tcpForwards(), (QHash<int, QString>{{12345, "SIM1"}}));
    adb.forward("SIM2", 12345, 12345);  // without --no-rebind adb re-points it
    QCOMPARE(adb.tcpForwards(), (QHash<int, QString>{{12345, "SIM2"}}));
    adb.removeForward("SIM2", 12345);
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM2", "forward", "--remove", "tcp:12345"}));
    QVERIFY(adb.tcpForwards().isEmpty());
}

void TestAdbClient::serverStartAndStop()
{
    m_world->adb({"fake", "server", "off"});
    const QString first = AdbClient().startServer();
    QVERIFY(first.contains("daemon started successfully"));
    QCOMPARE(first, QString("* daemon not running; starting now at tcp:5037\n"
                            "* daemon started successfully\n\n"));
    QCOMPARE(AdbClient().startServer(), QString());
    AdbClient().killServer();
    QCOMPARE(m_world->state().value("server").toBool(), false);
    AdbClient().killServer();  // quiet: the complaint of a stopped server is ignored
}

void TestAdbClient::otherCommandsArguments()
{
    m_world->adb({"fake", "plug", "SIM1"});
    QVERIFY(AdbClient().logcat("SIM1").contains("beginning of main"));
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "shell", "logcat", "-d"}));
    AdbClient().forceStop("SIM1", "com.ferrywright.smssync");
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "shell", "am", "force-stop", "com.ferrywright.smssync"}));
    AdbClient().uninstall("SIM1", "com.ferrywright.smssync");
    QCOMPARE(m_world->calls().last(), (QStringList{"-s", "SIM1", "uninstall", "com.ferrywright.smssync"}));
    QCOMPARE(messageOf([] { AdbClient().uninstall("SIM1", "com.ferrywright.smssync"); }),
             QString("Failure [DELETE_FAILED_INTERNAL_ERROR]\n"));
}

void TestAdbClient::missingAdbIsReportedPerMode()
{
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    const QString quiet = AdbClient().run({"devices"}, AdbClient::ErrorMode::Quiet);
    const QString thrown = messageOf([] { AdbClient().devices(); });
    const bool noPackages = AdbClient().listPackages("SIM1").isEmpty();
    qputenv("PATH", path);
    QCOMPARE(quiet, QString("run adb failed."));
    QCOMPARE(thrown, QString("run adb failed."));
    QVERIFY(noPackages);
}

void TestAdbClient::timeLimitEndsAHangingAdb()
{
    m_world->adb({"fake", "delay", "devices", "60000"});
    AdbClient adb;
    adb.setTimeLimit(300);
    QVERIFY(messageOf([&] { adb.devices(); }).contains("timed out"));
}

void TestAdbClient::abortFlagEndsAHangingAdb()
{
    m_world->adb({"fake", "plug", "SIM1"});
    m_world->adb({"fake", "delay", "pm", "60000"});
    std::atomic_bool abort{false};
    QThread *closer = QThread::create([&abort] {
        QThread::msleep(200);
        abort = true;
    });
    closer->start();
    AdbClient adb;
    adb.setAbortFlag(&abort);
    const QString output = adb.run({"-s", "SIM1", "shell", "pm", "-l"}, AdbClient::ErrorMode::Quiet);
    closer->wait();
    delete closer;
    QVERIFY(output.startsWith("adb -s SIM1 shell pm -l aborted.\n"));
    QVERIFY(parsePackageList(output).isEmpty());
}

QTEST_GUILESS_MAIN(TestAdbClient)
#include "tst_adbclient.moc"
