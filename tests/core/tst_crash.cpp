// Every writing operation under SIGKILL: the merge writer (it serves
// download, backup, upgrade and transfer alike), the backup, the deletion,
// the old-format upgrade and the transfer's record of what the phone holds.
// A child process runs the operation and dies at many points, without
// destructors, rollback or clean-up. Afterwards the database must be intact
// and hold all of the run or none of it, every file its rows name must be
// there, no attachment file may stand truncated under its real name, and the
// next run must finish the work byte-exact.

#include "android/AndroidDevice.h"
#include "android/AndroidRestoreSMSThread.h"
#include "android/SimpleProtocol.h"
#include "ops/BackupSMSThread.h"
#include "ops/DeleteMMSThread.h"
#include "work/HeadlessProgress.h"
#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "import/OldDbConverter.h"

#include "core/OldDatabaseFixture.h"
#include "core/StandInTools.h"
#include "core/tst_localdb_fixtures.h"

#include "core/CrashPoints.h"

#include <QProcess>
#include <QRegularExpression>

#include <memory>

using namespace localdbtest;
using crashpoints::ChildEnd;
using crashpoints::runInChild;

namespace {

constexpr int kMessages = 60;

QString attachmentsOf(const QString &folder)
{
    return folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments");
}

// The rows of the database; links are compared without their row ids, which
// a merge that meets a link again renews.
QStringList rows(const QString &folder)
{
    QStringList all = RawDb(smsDbPath(folder)).dump();
    static const QRegularExpression linkRowid(QStringLiteral("^(\\w+_join):\\d+\\|"));
    for (QString &row : all)
        row.replace(linkRowid, QStringLiteral("\\1:"));
    return all;
}

// A creation killed before its commit leaves a file without tables.
bool holdsDatabase(const QString &folder)
{
    return QFileInfo::exists(smsDbPath(folder))
        && RawDb(smsDbPath(folder)).scalar(QStringLiteral("select count(*) from sqlite_master")) > 0;
}

// What an operation leaves in a database folder: its rows and the files of
// its attachments folder (relative path -> bytes).
struct Snapshot
{
    QStringList rows;
    QMap<QString, QByteArray> files;
};

Snapshot snapshot(const QString &folder)
{
    Snapshot now;
    if (holdsDatabase(folder))
        now.rows = rows(folder);
    for (const QString &file : filesBelow(attachmentsOf(folder)))
        now.files.insert(file, readFile(attachmentsOf(folder) + QLatin1Char('/') + file));
    return now;
}

// Runs a worker to its end; its error is raised here.
void runWorker(const std::function<QThread *(ProgressReporter *)> &make)
{
    HeadlessProgress progress;
    const std::unique_ptr<QThread> worker(make(&progress));
    progress.runToEnd(*worker);
    if (!progress.succeeded())
        throw std::runtime_error(progress.errorText().toStdString());
}

MsgMessageList loadMessages(const QString &folder, MsgDataSetPtr &set)
{
    set = MsgDataSetPtr::create();
    IOS6MessageDb db(folder, QString());
    db.messages(*set, 0);
    return set->messages.values();
}

QString oldSourceOf(const QString &folder)
{
    return folder + QStringLiteral("-old");
}

// The texts of the messages a simulated phone's store holds, each as often
// as it is there.
QStringList phoneTexts(const QString &store)
{
    QStringList texts;
    QFile file(store + QStringLiteral("/messages.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            texts.append(QJsonDocument::fromJson(line).object().value(QStringLiteral("text")).toString());
    }
    return texts;
}

QStringList startingWith(const QStringList &texts, const QString &tag)
{
    QStringList found;
    for (const QString &text : texts) {
        if (text.startsWith(tag + QLatin1Char(' ')))
            found.append(text);
    }
    return found;
}

QStringList recordedTexts(const QString &cache)
{
    if (!holdsDatabase(cache))
        return {};
    RawDb raw(smsDbPath(cache));
    if (raw.text(QStringLiteral("PRAGMA integrity_check")) != QLatin1String("ok"))
        QTest::qFail("the cache is damaged", __FILE__, __LINE__);
    return raw.column(QStringLiteral("select text from message"));
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_memory;
    bool m_mounted = false;
    QByteArray m_savedTmp;
    std::unique_ptr<Environment> env;
    SetBuilder m_set;
    QMap<QString, QByteArray> m_sources;  // attachment name -> bytes

    void buildSet()
    {
        _MsgHandle *ann = m_set.handle(QStringLiteral("+919876543210"));
        _MsgHandle *bob = m_set.handle(QStringLiteral("+919876543211"));
        _MsgChat *one = m_set.chat(QStringLiteral("one"), {ann});
        _MsgChat *group = m_set.chat(QStringLiteral("group"), {ann, bob});
        for (int i = 0; i < kMessages; ++i) {
            _MsgMessage *m = m_set.message(i % 3 ? one : group, i % 2 ? ann : bob, 1000 + i,
                                           QStringLiteral("message %1 \U0001F600").arg(i), i % 4 == 0);
            if (i % 6 != 0)
                continue;
            // Mostly small pictures, and one past the size that is copied at once.
            const QString name = QStringLiteral("p%1.jpg").arg(i);
            const QByteArray bytes(i == 30 ? 3 * 1024 * 1024 : 40 * 1024 + i, char('a' + i % 26));
            const QString source = env->path(QStringLiteral("src/") + name);
            writeFile(source, bytes);
            m_sources.insert(name, bytes);
            m_set.attachment(m, source, name);
        }
    }

    void merge(const QString &folder, int dieBeforeWrite = -1)
    {
        ExportMessagesDb writer(folder, QString());
        writer.begin();
        int index = 0;
        for (const _MsgMessage *m : m_set.messages()) {
            if (index++ == dieBeforeWrite)
                raise(SIGKILL);
            writer.write(*m);
        }
        if (dieBeforeWrite == kMessages)
            raise(SIGKILL);  // every write done, nothing committed
        writer.end();
    }

    // A database holding two earlier messages, the state every crash starts from.
    QString startingPoint(const QString &name)
    {
        const QString folder = env->newFolder(name);
        SetBuilder earlier;
        _MsgHandle *h = earlier.handle(QStringLiteral("+919876543299"));
        _MsgChat *c = earlier.chat(QStringLiteral("earlier"), {h});
        earlier.message(c, h, 10, QStringLiteral("kept"), false, QStringLiteral("EARLIER-1"));
        earlier.message(c, h, 11, QStringLiteral("kept too"), false, QStringLiteral("EARLIER-2"));
        ExportMessagesDb writer(folder, QString());
        writer.begin();
        for (const _MsgMessage *m : earlier.messages())
            writer.write(*m);
        writer.end();
        return folder;
    }

    // Every attachment file is complete; returns how many there are.
    int checkFiles(const QString &folder, const QString &point)
    {
        int complete = 0;
        for (const QString &file : filesBelow(attachmentsOf(folder))) {
            const QString name = QFileInfo(file).fileName();
            if (!m_sources.contains(name))
                continue;  // an unfinished part file, under a name no run keeps
            if (readFile(attachmentsOf(folder) + QLatin1Char('/') + file) != m_sources.value(name)) {
                QTest::qFail(qPrintable(QStringLiteral("%1: %2 is truncated").arg(point, file)), __FILE__, __LINE__);
                return -1;
            }
            ++complete;
        }
        return complete;
    }

    void checkAfterCrash(const QString &folder, const QString &point, const QStringList &before,
                         const QStringList &complete)
    {
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.text(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        const QStringList now = rows(folder);
        QVERIFY2(now == before || now == complete, qPrintable(point + QStringLiteral(": half a run is stored")));
        if (now == complete)
            QCOMPARE(checkFiles(folder, point), m_sources.size());
        else
            QVERIFY(checkFiles(folder, point) >= 0);
    }

    void finishAndCompare(const QString &folder, const QStringList &complete)
    {
        merge(folder);
        QCOMPARE(rows(folder), complete);
        QCOMPARE(checkFiles(folder, QStringLiteral("after the next run")), m_sources.size());
    }

    // The operations killed below, each from a starting point of its own:
    //  - "backup": the set backed up into a database holding two messages;
    //  - "deletion": a quarter of the messages deleted from a database
    //    holding the set, files shared by none of the others included;
    //  - "new backup": the set backed up into a folder holding no database;
    //  - "upgrade": a database of the older format converted into a new one.
    QString prepare(const QString &operation, const QString &name)
    {
        if (operation == QLatin1String("upgrade"))
            return prepareOldDatabase(name);
        if (operation == QLatin1String("new backup"))
            return env->newFolder(name);
        const QString folder = startingPoint(name);
        if (operation == QLatin1String("deletion"))
            merge(folder);
        return folder;
    }

    QString prepareOldDatabase(const QString &name)
    {
        const QString folder = env->newFolder(name);
        OldDatabase old(oldSourceOf(folder));
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QStringLiteral("Asha"));
        for (int i = 0; i < 30; ++i) {
            const qint64 message = old.message(asha, QStringLiteral("old text %1").arg(i), 1500000000 + i, i % 2);
            if (i % 5 == 0) {
                const QByteArray bytes(i == 10 ? 3 * 1024 * 1024 : 30 * 1024 + i, char('A' + i % 26));
                old.link(message, old.part(QStringLiteral("o%1.jpg").arg(i), QStringLiteral("image/jpeg"), bytes));
            }
        }
        return folder;
    }

    void perform(const QString &operation, const QString &folder)
    {
        if (operation.endsWith(QLatin1String("backup"))) {
            runWorker([this, &folder](ProgressReporter *progress) {
                return new BackupSMSThread(m_set.messages(), folder, QString(), progress);
            });
        } else if (operation == QLatin1String("deletion")) {
            MsgDataSetPtr set;
            MsgMessageList chosen = loadMessages(folder, set);
            chosen.removeIf([](const _MsgMessage *m) { return m->date % 4 != 0; });
            runWorker([&folder, &chosen](ProgressReporter *progress) {
                return new DeleteMMSThread(folder, chosen, progress);
            });
        } else if (QFileInfo::exists(oldSourceOf(folder) + QStringLiteral("/mms.db"))) {
            OldDbConverter(oldSourceOf(folder), folder).run({});  // as each start does
        }
    }

    // After a kill: an intact database holding the state before the run or
    // after it, and every file that state names present and complete; no
    // file under a name a later run keeps is truncated.
    void checkKilled(const QString &folder, const QString &point, const Snapshot &before, const Snapshot &complete)
    {
        if (QFileInfo::exists(smsDbPath(folder)))
            QCOMPARE(RawDb(smsDbPath(folder)).text(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        const Snapshot now = snapshot(folder);
        const bool committed = now.rows == complete.rows;
        QVERIFY2(committed || now.rows == before.rows, qPrintable(point + QStringLiteral(": half a run is stored")));
        const Snapshot &expected = committed ? complete : before;
        for (auto it = expected.files.cbegin(); it != expected.files.cend(); ++it)
            QVERIFY2(now.files.value(it.key()) == it.value(),
                     qPrintable(point + QStringLiteral(": a stored row lost its file ") + it.key()));
        for (auto it = now.files.cbegin(); it != now.files.cend(); ++it) {
            const QByteArray known = complete.files.value(it.key(), before.files.value(it.key()));
            QVERIFY2(known.isNull() || known == it.value(),
                     qPrintable(point + QStringLiteral(": truncated file ") + it.key()));
        }
    }

    // The next run completes the work as if nothing had happened.
    void finishAndCompare(const QString &operation, const QString &folder, const Snapshot &complete)
    {
        perform(operation, folder);
        const Snapshot now = snapshot(folder);
        QCOMPARE(now.rows, complete.rows);
        // Part files of killed copies (".jpg.XXXXXX") have names no run keeps.
        static const QRegularExpression keptName(QStringLiteral("\\.jpg$"));
        QCOMPARE(QStringList(now.files.keys()).filter(keptName), QStringList(complete.files.keys()));
        for (auto it = complete.files.cbegin(); it != complete.files.cend(); ++it)
            QVERIFY2(now.files.value(it.key()) == it.value(), qPrintable(it.key()));
        if (operation == QLatin1String("upgrade"))
            QVERIFY(!QFileInfo::exists(oldSourceOf(folder) + QStringLiteral("/mms.db")));
    }

    // Texts sent to the phone in one transfer: three batches.
    MsgMessageList transferSet(SetBuilder &set, const QString &tag)
    {
        _MsgHandle *ann = set.handle(QStringLiteral("+919876543210"));
        _MsgChat *chat = set.chat(QStringLiteral("SMS;-;+919876543210"), {ann});
        for (int i = 0; i < 2 * AndroidRestoreSMSThread::BatchSize + 50; ++i)
            set.message(chat, ann, 500000000 + i * 60, QStringLiteral("%1 text %2").arg(tag).arg(i), i % 2);
        return set.messages();
    }

    static void transfer(const AndroidDevice &phone, const MsgMessageList &messages)
    {
        runWorker([&](ProgressReporter *progress) { return new AndroidRestoreSMSThread(phone, messages, progress); });
    }

    // A transfer killed at one point (its downloads of the phone included),
    // then run again as the user would: what the cache records the phone
    // holds, and after the second run the phone holds every message once.
    // Each point has a phone of its own. Returns how many the phone holds
    // twice.
    int killTransferThenRetry(const QString &tag, int killAtChange, int killAfterMs)
    {
        const QString store = env->path(QStringLiteral("phone-") + tag);
        QDir().mkpath(store);
        SimulatedPhone phone(store);
        if (!phone.start())
            QTest::qFail("the phone simulator did not start", __FILE__, __LINE__);
        const AndroidDevice device = wifiPhone(phone, tag);
        SetBuilder set;
        const MsgMessageList messages = transferSet(set, tag);
        const ChildEnd end = runInChild([&] { transfer(device, messages); }, killAtChange, killAfterMs);
        if (end == ChildEnd::Hung || end == ChildEnd::Failed)
            QTest::qFail("the killed transfer hung or failed", __FILE__, __LINE__);
        phone.waitForAllExchangesEnded();
        const QStringList onPhone = phoneTexts(store);
        for (const QString &text : recordedTexts(device.cacheFolder())) {
            if (!onPhone.contains(text))
                QTest::qFail(qPrintable(tag + QStringLiteral(": recorded as sent, not on the phone: ") + text),
                             __FILE__, __LINE__);
        }
        transfer(device, messages);
        phone.waitForAllExchangesEnded();
        const QStringList after = phoneTexts(store);
        QStringList all;
        for (const _MsgMessage *m : messages)
            all.append(m->text);
        for (const QString &text : all) {
            if (!after.contains(text))
                QTest::qFail(qPrintable(tag + QStringLiteral(": never reached the phone: ") + text), __FILE__, __LINE__);
        }
        QStringList recorded = recordedTexts(device.cacheFolder());
        recorded.sort();
        all.sort();
        if (recorded != all)
            QTest::qFail(qPrintable(tag + QStringLiteral(": the cache does not record the transfer")), __FILE__,
                         __LINE__);
        return int(after.size() - all.size());
    }

    static AndroidDevice wifiPhone(const SimulatedPhone &phone, const QString &tag)
    {
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = phone.launcherPort();
        device.imei = device.uid = tag;
        device.mmc = QStringLiteral("404");
        return device;
    }

    void operations_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *operation : {"backup", "new backup", "deletion", "upgrade"})
            QTest::newRow(operation) << QString::fromLatin1(operation);
    }

private slots:
    void initTestCase()
    {
        crashpoints::installShim();
        // Hundreds of runs, each waiting for the disk at every commit: a
        // kill needs no durable disk, so the runs go to memory when mounting
        // is allowed.
        QVERIFY(m_memory.isValid());
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                        QStringLiteral("-o"), QStringLiteral("size=1g"),
                                                        QStringLiteral("tmpfs"), m_memory.path()})
            == 0) {
            m_mounted = true;
            m_savedTmp = qgetenv("TMPDIR");
            qputenv("TMPDIR", QFile::encodeName(m_memory.path()));
        }
    }

    void cleanupTestCase()
    {
        if (!m_mounted)
            return;
        qputenv("TMPDIR", m_savedTmp);
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_memory.path()});
    }

    void init()
    {
        env = std::make_unique<Environment>();
        m_set = SetBuilder();
        m_sources.clear();
        buildSet();
    }
    void cleanup() { env.reset(); }

    void killedBetweenWritesThenCompleted()
    {
        const QString reference = startingPoint(QStringLiteral("reference"));
        const QStringList before = rows(reference);
        merge(reference);
        const QStringList complete = rows(reference);

        int points = 0;
        for (int k = 0; k <= kMessages; k += 3) {
            const QString folder = startingPoint(QStringLiteral("write%1").arg(k));
            QCOMPARE(runInChild([this, &folder, k] { merge(folder, k); }), ChildEnd::Killed);
            const QString point = QStringLiteral("before write %1").arg(k);
            checkAfterCrash(folder, point, before, complete);
            QCOMPARE(rows(folder), before);  // never committed
            finishAndCompare(folder, complete);
            ++points;
        }
        qInfo("crash points tried between writes: %d", points);
    }

    // Kills at moments spread over a whole run, the commit and the file
    // copies included.
    void killedAtAnyMomentThenCompleted()
    {
        const QString reference = startingPoint(QStringLiteral("reference"));
        const QStringList before = rows(reference);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runInChild([this, &reference] { merge(reference); }), ChildEnd::Finished);
        const int runMs = int(clock.elapsed());
        const QStringList complete = rows(reference);
        QVERIFY(complete != before);

        int points = 0;
        int finished = 0;
        // Up to twice the run's time: a killed run is slower to start than
        // the measured one, and some kills should come after the commit.
        const int step = qMax(1, runMs / 25);
        for (int delay = 0; delay <= 2 * runMs; delay += step) {
            const QString folder = startingPoint(QStringLiteral("moment%1").arg(delay));
            QVERIFY(runInChild([this, &folder] { merge(folder); }, 0, delay) != ChildEnd::Hung);
            checkAfterCrash(folder, QStringLiteral("killed after %1 ms").arg(delay), before, complete);
            finished += rows(folder) == complete ? 1 : 0;
            finishAndCompare(folder, complete);
            ++points;
        }
        qInfo("crash points tried over a run of %d ms: %d (%d had already committed)", runMs, points, finished);
    }

    void killedAtDatabaseChangesThenCompleted_data() { operations_data(); }

    // Dies before the kth file change SQLite makes (journal and commit
    // included), for k spread over the whole run.
    void killedAtDatabaseChangesThenCompleted()
    {
        QFETCH(QString, operation);
        const QString reference = prepare(operation, QStringLiteral("reference"));
        const Snapshot before = snapshot(reference);
        const int changes = crashpoints::countChanges([&] { perform(operation, reference); });
        const Snapshot complete = snapshot(reference);
        QVERIFY(complete.rows != before.rows);

        constexpr int kMostPoints = 16;
        int points = 0;
        for (int k = 1; k <= changes; k += qMax(1, changes / kMostPoints)) {
            const QString folder = prepare(operation, QStringLiteral("change%1").arg(k));
            const ChildEnd end = runInChild([&] { perform(operation, folder); }, k);
            QVERIFY2(end == ChildEnd::Killed || end == ChildEnd::Finished, qPrintable(QString::number(int(end))));
            checkKilled(folder, QStringLiteral("killed before change %1 of %2").arg(k).arg(changes), before, complete);
            finishAndCompare(operation, folder, complete);
            ++points;
        }
        qInfo("%s: crash points tried at database changes: %d of %d", qPrintable(operation), points, changes);
    }

    void killedAtMomentsThenCompleted_data()
    {
        // The merge's own moments are tried above; the upgrade adds a
        // staging folder, its rename and the retiring of the old file.
        QTest::addColumn<QString>("operation");
        QTest::newRow("upgrade") << QStringLiteral("upgrade");
    }

    // Kills spread over the run's time reach the attachment copies, which
    // SQLite does not see.
    void killedAtMomentsThenCompleted()
    {
        QFETCH(QString, operation);
        const QString reference = prepare(operation, QStringLiteral("reference"));
        const Snapshot before = snapshot(reference);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runInChild([&] { perform(operation, reference); }), ChildEnd::Finished);
        const int runMs = int(clock.elapsed());
        const Snapshot complete = snapshot(reference);

        constexpr int kPoints = 15;
        int points = 0;
        int committed = 0;
        for (int delay = 0; delay <= 2 * runMs; delay += qMax(1, 2 * runMs / kPoints)) {
            const QString folder = prepare(operation, QStringLiteral("moment%1").arg(delay));
            QVERIFY(runInChild([&] { perform(operation, folder); }, 0, delay) != ChildEnd::Hung);
            checkKilled(folder, QStringLiteral("killed after %1 ms").arg(delay), before, complete);
            committed += snapshot(folder).rows == complete.rows ? 1 : 0;
            finishAndCompare(operation, folder, complete);
            ++points;
        }
        qInfo("%s: crash points tried over a run of %d ms: %d (%d had already committed)", qPrintable(operation),
              runMs, points, committed);
    }

    // The transfer, its downloads of the phone and its record of what the
    // phone holds, killed at database changes and at moments of the run
    // (the phone keeps storing), then run again: never a duplicate.
    void transferKilledThenRetried()
    {
        QVERIFY2(QFileInfo(standInTool(QStringLiteral("agent-sim"))).isExecutable(), "build the agent-sim target");
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        const auto restorePorts = qScopeGuard([] { simpleprotocol::setAgentPortSource({}); });
        const QString store = env->path(QStringLiteral("phone"));
        QDir().mkpath(store);
        SimulatedPhone phone(store);
        QVERIFY(phone.start());
        const AndroidDevice reference = wifiPhone(phone, QStringLiteral("reference"));
        SetBuilder set;
        const MsgMessageList messages = transferSet(set, QStringLiteral("reference"));
        QElapsedTimer clock;
        clock.start();
        const int changes = crashpoints::countChanges([&] { transfer(reference, messages); });
        const int runMs = int(clock.elapsed());

        constexpr int kPointsEach = 12;
        int points = 0;
        int duplicated = 0;
        for (int k = 1; k <= changes; k += qMax(1, changes / kPointsEach), ++points)
            duplicated += killTransferThenRetry(QStringLiteral("c%1").arg(k), k, -1);
        for (int delay = 0; delay <= runMs; delay += qMax(1, runMs / kPointsEach), ++points)
            duplicated += killTransferThenRetry(QStringLiteral("t%1").arg(delay), 0, delay);
        qInfo("transfer: crash points tried: %d (%d database changes, a run of %d ms); messages the phone got twice: %d",
              points, changes, runMs, duplicated);
        QVERIFY(points >= 20);
        QCOMPARE(duplicated, 0);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
