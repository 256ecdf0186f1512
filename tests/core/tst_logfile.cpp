#include "app/LogFile.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

class TestLogFile : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    static QString todaysLog(const QString &folder)
    {
        return folder + QStringLiteral("/log-%1.txt").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    }

private slots:
    void cleanup() { stopLogForTests(); }

    void lineFormats_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("debug") << int(QtDebugMsg) << QByteArray("(D 09:05:07) hello\n");
        QTest::newRow("warning") << int(QtWarningMsg) << QByteArray("(W 09:05:07) hello\n");
        QTest::newRow("critical") << int(QtCriticalMsg) << QByteArray("(C 09:05:07) hello\n");
        QTest::newRow("fatal") << int(QtFatalMsg) << QByteArray("(F 09:05:07) hello\n");
        QTest::newRow("other type, time only") << int(QtInfoMsg) << QByteArray("(09:05:07) hello\n");
    }

    void lineFormats()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, expected);
        QCOMPARE(formatLogLine(QtMsgType(type), QStringLiteral("09:05:07"), QStringLiteral("hello")), expected);
    }

    void lineIsUtf8AndKeepsPercentSigns()
    {
        QCOMPARE(formatLogLine(QtWarningMsg, QStringLiteral("01:02:03"), QString::fromUtf8("Zoë %1 %2")),
                 QByteArray("(W 01:02:03) Zo\xc3\xab %1 %2\n"));
    }

    void pruning_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("twelve files, two oldest go") << 12 << QStringList{"log-20140301.txt", "log-20140302.txt"};
        QTest::newRow("exactly ten, none go") << 10 << QStringList();
    }

    void pruning()
    {
        QFETCH(int, files);
        QFETCH(QStringList, removed);
        QTemporaryDir dir;
        QStringList names;
        for (int i = files; i >= 1; --i) // created newest first: order on disk must not matter
            names << QStringLiteral("log-201403%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        for (const QString &n : names)
            touch(dir.filePath(n));
        startLog(dir.path(), 10);
        for (const QString &n : names)
            QCOMPARE(QFileInfo::exists(dir.filePath(n)), !removed.contains(n));
    }

    void messagesLandInTodaysFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("qlogs/deeper"));
        startLog(folder, 10);
        qWarning("disk is %s", "full");
        qCritical() << "second";
        stopLogForTests();

        QFile log(todaysLog(folder));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last LF
        static const QRegularExpression warning(QStringLiteral("^\\(W \\d\\d:\\d\\d:\\d\\d\\) disk is full$"));
        QVERIFY2(warning.match(QString::fromUtf8(lines[0])).hasMatch(), lines[0].constData());
        QVERIFY(lines[1].startsWith("(C ") && lines[1].endsWith(") second"));
    }

    void secondStartAppends()
    {
        QTemporaryDir dir;
        startLog(dir.path(), 10);
        qWarning("first run");
        stopLogForTests();
        startLog(dir.path(), 10);
        qWarning("second run");
        stopLogForTests();
        QFile log(todaysLog(dir.path()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray all = log.readAll();
        QVERIFY(all.contains("first run") && all.contains("second run"));
    }

    void concurrentWritersNeverInterleave()
    {
        QTemporaryDir dir;
        startLog(dir.path(), 10);
        const int threads = 4, perThread = 400;
        QList<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers << QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    qWarning("thread %d line %d with some padding text to widen the window", t, i);
            });
            workers.last()->start();
        }
        for (QThread *w : workers) {
            w->wait();
            delete w;
        }
        stopLogForTests();

        QFile log(todaysLog(dir.path()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), threads * perThread + 1);
        static const QRegularExpression shape(QStringLiteral(
            "^\\(W \\d\\d:\\d\\d:\\d\\d\\) thread \\d line \\d+ with some padding text to widen the window$"));
        for (int i = 0; i < lines.size() - 1; ++i)
            QVERIFY2(shape.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
