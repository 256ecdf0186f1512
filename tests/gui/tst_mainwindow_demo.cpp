// The demo as a newcomer runs it: scripts/demo.sh starts the program with a
// simulated phone behind the stand-in adb, and without any click the phone's
// messages end up in its cache database under the demo's private data root.
// Runs the real program, headless.

#include "core/StandInTools.h"
#include "core/tst_localdb_fixtures.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kDemoTimeoutMs = 240000;

int recordsOfPhone(const QString &store)
{
    QFile messages(store + QStringLiteral("/messages.jsonl"));
    if (!messages.open(QIODevice::ReadOnly))
        return -1;
    int lines = 0;
    while (!messages.atEnd()) {
        if (!messages.readLine().trimmed().isEmpty())
            ++lines;
    }
    return lines;
}

QString cacheDatabase(const QString &home)
{
    // The data folder sits under ~/.local/share: hidden folders are searched too.
    QDirIterator it(home, {QStringLiteral("sms.db")}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QLatin1String("/android_cache/")))
            return path;
    }
    return QString();
}

// Records the download has seen, or -1 while there is no committed download.
qint64 downloadedRecords(const QString &database)
{
    if (database.isEmpty())
        return -1;
    try {
        Sqlite3DB db;
        db.openThrow(database, Sqlite3DB::OpenReadOnly);
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from valid_hash"));
        return cursor.moveNext() ? cursor.getInt64(0) : -1;
    } catch (const std::exception &) {
        return -1;  // not there yet, or locked by the download
    }
}

} // namespace

class TestMainWindowDemo : public QObject
{
    Q_OBJECT

private slots:
    void demoDownloadsThePhoneWithoutAClick()
    {
        QVERIFY2(QFileInfo(QStringLiteral(FERRY_BINARY_DIR "/ferrywright")).isExecutable(), "build the program");
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        QTemporaryDir demo;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FERRY_BUILD_DIR"), QStringLiteral(FERRY_BINARY_DIR));
        environment.insert(QStringLiteral("FERRY_DEMO_DIR"), demo.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("FERRY_VENDOR_HOST"), QString());

        QProcess script;
        script.setProcessEnvironment(environment);
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start(QStringLiteral("bash"), {QStringLiteral(FERRY_SOURCE_DIR "/scripts/demo.sh"), QStringLiteral("--no-build")});
        QVERIFY(script.waitForStarted());

        const QString home = demo.filePath(QStringLiteral("home"));
        QString database;
        qint64 downloaded = -1;
        // Looked at twice a second, so the checks hardly ever meet the download's commit.
        QDeadlineTimer deadline(kDemoTimeoutMs);
        while (script.state() == QProcess::Running && downloaded <= 0 && !deadline.hasExpired()) {
            QTest::qWait(500);
            database = cacheDatabase(home);
            downloaded = downloadedRecords(database);
        }
        const bool done = downloaded > 0;
        const QByteArray output = script.readAll();
        QVERIFY2(done && script.state() == QProcess::Running, output.constData());

        // Every record of the simulated phone, and a message for each.
        const int records = recordsOfPhone(demo.filePath(QStringLiteral("phone")));
        QCOMPARE(records, 400);
        QCOMPARE(downloaded, qint64(records));
        {
            localdbtest::RawDb db(database, Sqlite3DB::OpenReadOnly);
            QVERIFY(db.scalar(QStringLiteral("select count(*) from message")) >= records);
            QVERIFY(db.scalar(QStringLiteral("select count(*) from attachment")) > 0);
        }

        // Stopping the demo stops the program and unplugs the phone.
        script.terminate();
        QVERIFY(script.waitForFinished(60000));
        QProcess adb;
        QProcessEnvironment adbEnvironment = environment;
        adbEnvironment.insert(QStringLiteral("FERRY_FAKE_ADB_STATE"), demo.filePath(QStringLiteral("adb-state.json")));
        adb.setProcessEnvironment(adbEnvironment);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&adb] {
                adb.start(standInTool(QStringLiteral("adb")), {QStringLiteral("devices")});
                adb.waitForFinished(10000);
                return !adb.readAllStandardOutput().contains("DEMO0001");
            }(),
            20000);
    }
};

QTEST_GUILESS_MAIN(TestMainWindowDemo)
#include "tst_mainwindow_demo.moc"
