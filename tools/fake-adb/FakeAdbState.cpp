#include "FakeAdbState.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

#include <stdexcept>

const char *const FakeAdbState::EnvironmentVariable = "FERRY_FAKE_ADB_STATE";

namespace {

const int LockWaitMs = 10000;

QJsonObject parseState(const QByteArray &bytes)
{
    QJsonObject state = QJsonDocument::fromJson(bytes).object();
    if (!state.contains("server"))
        state.insert("server", false);
    if (!state.contains("devices"))
        state.insert("devices", QJsonArray());
    return state;
}

} // namespace

QString FakeAdbState::defaultPath()
{
    const QString fromEnvironment = qEnvironmentVariable(EnvironmentVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir(QDir::tempPath()).filePath("ferry-fake-adb-state.json");
}

FakeAdbState::FakeAdbState(const QString &path)
    : m_path(path)
{
}

QString FakeAdbState::path() const
{
    return m_path;
}

QJsonObject FakeAdbState::read() const
{
    QFile file(m_path);
    return parseState(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}

void FakeAdbState::update(const std::function<void(QJsonObject &)> &edit) const
{
    QLockFile lock(m_path + ".lock");
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(LockWaitMs))
        throw std::runtime_error(("cannot lock " + m_path + ".lock").toStdString());
    QJsonObject state = read();
    edit(state);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(("cannot write " + m_path + ": " + file.errorString()).toStdString());
    file.write(QJsonDocument(state).toJson());
    if (!file.commit())
        throw std::runtime_error(("cannot write " + m_path + ": " + file.errorString()).toStdString());
}

void FakeAdbState::appendCall(const QStringList &arguments) const
{
    QFile log(m_path + ".log");
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
}

void FakeAdbState::plug(QJsonObject &state, const QString &serial, const QString &deviceState,
                        int launcherPort, bool agentInstalled)
{
    QJsonArray devices = state.value("devices").toArray();
    const QJsonObject entry{{"serial", serial},
                            {"state", deviceState},
                            {"launcherPort", launcherPort},
                            {"agent", agentInstalled}};
    bool replaced = false;
    for (int i = 0; i < devices.size(); ++i) {
        if (devices.at(i).toObject().value("serial").toString() == serial) {
            devices.replace(i, entry);
            replaced = true;
        }
    }
    if (!replaced)
        devices.append(entry);
    state.insert("devices", devices);
}

bool FakeAdbState::unplug(QJsonObject &state, const QString &serial)
{
    QJsonArray devices = state.value("devices").toArray();
    bool removed = false;
    for (int i = int(devices.size()) - 1; i >= 0; --i) {
        if (devices.at(i).toObject().value("serial").toString() == serial) {
            devices.removeAt(i);
            removed = true;
        }
    }
    state.insert("devices", devices);
    QJsonObject forwards = state.value("forwards").toObject();
    for (const QString &local : forwards.keys()) {
        if (forwards.value(local).toObject().value("serial").toString() == serial)
            forwards.remove(local);
    }
    state.insert("forwards", forwards);
    return removed;
}
