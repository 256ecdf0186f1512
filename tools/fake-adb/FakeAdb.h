#pragma once

#include "FakeAdbState.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// What one run of the stand-in prints and returns.
struct AdbOutcome
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

// Answers adb command lines from the state file the way the real tool answers
// them with such devices attached: same texts, same streams.
class FakeAdb
{
public:
    explicit FakeAdb(const FakeAdbState &state);

    AdbOutcome run(QStringList arguments);

private:
    AdbOutcome dispatch(const QString &command, const QStringList &rest);
    AdbOutcome startServer();
    AdbOutcome killServer();
    AdbOutcome devices();
    AdbOutcome shell(const QJsonObject &device, const QStringList &command);
    AdbOutcome activityManager(const QJsonObject &device, const QStringList &command);
    AdbOutcome install(const QJsonObject &device, const QStringList &rest);
    AdbOutcome uninstall(const QJsonObject &device, const QStringList &rest);
    AdbOutcome forward(const QStringList &rest);
    AdbOutcome listForwards() const;
    AdbOutcome removeForward(const QString &local);

    // The device a command addresses, or the error adb prints when there is none.
    bool selectDevice(const QString &command, QJsonObject &device, AdbOutcome &error) const;
    // Starts the "server" the way adb does on any command that needs it.
    void ensureServer(AdbOutcome &outcome);
    void setAgentInstalled(const QString &serial, bool installed);
    static QString overrideKey(const QString &command, const QStringList &rest);

    const FakeAdbState &m_state;
    QJsonObject m_snapshot;
    QString m_serial;
};

// The `adb fake ...` verbs that change the state file (not part of real adb).
AdbOutcome runFakeControl(const FakeAdbState &state, const QStringList &arguments);

// The text of `adb help`, including how the stand-in is driven.
QByteArray fakeAdbHelp();

// Hands a start URL to the phone simulator's launcher, as the agent's broadcast
// receiver would start the exchange on a real phone. Returns the launcher's reply.
QByteArray handUrlToLauncher(int launcherPort, const QString &url);
