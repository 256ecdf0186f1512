#pragma once

#include "android/AdbDevice.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>

// Runs the Android Debug Bridge tool, started by its bare name "adb", one
// short-lived process per call, and turns the output of the commands the
// program needs into values. Holds no state beyond its optional limits, so
// callers make one on the stack around each use, from worker threads only.
//
// Throwing operations raise std::runtime_error; in quiet mode the error text of
// the tool becomes part of the output, which the caller's own check then judges.
class AdbClient
{
public:
    enum class ErrorMode { Quiet, Throwing };
    // Whether `forward` may re-point a local port another forward holds.
    enum class Rebind { Allowed, Refused };

    AdbClient() = default;

    // Bounds each run in milliseconds; -1 (the default) waits without limit.
    void setTimeLimit(int milliseconds);
    // Checked while a run waits; when it becomes true the tool is killed, so a
    // closing window never hangs on a stuck adb. Must outlive the client.
    void setAbortFlag(const std::atomic_bool *abort);

    void killServer() const;
    QString startServer() const;
    QList<AdbDevice> devices() const;
    QSet<QString> listPackages(const QString &serial) const;
    void install(const QString &serial, const QString &apkPath) const;
    // With Rebind::Refused adb fails when the local port is forwarded already,
    // which makes taking a port one step that no other adb client can split.
    void forward(const QString &serial, int localPort, int remotePort,
                 Rebind rebind = Rebind::Allowed) const;
    // Every TCP forward adb holds, any device: local port -> serial.
    QHash<int, QString> tcpForwards() const;
    // Quiet: a forward that is gone already is no failure.
    void removeForward(const QString &serial, int localPort) const;
    void am(const QString &serial, const QString &command, const QString &component,
            const QString &action, const QString &data, const QStringList &categories,
            const QString &mimeType) const;
    QString logcat(const QString &serial) const;
    void forceStop(const QString &serial, const QString &package) const;
    void uninstall(const QString &serial, const QString &package) const;

    // Runs adb with these arguments and returns its output (see ErrorMode).
    QString run(const QStringList &arguments, ErrorMode mode) const;

    // The argument list of `am`: -s serial shell am command, then the pairs
    // -n, -a, -d for non-empty values, one -c per category, then -t.
    static QStringList amArguments(const QString &serial, const QString &command,
                                   const QString &component, const QString &action,
                                   const QString &data, const QStringList &categories,
                                   const QString &mimeType);

private:
    int m_timeLimit = -1;
    const std::atomic_bool *m_abort = nullptr;
};
