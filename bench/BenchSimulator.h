#pragma once

// The phone simulator as the download and transfer benchmarks start it.

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include <unistd.h>

namespace bench {

inline QString toolPath(const QString &name)
{
    return QDir(QStringLiteral(FERRY_BINARY_DIR "/tools/bin")).filePath(name);
}

// The phone simulator serving one store, stopped with this object.
class Simulator
{
public:
    Simulator(const QString &store, const QString &status)
        : m_status(status)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(toolPath(QStringLiteral("agent-sim")),
                        {"--store", store, "--launcher-port", "0", "--status", status, "--parent-pid",
                         QString::number(QCoreApplication::applicationPid()), "--idle-timeout", "3600"});
        const QByteArray marker = "launcher listening on 127.0.0.1:";
        while (m_port == 0 && m_process.waitForReadyRead(30000)) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine();
                if (line.contains(marker))
                    m_port = line.mid(line.indexOf(marker) + marker.size()).trimmed().toInt();
            }
        }
        if (m_port == 0)
            fail(QStringLiteral("the simulator did not start"));
    }

    ~Simulator()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    int port() const { return m_port; }

    // CPU time the simulator has used so far (user and system), milliseconds.
    qint64 cpuMs() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray text = stat.readAll();
        // Fields after the command name, which is in brackets and may hold blanks.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const qint64 ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
        return ticks * 1000 / sysconf(_SC_CLK_TCK);
    }

    // A counter of the simulator's status file.
    qint64 counter(const char *name) const
    {
        // The status file is rewritten twice a second; give it time to settle.
        QThread::msleep(1200);
        QFile file(m_status);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        return QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String(name)).toInteger();
    }

private:
    QString m_status;
    QProcess m_process;
    int m_port = 0;
};

} // namespace bench
