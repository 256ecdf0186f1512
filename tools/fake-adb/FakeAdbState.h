#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>

// The stand-in adb's world, kept in a JSON file so that tests, the phone
// simulator and a person at a shell can change it while programs run:
//
// {
//   "server": true,                        is the ADB server "running"
//   "devices": [ { "serial": "SIM0001",    in list order
//                  "state": "device",      what `adb devices` prints
//                  "launcherPort": 44441,  the simulator's launcher on 127.0.0.1
//                  "agent": true,          is the agent package installed
//                  "installError": "" } ], non-empty: `install` fails with it
//   "forwards": { "tcp:20101":             adb forwards by local end
//                 { "serial": "SIM0001", "remote": "tcp:20101" } },
//   "stderr": { "devices": "text" },       extra standard-error text per command
//   "stdout": { "devices": "text" },       replaces a command's standard output
//   "delayMs": { "devices": 5000 }         pause before a command answers
// }
//
// The file's path comes from FERRY_FAKE_ADB_STATE; every change is made under a
// lock file and written atomically. Each run of the stand-in appends its
// arguments as one JSON array line to the same path + ".log".
class FakeAdbState
{
public:
    static const char *const EnvironmentVariable;

    // FERRY_FAKE_ADB_STATE, or a file in the system's temporary folder.
    static QString defaultPath();

    explicit FakeAdbState(const QString &path);

    QString path() const;
    QJsonObject read() const;
    // Reads, lets `edit` change the document, writes it back, all under the lock.
    void update(const std::function<void(QJsonObject &)> &edit) const;
    void appendCall(const QStringList &arguments) const;

    // Adds the device or changes its entry in place (keeping its list position).
    static void plug(QJsonObject &state, const QString &serial, const QString &deviceState,
                     int launcherPort, bool agentInstalled);
    // Removes the device and, as adb does, its forwards.
    static bool unplug(QJsonObject &state, const QString &serial);

private:
    QString m_path;
};
