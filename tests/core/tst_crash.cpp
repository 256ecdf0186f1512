// The merge writer under SIGKILL (it serves download, backup, upgrade and
// transfer alike): a child process merges and dies at many points, without
// destructors, rollback or clean-up. Afterwards the database must be intact
// and hold all of the run or none of it, no attachment file may stand
// truncated under its real name, and the next run must finish the work
// byte-exact.

#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"

#include "core/tst_localdb_fixtures.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

using namespace localdbtest;

namespace {

constexpr int kMessages = 60;

QString attachmentsOf(const QString &folder)
{
    return folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments");
}

// Runs `work` in a child process and waits for it to end (killed or not).
// Returns false when it had to be killed for hanging.
bool runInChild(const std::function<void()> &work, int killAfterMs = -1)
{
    const pid_t child = fork();
    if (child == 0) {
        try {
            work();
        } catch (...) {
            _exit(2);
        }
        _exit(0);  // never return into the test runner
    }
    if (killAfterMs >= 0) {
        QThread::usleep(qulonglong(killAfterMs) * 1000);
        kill(child, SIGKILL);
    }
    int status = 0;
    QDeadlineTimer deadline(60000);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        QThread::msleep(2);
    }
    return true;
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

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private:
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

private slots:
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
            QVERIFY(runInChild([this, &folder, k] { merge(folder, k); }));
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
        QVERIFY(runInChild([this, &reference] { merge(reference); }));
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
            QVERIFY(runInChild([this, &folder] { merge(folder); }, delay));
            checkAfterCrash(folder, QStringLiteral("killed after %1 ms").arg(delay), before, complete);
            finished += rows(folder) == complete ? 1 : 0;
            finishAndCompare(folder, complete);
            ++points;
        }
        qInfo("crash points tried over a run of %d ms: %d (%d had already committed)", runMs, points, finished);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
