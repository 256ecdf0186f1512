#pragma once

// Helpers for tests that run against the stand-in adb and the phone simulator
// built in tools/bin.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

inline QString standInBinDir()
{
    return QStringLiteral(FERRY_BINARY_DIR "/tools/bin");
}

inline QString standInTool(const QString &name)
{
    return QDir(standInBinDir()).filePath(name);
}

// Puts the stand-in adb first on PATH once for the whole test program.
inline void useStandInAdb()
{
    const QByteArray path = qgetenv("PATH");
    const QByteArray bin = QFile::encodeName(standInBinDir());
    if (!path.startsWith(bin + ':'))
        qputenv("PATH", bin + ':' + path);
}

// A port on 127.0.0.1 that was free a moment ago.
inline int freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A private state file for the stand-in adb, named in FERRY_FAKE_ADB_STATE
// while this object lives.
class FakeAdbWorld
{
public:
    FakeAdbWorld()
    {
        useStandInAdb();
        qputenv("FERRY_FAKE_ADB_STATE", QFile::encodeName(statePath()));
    }
    ~FakeAdbWorld() { qunsetenv("FERRY_FAKE_ADB_STATE"); }

    QString statePath() const { return m_dir.filePath("state.json"); }

    // Runs the stand-in with these arguments; returns its standard output.
    QByteArray adb(const QStringList &arguments) const
    {
        QProcess process;
        process.start(standInTool("adb"), arguments);
        process.waitForFinished(30000);
        return process.readAllStandardOutput();
    }

    // Every command line the stand-in has run, oldest first.
    QList<QStringList> calls() const
    {
        QList<QStringList> lines;
        QFile log(statePath() + ".log");
        if (!log.open(QIODevice::ReadOnly))
            return lines;
        while (!log.atEnd()) {
            QStringList arguments;
            for (const QJsonValue &value : QJsonDocument::fromJson(log.readLine()).array())
                arguments.append(value.toString());
            lines.append(arguments);
        }
        return lines;
    }

    int countCalls(const QStringList &arguments) const { return int(calls().count(arguments)); }

    QJsonObject state() const
    {
        QFile file(statePath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

private:
    QTemporaryDir m_dir;
};

// Plays another adb client that, while an exchange starts, re-points the
// first forward it finds to its own phone (adb lets any client do that
// unless it forwards with --no-rebind). Needs an event loop to act.
class ForwardTakeover
{
public:
    ForwardTakeover(const FakeAdbWorld &world, const QString &otherSerial)
    {
        world.adb({"fake", "plug", otherSerial});
        // A slow broadcast: the takeover comes before the agent is reached.
        world.adb({"fake", "delay", "am", "3000"});
        QObject::connect(&m_look, &QTimer::timeout, &m_look, [this, &world, otherSerial] {
            const QStringList forwarded = world.state().value("forwards").toObject().keys();
            if (forwarded.isEmpty())
                return;
            m_look.stop();
            world.adb({"-s", otherSerial, "forward", forwarded.first(), forwarded.first()});
            m_done = true;
        });
        m_look.start(20);
    }

    bool done() const { return m_done; }

private:
    QTimer m_look;
    bool m_done = false;
};

// A running phone simulator with its own store, status file and launcher port.
class SimulatedPhone
{
public:
    explicit SimulatedPhone(const QString &storeFolder) : m_store(storeFolder) {}
    ~SimulatedPhone()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
        }
    }

    static bool generate(const QString &storeFolder, const QStringList &options)
    {
        QProcess process;
        process.start(standInTool("agent-sim"), QStringList{"generate", "--store", storeFolder} + options);
        return process.waitForFinished(120000) && process.exitCode() == 0;
    }

    // Starts serving; false when the launcher did not come up.
    bool start(const QStringList &options = {})
    {
        m_process.start(standInTool("agent-sim"),
                        QStringList{"--store", m_store, "--launcher-port", "0", "--status", statusPath(),
                                    "--parent-pid", QString::number(QCoreApplication::applicationPid()),
                                    "--idle-timeout", "300"}
                            + options);
        while (m_process.waitForReadyRead(20000)) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                const QByteArray marker = "launcher listening on 127.0.0.1:";
                if (line.contains(marker)) {
                    m_launcherPort = line.mid(line.indexOf(marker) + marker.size()).toInt();
                    return true;
                }
            }
        }
        return false;
    }

    int launcherPort() const { return m_launcherPort; }
    QProcess &process() { return m_process; }
    QString statusPath() const { return m_store + ".status.json"; }

    QJsonObject status() const
    {
        QFile file(statusPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

    qint64 counter(const char *name) const { return status().value(name).toInteger(); }

    // Waits until the simulator has ended `count` exchanges, well or badly.
    bool waitForExchangesEnded(qint64 count) const
    {
        for (int i = 0; i < 400; ++i) {
            const QJsonObject now = status();
            if (now.value("exchangesCompleted").toInteger() + now.value("exchangesFailed").toInteger() >= count)
                return true;
            QTest::qWait(25);
        }
        return false;
    }

    // Waits until every exchange the simulator has begun has ended.
    bool waitForAllExchangesEnded() const
    {
        for (int i = 0; i < 800; ++i) {
            const QJsonObject now = status();
            if (now.value("exchangesCompleted").toInteger() + now.value("exchangesFailed").toInteger()
                == now.value("exchangesStarted").toInteger())
                return true;
            QTest::qWait(25);
        }
        return false;
    }

private:
    QString m_store;
    QProcess m_process;
    int m_launcherPort = 0;
};
