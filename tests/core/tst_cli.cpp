// ferrywright-cli run as a program against the simulated phones and the
// stand-in adb, with a private HOME: each subcommand's result and exit code,
// usage errors, failures, Ctrl-C during a download leaving nothing behind,
// and runs side by side that write the same database.

#include "store/DatabaseLock.h"
#include "store/Sqlite3DB.h"

#include "CrashPoints.h"
#include "IPhoneBackupFixture.h"
#include "ZipFixture.h"
#include "StandInTools.h"
#include "tst_localdb_fixtures.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <map>
#include <memory>

namespace {

const QString Mmc = QStringLiteral("310");

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

qint64 countRows(const QString &databaseFolder, const QString &table)
{
    Sqlite3DB db;
    db.openThrow(databaseFolder + "/file-relay/var/mobile/Library/SMS/sms.db", Sqlite3DB::OpenReadOnly);
    Sqlite3Cursor cursor = db.queryThrow("select count(*) as n from " + table);
    return cursor.moveNext() ? cursor.getInt64("n") : -1;
}

QStringList filesUnder(const QString &folder, const QStringList &patterns = {})
{
    QStringList files;
    QDirIterator it(folder, patterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

QByteArray head(const QString &path, int bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

qsizetype storedMessageCount(const QString &store)
{
    QFile file(store + "/messages.jsonl");
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().count('\n');
}

// The records of a phone's store that are not a group's: a transfer leaves
// a group's messages out.
qsizetype oneToOneRecordCount(const QString &store)
{
    QFile file(store + "/messages.jsonl");
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qsizetype count = 0;
    while (!file.atEnd()) {
        const QJsonObject record = QJsonDocument::fromJson(file.readLine()).object();
        count += record.value("addresses").toArray().size() == 1;
    }
    return count;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QTemporaryDir m_work;
    std::unique_ptr<FakeAdbWorld> m_world;
    std::unique_ptr<SimulatedPhone> m_phoneA;
    std::unique_ptr<SimulatedPhone> m_phoneB;
    QString m_cacheA;  // "cache:IMEI" after the download

    // `changes` goes over the test's own environment.
    QProcessEnvironment environment(const QProcessEnvironment &changes) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home.path());
        env.remove("XDG_DATA_HOME");
        env.remove("XDG_CONFIG_HOME");
        env.remove("QT_QPA_PLATFORM");  // the program must do without a display on its own
        for (const QString &name : changes.keys())
            env.insert(name, changes.value(name));
        return env;
    }

    void start(QProcess &process, const QStringList &arguments,
               const QProcessEnvironment &changes = QProcessEnvironment()) const
    {
        process.setProcessEnvironment(environment(changes));
        process.setWorkingDirectory(m_work.path());
        process.start(QStringLiteral(FERRY_CLI_PATH), arguments);
    }

    CliRun cli(const QStringList &arguments, const QProcessEnvironment &changes = QProcessEnvironment()) const
    {
        QProcess process;
        start(process, arguments, changes);
        process.waitForFinished(300000);
        return CliRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                      QString::fromUtf8(process.readAllStandardOutput()),
                      QString::fromUtf8(process.readAllStandardError())};
    }

    QJsonArray jsonOf(const QStringList &arguments) const
    {
        const CliRun run = cli(arguments);
        return run.exitCode == 0 ? QJsonDocument::fromJson(run.out.toUtf8()).array() : QJsonArray();
    }

    QJsonObject databaseEntry(const QString &source) const
    {
        for (const QJsonValue &entry : jsonOf({"databases", "--json"})) {
            if (entry.toObject().value("source").toString() == source)
                return entry.toObject();
        }
        return QJsonObject();
    }

    std::unique_ptr<SimulatedPhone> plugPhone(const QString &serial, const QStringList &generate,
                                              const QStringList &serve = {})
    {
        const QString store = m_work.filePath("store-" + serial);
        QDir().mkpath(store);
        if (!generate.isEmpty() && !SimulatedPhone::generate(store, generate + QStringList{"--mmc", Mmc}))
            return nullptr;
        auto phone = std::make_unique<SimulatedPhone>(store);
        const QString identity = QStringLiteral("imei=IMEI-%1;uid=UID-%1").arg(serial);
        if (!phone->start(QStringList{"--adb-state", m_world->statePath(), "--serial", serial, "--info", identity}
                          + serve))
            return nullptr;
        if (!QTest::qWaitFor([this, &serial] { return m_world->adb({"devices"}).contains(serial.toUtf8()); }, 10000))
            return nullptr;
        return phone;
    }

    QString storeOf(const QString &serial) const { return m_work.filePath("store-" + serial); }

    // PATH with a stand-in systemctl in `bin` that writes its arguments to
    // bin/calls and answers as a user manager would, or fails as without one.
    QProcessEnvironment withStandInSystemctl(const QString &bin, bool systemdUp, const QString &configHome) const
    {
        QFile script(bin + "/systemctl");
        if (!script.open(QIODevice::WriteOnly))
            return QProcessEnvironment();
        script.write("#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/calls\"\n");
        if (systemdUp)
            script.write("case \"$*\" in *list-timers*) echo 'Mon 2030-01-07 21:30:00 UTC 1 day - - ferrywright-backup.timer "
                         "ferrywright-backup.service';; esac\nexit 0\n");
        else
            script.write("echo 'Failed to connect to bus: No medium found' >&2\nexit 1\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        QProcessEnvironment env;
        env.insert("PATH", bin + ":" + qEnvironmentVariable("PATH"));
        if (!configHome.isEmpty())
            env.insert("XDG_CONFIG_HOME", m_work.filePath(configHome));
        return env;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_work.isValid());
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        m_world = std::make_unique<FakeAdbWorld>();
        m_phoneA = plugPhone("SIMA", {"--messages", "80", "--contacts", "8", "--pictures", "3", "--picture-kb", "8",
                                      "--seed", "11"});
        QVERIFY(m_phoneA);
        m_phoneB = plugPhone("SIMB", {"--messages", "5", "--contacts", "2", "--pictures", "0", "--seed", "7",
                                      "--model", "Galaxy S21"});
        QVERIFY(m_phoneB);
    }

    void cleanupTestCase()
    {
        m_phoneA.reset();
        m_phoneB.reset();
        m_world.reset();
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("unknown option") << QStringList{"devices", "--bogus"};
        QTest::newRow("missing --from") << QStringList{"backup", "--to", "X"};
        QTest::newRow("option without value") << QStringList{"backup", "--to", "X", "--from"};
        QTest::newRow("bad source kind") << QStringList{"backup", "--from", "tape:1", "--to", "X"};
        QTest::newRow("source leaving its folder") << QStringList{"extract", "--from", "db:..", "--out", "x"};
        QTest::newRow("name with a separator") << QStringList{"backup", "--from", "db:a", "--to", "../evil"};
        QTest::newRow("unknown format") << QStringList{"export", "--from", "db:a", "--format", "rtf", "--out", "x"};
        QTest::newRow("date not understood")
            << QStringList{"export", "--from", "db:a", "--format", "csv", "--out", "x", "--since", "yesterday"};
        QTest::newRow("period ending before it starts") << QStringList{
            "export", "--from", "db:a", "--format", "csv", "--out", "x", "--since", "2024-02-01", "--until", "2024-01-31"};
        QTest::newRow("serial and wifi") << QStringList{"download", "--serial", "A", "--wifi", "127.0.0.1"};
        QTest::newRow("missing file") << QStringList{"import", "--to", "X"};
        QTest::newRow("extra argument") << QStringList{"databases", "surplus"};
        QTest::newRow("source and all phones") << QStringList{"backup", "--from", "db:a", "--all-phones", "--to", "X"};
        QTest::newRow("per phone without all phones") << QStringList{"backup", "--from", "db:a", "--per-phone", "--to", "X"};
        QTest::newRow("schedule without period") << QStringList{"schedule", "install", "--to", "X"};
        QTest::newRow("schedule at a bad time") << QStringList{"schedule", "install", "--daily", "--at", "25:00", "--to", "X"};
        QTest::newRow("unknown schedule action") << QStringList{"schedule", "pause"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("usage: ferrywright-cli"), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(m_work.filePath("evil")));
    }

    void helpDescribesEveryCommand()
    {
        const CliRun global = cli({"--help"});
        QCOMPARE(global.exitCode, 0);
        for (const char *command : {"devices", "download", "databases", "backup", "transfer", "export", "extract",
                                    "import", "search", "schedule"})
            QVERIFY2(global.out.contains(QString("  %1 ").arg(command)), command);
        const CliRun exportHelp = cli({"export", "--help"});
        QCOMPARE(exportHelp.exitCode, 0);
        QVERIFY(exportHelp.out.contains("--format <FORMAT>"));
        QVERIFY(exportHelp.out.contains("--chat <ID>"));
    }

    void devicesListsPhonesWithState()
    {
        m_world->adb({"fake", "plug", "SIMX", "unauthorized"});
        m_world->adb({"fake", "server", "off"});  // the first command of the day starts it
        const CliRun run = cli({"devices"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("SIMA\tdevice\n") && run.out.contains("SIMX\tunauthorized\n"), qPrintable(run.out));
        const QJsonArray json = jsonOf({"devices", "--json"});
        QVERIFY(json.contains(QJsonObject{{"serial", "SIMA"}, {"state", "device"}}));
        QVERIFY(json.contains(QJsonObject{{"serial", "SIMX"}, {"state", "unauthorized"}}));
        m_world->adb({"fake", "unplug", "SIMX"});
    }

    void downloadFillsTheCache()
    {
        const CliRun run = cli({"download", "--serial", "SIMA", "--country", Mmc});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith("cache:IMEI-SIMA\t"), qPrintable(run.out));
        m_cacheA = run.out.section('\t', 0, 0);
        const QString folder = run.out.section('\t', 1).trimmed();
        QVERIFY(run.err.contains('%'));  // progress went to standard error

        const QJsonObject entry = databaseEntry(m_cacheA);
        QCOMPARE(entry.value("messages").toInteger(), countRows(folder, "message"));
        QVERIFY(entry.value("messages").toInteger() >= 80);
        QVERIFY(entry.value("conversations").toInteger() >= 8);
        const CliRun plain = cli({"databases"});
        QVERIFY(plain.out.contains(QString("%1\t%2\t%3\t")
                                       .arg(m_cacheA)
                                       .arg(entry.value("messages").toInteger())
                                       .arg(entry.value("conversations").toInteger())));
    }

    void downloadOverWifi()
    {
        const QString host = QStringLiteral("127.0.0.1:%1").arg(m_phoneA->launcherPort());
        const CliRun run = cli({"download", "--wifi", host, "--country", Mmc});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith("cache:IMEI-SIMA\t"), qPrintable(run.out));
    }

    // Two downloads of two phones started together choose their exchange
    // ports in the same second: each must still read its own phone, or fail
    // saying why.
    void downloadsSideBySideReadTheirOwnPhones()
    {
        const QStringList serials{"SIMA", "SIMB"};
        QMap<QString, QString> folders;
        QMap<QString, qint64> messages;
        for (const QString &serial : serials) {
            const CliRun alone = cli({"download", "--serial", serial, "--country", Mmc});
            QVERIFY2(alone.exitCode == 0, qPrintable(alone.err));
            folders[serial] = alone.out.section('\t', 1).trimmed();
            messages[serial] = countRows(folders[serial], "message");
        }
        QVERIFY(messages["SIMA"] != messages["SIMB"]);

        for (int round = 0; round < 20; ++round) {
            std::map<QString, QProcess> runs;
            for (const QString &serial : serials)
                start(runs[serial], {"download", "--serial", serial, "--country", Mmc});
            for (auto &[serial, process] : runs)
                QVERIFY(process.waitForFinished(60000));
            for (auto &[serial, process] : runs) {
                const QString out = QString::fromUtf8(process.readAllStandardOutput());
                const QString err = QString::fromUtf8(process.readAllStandardError());
                const QString context = QStringLiteral("round %1, %2: %3%4").arg(round).arg(serial, out, err);
                if (process.exitCode() == 0) {
                    QVERIFY2(out.startsWith("cache:IMEI-" + serial + "\t"), qPrintable(context));
                } else {
                    QCOMPARE(process.exitCode(), 1);
                    QVERIFY2(err.contains("another program", Qt::CaseInsensitive) && !err.contains("Google Play"),
                             qPrintable(context));
                }
            }
            for (const QString &serial : serials)
                QCOMPARE(countRows(folders[serial], "message"), messages[serial]);
        }
    }

    void backupTwiceAddsNothing()
    {
        QVERIFY(!m_cacheA.isEmpty());
        const qint64 messages = databaseEntry(m_cacheA).value("messages").toInteger();
        // The second time straight from the phone, which is downloaded again first.
        for (const QString &source : {m_cacheA, QStringLiteral("phone:SIMA")}) {
            const CliRun run = cli({"backup", "--from", source, "--to", "Mine", "--country", Mmc});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QCOMPARE(databaseEntry("db:Mine").value("messages").toInteger(), messages);
        }
    }

    // Every phone attached, into one database or one per phone (the second
    // phone reports another model); nothing attached is no failure.
    void backupOfAllPhones_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("databases");  // per phone: SIMA's, SIMB's
        QTest::newRow("into one") << QStringList{"--to", "All"} << QStringList{"All", "All"};
        QTest::newRow("per phone") << QStringList{"--to", "Each", "--per-phone"}
                                   << QStringList{"Each-Pixel 7", "Each-Galaxy S21"};
    }

    void backupOfAllPhones()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, databases);
        const CliRun run = cli(QStringList{"backup", "--all-phones", "--country", Mmc} + options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const qint64 a = databaseEntry("cache:IMEI-SIMA").value("messages").toInteger();
        const qint64 b = databaseEntry("cache:IMEI-SIMB").value("messages").toInteger();
        QVERIFY(a > 0 && b > 0);
        if (databases.first() == databases.last()) {
            QCOMPARE(databaseEntry("db:" + databases.first()).value("messages").toInteger(), a + b);
        } else {
            QCOMPARE(databaseEntry("db:" + databases.first()).value("messages").toInteger(), a);
            QCOMPARE(databaseEntry("db:" + databases.last()).value("messages").toInteger(), b);
        }
    }

    void backupOfAllPhonesWithNoneAttached()
    {
        QTemporaryDir emptyWorld;
        QProcessEnvironment noPhones;
        noPhones.insert("FERRY_FAKE_ADB_STATE", emptyWorld.filePath("state.json"));
        const CliRun run = cli({"backup", "--all-phones", "--to", "Nobody"}, noPhones);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains("No phone is attached"), qPrintable(run.out));
        QVERIFY(databaseEntry("db:Nobody").isEmpty());
    }

    // Two backups into one new database started together, round after round:
    // a run that reports success has all its work in the database, every
    // message is there once, and a run turned away says why.
    void simultaneousBackupsIntoANewDatabase()
    {
        const QJsonObject mine = databaseEntry("db:Mine");
        const qint64 messages = mine.value("messages").toInteger();
        const qint64 attachments = countRows(mine.value("folder").toString(), "attachment");
        QVERIFY(messages > 0 && attachments > 0);
        for (int round = 1; round <= 10; ++round) {
            const QString name = QStringLiteral("Twin%1").arg(round);
            QProcess first;
            QProcess second;
            start(first, {"backup", "--from", "db:Mine", "--to", name});
            start(second, {"backup", "--from", "db:Mine", "--to", name});
            QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
            int succeeded = 0;
            for (QProcess *run : {&first, &second}) {
                const QString err = QString::fromUtf8(run->readAllStandardError());
                if (run->exitStatus() == QProcess::NormalExit && run->exitCode() == 0) {
                    ++succeeded;
                    continue;
                }
                QCOMPARE(run->exitCode(), 1);
                QVERIFY2(err.contains("is in use by another Ferrywright process"), qPrintable(err));
            }
            QVERIFY(succeeded >= 1);
            const QString folder = databaseEntry("db:" + name).value("folder").toString();
            QVERIFY2(!folder.isEmpty(), qPrintable(name));
            QCOMPARE(countRows(folder, "message"), messages);
            QCOMPARE(countRows(folder, "attachment"), attachments);
        }
    }

    // While another Ferrywright process writes a database, a second writer
    // is turned away at once with a plain error; readers go on reading.
    void secondWriterIsTurnedAway()
    {
        const QString folder = databaseEntry("db:Mine").value("folder").toString();
        const qint64 messages = countRows(folder, "message");
        const DatabaseLock writing(folder);
        const CliRun backup = cli({"backup", "--from", m_cacheA, "--to", "Mine"});
        QCOMPARE(backup.exitCode, 1);
        QVERIFY2(backup.err.contains(QStringLiteral("The database %1 is in use by another Ferrywright process.")
                                         .arg(QDir::toNativeSeparators(folder))),
                 qPrintable(backup.err));
        QCOMPARE(countRows(folder, "message"), messages);
        const CliRun reading = cli({"export", "--from", "db:Mine", "--format", "txt", "--out", "while-locked"});
        QVERIFY2(reading.exitCode == 0, qPrintable(reading.err));
    }

    void killedWriterLeavesNoLockBehind_data()
    {
        QTest::addColumn<bool>("named");
        QTest::newRow("killed while holding the database") << true;
        QTest::newRow("killed before its name was in the lock file") << false;
    }

    // A writer killed while it held the database does not keep the next out.
    void killedWriterLeavesNoLockBehind()
    {
        QFETCH(bool, named);
        const QString folder = databaseEntry("db:Mine").value("folder").toString();
        const QString lockFile = QDir(folder).filePath(DatabaseLock::fileName());
        if (named) {
            const auto killedWhileHolding = [&folder] {
                const DatabaseLock writing(folder);
                ::raise(SIGKILL);
            };
            QCOMPARE(crashpoints::runInChild(killedWhileHolding), crashpoints::ChildEnd::Killed);
        } else {
            QFile empty(lockFile);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFileInfo::exists(lockFile));
        const CliRun backup = cli({"backup", "--from", m_cacheA, "--to", "Mine"});
        QVERIFY2(backup.exitCode == 0, qPrintable(backup.err));
        QVERIFY(!QFileInfo::exists(lockFile));
    }

    // An imported message is found by a search, and a second import adds nothing.
    void importThenSearch()
    {
        QFile xml(m_work.filePath("lighthouse.xml"));
        QVERIFY(xml.open(QIODevice::WriteOnly));
        xml.write("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"1\">\n"
                  "  <sms address=\"5550123\" date=\"1388534400000\" type=\"1\" read=\"1\""
                  " body=\"lunch at the lighthouse &#55357;&#56832;\" />\n</smses>\n");
        xml.close();
        for (int round = 1; round <= 2; ++round) {
            const CliRun run = cli({"import", "lighthouse.xml", "--to", "Imported", "--country", Mmc});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QCOMPARE(databaseEntry("db:Imported").value("messages").toInteger(), 1);
        }
        const QJsonArray hits = jsonOf({"search", "Lighthouse", "--json"});
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().toObject().value("source").toString(), QStringLiteral("db:Imported"));
        QVERIFY(hits.first().toObject().value("text").toString().contains(QString::fromUtf8("\xF0\x9F\x98\x80")));
        QCOMPARE(jsonOf({"search", "lighthouse", "--from", m_cacheA, "--json"}).size(), 0);
    }

    // A folder is recognised as an iPhone backup; --kind names what a path is.
    void importRecognisesAnIPhoneBackup()
    {
        {
            iphonetest::Backup backup(m_work.filePath("iPhone backup"));
            const qint64 ann = backup.handle("+15550100001");
            const qint64 chat = backup.chat("+15550100001", {ann});
            backup.message({chat, ann, 700000000LL * 1000000000LL, false, "from the old phone"});
            backup.finish();
        }
        for (const QStringList &kind : {QStringList{}, QStringList{"--kind", "iphone"}}) {
            const CliRun run = cli(QStringList{"import", "iPhone backup", "--to", "FromIPhone"} + kind);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QVERIFY2(run.out.contains("1 messages read"), qPrintable(run.out));
            QCOMPARE(databaseEntry("db:FromIPhone").value("messages").toInteger(), 1);
        }
    }

    // A ZIP is recognised as an SMS Import/Export archive by its content, whatever its name.
    void importRecognisesAnArchive()
    {
        ziptest::ZipWriter zip;
        zip.add("messages.ndjson", "{\"address\":\"+15550100001\",\"date\":\"1700000000000\",\"type\":\"1\","
                                   "\"body\":\"kept in a zip\"}\n");
        zip.save(m_work.filePath("export.bin"));
        const CliRun run = cli({"import", "export.bin", "--to", "FromArchive"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(databaseEntry("db:FromArchive").value("messages").toInteger(), 1);
    }

    void exportWritesEachFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("written");  // the file, or the folder of pages
        QTest::addColumn<QString>("pages");
        QTest::newRow("txt") << "txt" << "out-txt.txt" << "";
        QTest::newRow("doc") << "doc" << "out-doc.doc" << "";
        QTest::newRow("csv") << "csv" << "out-csv.csv" << "";
        QTest::newRow("pdf") << "pdf" << "out-pdf" << "*.pdf";
        QTest::newRow("html") << "html" << "out-html" << "*.html";
    }

    void exportWritesEachFormat()
    {
        QFETCH(QString, format);
        QFETCH(QString, written);
        QFETCH(QString, pages);
        const CliRun run = cli({"export", "--from", "db:Mine", "--format", format, "--out", "out-" + format});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString path = m_work.filePath(written);
        QVERIFY2(run.out.contains(path), qPrintable(run.out));
        const qint64 conversations = databaseEntry("db:Mine").value("conversations").toInteger();
        if (format == "pdf" || format == "html") {
            const QStringList files = filesUnder(path, {pages});
            QCOMPARE(files.size(), conversations);
            for (const QString &file : files)
                QVERIFY(head(file, 64).contains(format == "pdf" ? "%PDF" : "<"));
            return;
        }
        QVERIFY(QFileInfo(path).size() > 0);
        if (format != "csv")
            return;
        QProcess reader;
        reader.start("python3", {QStringLiteral(FERRY_SOURCE_DIR "/tests/core/csv_readback.py"), path});
        if (!reader.waitForFinished(30000))
            QSKIP("python3 is not available");
        const QJsonArray records = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(records.first().toVariant().toStringList(), (QStringList{"date", "send", "person", "number", "content", "sender", "subject"}));
        QCOMPARE(records.size() - 1, databaseEntry("db:Mine").value("messages").toInteger());
    }

    void exportOfOneConversation()
    {
        const CliRun all = cli({"export", "--from", "db:Mine", "--format", "csv", "--out", "all.csv"});
        const CliRun unknown = cli({"export", "--from", "db:Mine", "--format", "csv", "--out", "one.csv",
                                    "--chat", "+1nobody"});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains("No conversation '+1nobody'"));
        // The first data row names a conversation: exporting only it writes fewer rows.
        QFile allFile(m_work.filePath("all.csv"));
        QVERIFY(all.exitCode == 0 && allFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = allFile.readAll().split('\n');
        const QString number = QString::fromUtf8(lines.at(1).split(',').at(3));
        const CliRun one = cli({"export", "--from", "db:Mine", "--format", "csv", "--out", "one.csv", "--chat", number});
        QVERIFY2(one.exitCode == 0, qPrintable(one.err));
        const qint64 oneSize = QFileInfo(m_work.filePath("one.csv")).size();
        QVERIFY(oneSize > 40 && oneSize < allFile.size());
    }

    // --since and --until name whole local days: a period of one day keeps
    // exactly that day's messages, and a period holding none fails.
    void exportOfAPeriod()
    {
        const CliRun all = cli({"export", "--from", "db:Mine", "--format", "ndjson", "--out", "all.ndjson"});
        QVERIFY2(all.exitCode == 0, qPrintable(all.err));
        const auto localDays = [this](const QString &name) {
            QList<QDate> days;
            QFile file(m_work.filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : file.readAll().split('\n')) {
                    if (!line.isEmpty())
                        days.append(QDateTime::fromString(QJsonDocument::fromJson(line)["date"].toString(), Qt::ISODate)
                                        .toLocalTime()
                                        .date());
                }
            }
            return days;
        };
        const QList<QDate> allDays = localDays(QStringLiteral("all.ndjson"));
        QVERIFY(allDays.size() > 2);
        const QDate day = allDays.at(allDays.size() / 2);
        const QString iso = day.toString(Qt::ISODate);
        const CliRun one = cli({"export", "--from", "db:Mine", "--format", "ndjson", "--out", "day.ndjson", "--since",
                                iso, "--until", iso});
        QVERIFY2(one.exitCode == 0, qPrintable(one.err));
        const QList<QDate> kept = localDays(QStringLiteral("day.ndjson"));
        QCOMPARE(kept.size(), allDays.count(day));
        QCOMPARE(kept.count(day), kept.size());

        const CliRun none = cli({"export", "--from", "db:Mine", "--format", "csv", "--out", "none.csv", "--since",
                                 "1990-01-01", "--until", "1990-12-31"});
        QCOMPARE(none.exitCode, 1);
        QVERIFY(none.err.contains("No message falls between"));
        QVERIFY(!QFileInfo::exists(m_work.filePath("none.csv")));
    }

    // "notes" becomes notes.txt after the shell was asked nothing: an existing
    // notes.txt is kept unless --force says otherwise.
    void exportReplacesAFileOnlyWithForce()
    {
        const QString notes = m_work.filePath("notes.txt");
        QFile existing(notes);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("my notes") == 8);
        existing.close();
        const CliRun refused = cli({"export", "--from", "db:Mine", "--format", "txt", "--out", "notes"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("notes.txt exists; add --force"), qPrintable(refused.err));
        QCOMPARE(localdbtest::readFile(notes), QByteArray("my notes"));
        const CliRun forced = cli({"export", "--from", "db:Mine", "--format", "txt", "--out", "notes", "--force"});
        QVERIFY2(forced.exitCode == 0, qPrintable(forced.err));
        QVERIFY(localdbtest::readFile(notes).startsWith("Date"));
    }

    // An evidence folder that holds something is kept unless --force says
    // otherwise; the package names the database it came from.
    void exportReplacesAnEvidenceFolderOnlyWithForce()
    {
        const QString folder = m_work.filePath("bundle");
        QVERIFY(QDir().mkpath(folder));
        QFile existing(folder + "/old.txt");
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("kept") == 4);
        existing.close();
        const CliRun refused = cli({"export", "--from", "db:Mine", "--format", "evidence", "--out", "bundle"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("bundle exists; add --force"), qPrintable(refused.err));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"old.txt"});
        const CliRun forced = cli({"export", "--from", "db:Mine", "--format", "evidence", "--out", "bundle", "--force"});
        QVERIFY2(forced.exitCode == 0, qPrintable(forced.err));
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"manifest.json", "manifest.sha256", "messages.pdf"}));
        const QJsonObject manifest = QJsonDocument::fromJson(localdbtest::readFile(folder + "/manifest.json")).object();
        QCOMPARE(manifest.value("source").toString(), QStringLiteral("local database Mine"));
        QCOMPARE(manifest.value("messages").toArray().size(), databaseEntry("db:Mine").value("messages").toInteger());
    }

    void extractCopiesAttachments()
    {
        const CliRun run = cli({"extract", "--from", "db:Mine", "--out", "media"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList files = filesUnder(m_work.filePath("media"));
        QVERIFY(files.size() >= 3);
        QVERIFY(!filesUnder(m_work.filePath("media"), {"*.jpg"}).isEmpty());
    }

    void transferToSecondPhone()
    {
        const qsizetype before = storedMessageCount(storeOf("SIMB"));
        const CliRun run = cli({"transfer", "--from", "db:Mine", "--to-serial", "SIMB", "--country", Mmc});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const qsizetype received = storedMessageCount(storeOf("SIMB"));
        QVERIFY2(received - before >= oneToOneRecordCount(storeOf("SIMA")), qPrintable(QString::number(received)));
        // The phone's messages are known now: a second transfer sends nothing.
        const CliRun again = cli({"transfer", "--from", "db:Mine", "--to-serial", "SIMB", "--country", Mmc});
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
        QCOMPARE(storedMessageCount(storeOf("SIMB")), received);
    }

    void failuresExitWithOne_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no database") << QStringList{"backup", "--from", "db:Nothing", "--to", "X"}
                                     << "No local database 'Nothing'";
        QTest::newRow("no phone") << QStringList{"download", "--serial", "GHOST"} << "error: device 'GHOST' not found";
        QTest::newRow("which phone") << QStringList{"download"} << "Several Android phones are attached (SIMA, SIMB)";
        QTest::newRow("unknown country") << QStringList{"download", "--serial", "SIMA", "--country", "999"}
                                         << "Unknown country code '999'";
        QTest::newRow("import") << QStringList{"import", "backup.xml", "--to", "X"} << "No file";
        QTest::newRow("import of a folder") << QStringList{"import", ".", "--to", "X"} << "not an iPhone backup";
        QTest::newRow("import of an unknown kind") << QStringList{"import", ".", "--to", "X", "--kind", "tape"}
                                                   << "Unknown kind 'tape'";
        QTest::newRow("search in no source") << QStringList{"search", "hello", "--from", "db:Nothing"} << "Nothing";
    }

    void failuresExitWithOne()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun run = cli(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("ferrywright-cli: ") && run.err.contains(message), qPrintable(run.err));
        QVERIFY(!run.err.contains("<br"));  // the window's markup stays out of the terminal
        QVERIFY(databaseEntry("db:X").isEmpty());  // a failed run creates no database
    }

    // The schedule's life with and without a systemd user manager to talk
    // to; a stand-in systemctl first on PATH notes what it is asked.
    void scheduleInstallStatusRemove_data()
    {
        QTest::addColumn<bool>("systemdUp");
        QTest::addColumn<QString>("configHome");  // XDG_CONFIG_HOME below the work folder; empty: unset
        QTest::newRow("systemd reachable") << true << QString();
        QTest::newRow("no user manager, XDG_CONFIG_HOME set") << false << QStringLiteral("config");
    }

    void scheduleInstallStatusRemove()
    {
        QFETCH(bool, systemdUp);
        QFETCH(QString, configHome);
        QTemporaryDir bin;
        const QProcessEnvironment env = withStandInSystemctl(bin.path(), systemdUp, configHome);
        const QString units = configHome.isEmpty() ? m_home.filePath(".config/systemd/user")
                                                   : m_work.filePath(configHome + "/systemd/user");

        const CliRun install = cli({"schedule", "install", "--weekly", "--at", "21:30", "--to", "Nightly", "--per-phone"}, env);
        QVERIFY2(install.exitCode == 0, qPrintable(install.err));
        QVERIFY(head(units + "/ferrywright-backup.timer", 4096).contains("OnCalendar=Mon *-*-* 21:30:00"));
        QVERIFY(head(units + "/ferrywright-backup.service", 4096)
                    .contains("\" \"backup\" \"--all-phones\" \"--to\" \"Nightly\" \"--per-phone\""));
        QCOMPARE(install.out.contains("The timer is enabled."), systemdUp);

        const CliRun status = cli({"schedule", "status"}, env);
        QCOMPARE(status.exitCode, 0);
        if (systemdUp) {
            QVERIFY2(status.out.contains("Mon 2030-01-07 21:30:00"), qPrintable(status.out));
        } else {
            const QDateTime next = QDateTime::fromString(status.out.section("Next run: ", 1).left(16), "yyyy-MM-dd HH:mm");
            QVERIFY2(next.isValid() && next.date().dayOfWeek() == Qt::Monday && next.time() == QTime(21, 30)
                         && next > QDateTime::currentDateTime(),
                     qPrintable(status.out));
        }

        const CliRun remove = cli({"schedule", "remove"}, env);
        QCOMPARE(remove.exitCode, 0);
        QVERIFY(!QFileInfo::exists(units + "/ferrywright-backup.timer"));
        QVERIFY(!QFileInfo::exists(units + "/ferrywright-backup.service"));
        QVERIFY(cli({"schedule", "status"}, env).out.contains("No backup is scheduled."));
        if (systemdUp) {
            const QByteArray calls = head(bin.filePath("calls"), 4096);
            QVERIFY2(calls.contains("--user enable --now ferrywright-backup.timer")
                         && calls.contains("--user disable --now ferrywright-backup.timer"),
                     calls.constData());
        }
    }

    void scheduledUnitsPassSystemdVerify()
    {
        const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        QTemporaryDir bin;
        const QProcessEnvironment env = withStandInSystemctl(bin.path(), false, QStringLiteral("verify-config"));
        QCOMPARE(cli({"schedule", "install", "--daily", "--to", "My 100% $Phones"}, env).exitCode, 0);
        const QString units = m_work.filePath("verify-config/systemd/user");
        QProcess verify;
        verify.start(analyze, {"verify", units + "/ferrywright-backup.timer", units + "/ferrywright-backup.service"});
        QVERIFY(verify.waitForFinished(60000));
        const QString said = QString::fromUtf8(verify.readAllStandardError() + verify.readAllStandardOutput());
        QVERIFY2(verify.exitCode() == 0 && !said.contains("ferrywright-backup"), qPrintable(said));
    }

    // A phone that confirms messages it never stores: the transfer names
    // them and fails.
    void transferNamesMessagesThePhoneLacks()
    {
        const std::unique_ptr<SimulatedPhone> lossy = plugPhone(
            "SIMD", {"--messages", "1", "--contacts", "1", "--pictures", "0", "--seed", "3"},
            {"--lose-received", "3,10,20"});
        QVERIFY(lossy);
        const CliRun run = cli({"transfer", "--from", "db:Mine", "--to-serial", "SIMD", "--country", Mmc, "--json"});
        QCOMPARE(run.exitCode, 1);
        const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(result.value("onPhone").toInt(), result.value("messages").toInt() - 3);
        const QJsonArray missing = result.value("missing").toArray();
        QCOMPARE(missing.size(), 3);
        QSet<QString> onPhone;
        QFile store(storeOf("SIMD") + "/messages.jsonl");
        QVERIFY(store.open(QIODevice::ReadOnly));
        while (!store.atEnd()) {
            const QJsonObject message = QJsonDocument::fromJson(store.readLine()).object();
            onPhone.insert(QString::number(message.value("date").toInteger()) + ' ' + message.value("text").toString());
        }
        for (const QJsonValue &entry : missing) {
            const QJsonObject message = entry.toObject();
            const QString key = QString::number(QDateTime::fromString(message.value("date").toString(), Qt::ISODate)
                                                    .toMSecsSinceEpoch())
                + ' ' + message.value("text").toString();
            QVERIFY2(!onPhone.contains(key), qPrintable(key));
        }
        QVERIFY(result.value("summary").toString().contains(
            QStringLiteral("%1 of %2 messages are on the phone.")
                .arg(result.value("messages").toInt() - 3)
                .arg(result.value("messages").toInt())));
    }

    void interruptedDownloadCommitsNothing()
    {
        auto slow = plugPhone("SIMC", {"--messages", "300", "--contacts", "5", "--pictures", "0", "--seed", "4"},
                              {"--slow", "40"});
        QVERIFY(slow);
        QProcess process;
        start(process, {"download", "--serial", "SIMC", "--country", Mmc});
        QVERIFY(QTest::qWaitFor([&slow] { return slow->counter("recordsSent") >= 20; }, 60000));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QVERIFY(slow->counter("recordsSent") < 300);
        const QJsonObject entry = databaseEntry("cache:IMEI-SIMC");
        QVERIFY2(entry.isEmpty() || entry.value("messages").toInteger() == 0,
                 qPrintable(QJsonDocument(entry).toJson()));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
