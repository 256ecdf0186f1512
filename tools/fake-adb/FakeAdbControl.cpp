// The `adb fake ...` verbs: how tests, the demo and a person at a shell plug
// and unplug simulated phones and switch on error modes.
#include "FakeAdb.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <exception>

namespace {

QJsonObject withEntry(QJsonObject map, const QString &key, const QJsonValue &value)
{
    if (value.isNull())
        map.remove(key);
    else
        map.insert(key, value);
    return map;
}

// Changes one field of the device `serial`; false when there is no such device.
bool editDevice(QJsonObject &state, const QString &serial, const QString &field, const QJsonValue &value)
{
    QJsonArray devices = state.value("devices").toArray();
    bool found = false;
    for (int i = 0; i < devices.size(); ++i) {
        QJsonObject device = devices.at(i).toObject();
        if (device.value("serial").toString() == serial) {
            device.insert(field, value);
            devices.replace(i, device);
            found = true;
        }
    }
    state.insert("devices", devices);
    return found;
}

AdbOutcome usage(const QByteArray &text)
{
    return AdbOutcome{QByteArray(), "adb fake: " + text + "\n(see adb help)\n", 2};
}

AdbOutcome plug(const FakeAdbState &state, QStringList arguments)
{
    int port = 44441;
    bool agent = true;
    const qsizetype portAt = arguments.indexOf("--port");
    if (portAt >= 0 && portAt + 1 < arguments.size()) {
        port = arguments.at(portAt + 1).toInt();
        arguments.remove(portAt, 2);
    }
    if (arguments.removeAll("--no-agent") > 0)
        agent = false;
    if (arguments.isEmpty())
        return usage("plug needs a serial");
    const QString serial = arguments.at(0);
    const QString deviceState = arguments.value(1, "device");
    state.update([&](QJsonObject &document) { FakeAdbState::plug(document, serial, deviceState, port, agent); });
    return AdbOutcome{};
}

AdbOutcome editExistingDevice(const FakeAdbState &state, const QString &serial, const QString &field,
                              const QJsonValue &value)
{
    bool found = false;
    state.update([&](QJsonObject &document) { found = editDevice(document, serial, field, value); });
    return found ? AdbOutcome{} : usage("no device " + serial.toUtf8());
}

AdbOutcome setOverride(const FakeAdbState &state, const QString &map, const QString &command,
                       const QJsonValue &value)
{
    state.update([&](QJsonObject &document) {
        document.insert(map, withEntry(document.value(map).toObject(), command, value));
    });
    return AdbOutcome{};
}

} // namespace

AdbOutcome runFakeControl(const FakeAdbState &state, const QStringList &arguments)
{
    const QString verb = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    try {
        if (verb == "plug")
            return plug(state, rest);
        if (verb == "unplug" && rest.size() == 1) {
            state.update([&](QJsonObject &document) { FakeAdbState::unplug(document, rest.at(0)); });
            return AdbOutcome{};
        }
        if (verb == "state" && rest.size() == 2)
            return editExistingDevice(state, rest.at(0), "state", rest.at(1));
        if (verb == "agent" && rest.size() == 2)
            return editExistingDevice(state, rest.at(0), "agent", rest.at(1) == "yes");
        if (verb == "install-error" && rest.size() == 2)
            return editExistingDevice(state, rest.at(0), "installError", rest.at(1));
        if ((verb == "stderr" || verb == "stdout") && rest.size() == 2)
            return setOverride(state, verb, rest.at(0), rest.at(1));
        if (verb == "delay" && rest.size() == 2)
            return setOverride(state, "delayMs", rest.at(0), rest.at(1).toInt());
        if (verb == "clear" && rest.size() == 1) {
            for (const char *map : {"stderr", "stdout", "delayMs"})
                setOverride(state, map, rest.at(0), QJsonValue());
            return AdbOutcome{};
        }
        if (verb == "server" && rest.size() == 1) {
            state.update([&](QJsonObject &document) { document.insert("server", rest.at(0) == "on"); });
            return AdbOutcome{};
        }
        if (verb == "reset") {
            state.update([](QJsonObject &document) { document = QJsonObject(); });
            return AdbOutcome{};
        }
        if (verb == "show")
            return AdbOutcome{QJsonDocument(state.read()).toJson(), QByteArray(), 0};
    } catch (const std::exception &error) {
        return AdbOutcome{QByteArray(), QByteArray("adb fake: ") + error.what() + "\n", 1};
    }
    return usage("unknown or incomplete verb '" + verb.toUtf8() + "'");
}

QByteArray fakeAdbHelp()
{
    return R"(Android Debug Bridge version 1.0.41 (ferrywright stand-in)

This is not the real adb. It answers the commands Ferrywright uses as the real
tool does with the devices of a state file attached, so the program, its tests
and its demo run without a phone. Put its folder first on PATH.

The state file is $FERRY_FAKE_ADB_STATE, or ferry-fake-adb-state.json in the
system's temporary folder. Every run appends its arguments to <state>.log.

adb commands:
 devices                          the device list from the state file
 start-server | kill-server       switch the "server" as the real tool does
 -s SERIAL shell pm -l            installed packages (the agent when installed)
 -s SERIAL install FILE           "Success", or the device's install error
 -s SERIAL uninstall PACKAGE
 -s SERIAL forward [--no-rebind] tcp:L tcp:R
                                  records the forward (re-pointing one of port
                                  L unless --no-rebind); for a new one the
                                  phone simulator's launcher is asked to listen
                                  on 127.0.0.1:L, as the adb server binds it
 forward --list | -s SERIAL forward --remove tcp:L | forward --remove-all
 -s SERIAL shell am broadcast -n com.ferrywright.smssync/... -d URL
                                  prints adb's broadcast lines and, when the
                                  agent is installed, sends URL as one line to
                                  the phone simulator's launcher at
                                  127.0.0.1:<launcherPort> (agent-sim), which
                                  then listens on the URL's port
 -s SERIAL shell logcat -d | shell am force-stop PACKAGE
 version | help

State commands (not in the real adb):
 fake plug SERIAL [STATE] [--port LAUNCHER_PORT] [--no-agent]
                                  attach a phone (STATE "device", "offline",
                                  "unauthorized"; port default 44441)
 fake unplug SERIAL               detach it
 fake state SERIAL STATE          change its state in place
 fake agent SERIAL yes|no         agent package installed or not
 fake install-error SERIAL TEXT   make install fail with "Failure [TEXT]"
                                  ("" to succeed again)
 fake stderr COMMAND TEXT         also write TEXT to standard error
 fake stdout COMMAND TEXT         replace the standard output
 fake delay COMMAND MS            answer only after MS milliseconds
 fake clear COMMAND               undo stderr, stdout and delay of COMMAND
                                  (COMMAND is the adb verb, or for shell the
                                  program: devices, install, pm, am, forward...)
 fake server on|off               set the server state
 fake show | fake reset           print or empty the state

The phone simulator registers itself when started with
  agent-sim --store DIR --adb-state "$FERRY_FAKE_ADB_STATE" --serial SERIAL
and unplugs itself when it stops.
)";
}
