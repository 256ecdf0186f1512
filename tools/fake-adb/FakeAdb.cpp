#include "FakeAdb.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QTcpSocket>
#include <QThread>

namespace {

const char *const AgentPackage = "com.ferrywright.smssync";
const char *const DaemonStarting =
    "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n";
const char *const DaemonUnreachable = "cannot connect to daemon at tcp:5037: Connection refused\n";
const char *const UnauthorizedText =
    "error: device unauthorized.\n"
    "This adb server's $ADB_VENDOR_KEYS is not set\n"
    "Try 'adb kill-server' if that seems wrong.\n"
    "Otherwise check for a confirmation dialog on your device.\n";

const QStringList &systemPackages()
{
    static const QStringList packages{
        "android", "com.android.phone", "com.android.providers.telephony", "com.android.settings",
        "com.android.systemui", "com.google.android.apps.messaging", "com.android.chrome"};
    return packages;
}

AdbOutcome failure(const QByteArray &text, int exitCode = 1)
{
    return AdbOutcome{QByteArray(), text, exitCode};
}

// The value after `option` in an activity-manager command line.
QString optionValue(const QStringList &command, const QString &option)
{
    const qsizetype at = command.indexOf(option);
    return at >= 0 && at + 1 < command.size() ? command.at(at + 1) : QString();
}

} // namespace

FakeAdb::FakeAdb(const FakeAdbState &state)
    : m_state(state)
{
}

AdbOutcome FakeAdb::run(QStringList arguments)
{
    m_state.appendCall(arguments);
    m_snapshot = m_state.read();
    while (!arguments.isEmpty() && arguments.first().startsWith('-') && arguments.first() != "--help"
           && arguments.first() != "--version") {
        const QString option = arguments.takeFirst();
        if ((option == "-s" || option == "-H" || option == "-P" || option == "-L") && !arguments.isEmpty()) {
            const QString value = arguments.takeFirst();
            if (option == "-s")
                m_serial = value;
        }
    }
    if (arguments.isEmpty())
        return AdbOutcome{fakeAdbHelp(), QByteArray(), 1};

    const QString command = arguments.takeFirst();
    if (command == "fake")
        return runFakeControl(m_state, arguments);

    const QString key = overrideKey(command, arguments);
    const int delay = m_snapshot.value("delayMs").toObject().value(key).toInt();
    if (delay > 0)
        QThread::msleep(ulong(delay));

    AdbOutcome outcome = dispatch(command, arguments);
    const QJsonValue replacedOut = m_snapshot.value("stdout").toObject().value(key);
    if (replacedOut.isString())
        outcome.out = replacedOut.toString().toUtf8();
    const QString extraErr = m_snapshot.value("stderr").toObject().value(key).toString();
    if (!extraErr.isEmpty())
        outcome.err += extraErr.toUtf8();
    return outcome;
}

QString FakeAdb::overrideKey(const QString &command, const QStringList &rest)
{
    return command == "shell" && !rest.isEmpty() ? rest.first() : command;
}

AdbOutcome FakeAdb::dispatch(const QString &command, const QStringList &rest)
{
    if (command == "help" || command == "--help")
        return AdbOutcome{fakeAdbHelp(), QByteArray(), 0};
    if (command == "version" || command == "--version") {
        return AdbOutcome{"Android Debug Bridge version 1.0.41\nVersion 29.0.6-ferrywright-stand-in\n"
                          "Installed as " + QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath().toUtf8() + "\n",
                          QByteArray(), 0};
    }
    if (command == "start-server")
        return startServer();
    if (command == "kill-server")
        return killServer();

    AdbOutcome prelude;
    ensureServer(prelude);
    AdbOutcome outcome;
    if (command == "devices") {
        outcome = devices();
    } else if (command == "forward") {
        outcome = forward(rest);
    } else if (command == "shell" || command == "install" || command == "uninstall") {
        QJsonObject device;
        if (selectDevice(command, device, outcome)) {
            if (command == "shell")
                outcome = shell(device, rest);
            else if (command == "install")
                outcome = install(device, rest);
            else
                outcome = uninstall(device, rest);
        }
    } else {
        outcome = failure("adb: unknown command " + command.toUtf8() + "\n");
    }
    outcome.err.prepend(prelude.err);
    return outcome;
}

AdbOutcome FakeAdb::startServer()
{
    AdbOutcome outcome;
    ensureServer(outcome);
    return outcome;
}

AdbOutcome FakeAdb::killServer()
{
    if (!m_snapshot.value("server").toBool())
        return failure(DaemonUnreachable, 0);
    m_state.update([](QJsonObject &state) { state.insert("server", false); });
    return AdbOutcome{};
}

void FakeAdb::ensureServer(AdbOutcome &outcome)
{
    if (m_snapshot.value("server").toBool())
        return;
    m_state.update([](QJsonObject &state) { state.insert("server", true); });
    m_snapshot.insert("server", true);
    outcome.err += DaemonStarting;
}

AdbOutcome FakeAdb::devices()
{
    QByteArray out = "List of devices attached\n";
    for (const QJsonValue &value : m_snapshot.value("devices").toArray()) {
        const QJsonObject device = value.toObject();
        out += device.value("serial").toString().toUtf8() + '\t'
            + device.value("state").toString("device").toUtf8() + '\n';
    }
    return AdbOutcome{out + '\n', QByteArray(), 0};
}

bool FakeAdb::selectDevice(const QString &command, QJsonObject &device, AdbOutcome &error) const
{
    const QByteArray prefix = command == "forward" ? "adb: error: " : "error: ";
    const QJsonArray devices = m_snapshot.value("devices").toArray();
    if (m_serial.isEmpty()) {
        if (devices.isEmpty()) {
            error = failure(prefix + "no devices/emulators found\n");
            return false;
        }
        if (devices.size() > 1) {
            error = failure(prefix + "more than one device/emulator\n");
            return false;
        }
        device = devices.first().toObject();
    } else {
        const auto found = std::find_if(devices.begin(), devices.end(), [this](const QJsonValue &value) {
            return value.toObject().value("serial").toString() == m_serial;
        });
        if (found == devices.end()) {
            error = failure(prefix + "device '" + m_serial.toUtf8() + "' not found\n");
            return false;
        }
        device = found->toObject();
    }
    const QString state = device.value("state").toString("device");
    if (state == "unauthorized") {
        error = failure(UnauthorizedText);
        return false;
    }
    if (state != "device") {
        error = failure(prefix + "device " + state.toUtf8() + "\n");
        return false;
    }
    return true;
}

AdbOutcome FakeAdb::shell(const QJsonObject &device, const QStringList &command)
{
    const QString program = command.value(0);
    if (program == "pm" && (command.value(1) == "-l" || command.mid(1, 2) == QStringList{"list", "packages"})) {
        QStringList packages = systemPackages();
        if (device.value("agent").toBool())
            packages.append(AgentPackage);
        QByteArray out;
        for (const QString &package : std::as_const(packages))
            out += "package:" + package.toUtf8() + '\n';
        return AdbOutcome{out, QByteArray(), 0};
    }
    if (program == "am")
        return activityManager(device, command.mid(1));
    if (program == "logcat")
        return AdbOutcome{"--------- beginning of main\nI/ActivityManager( 1234): Start proc com.ferrywright.smssync\n",
                          QByteArray(), 0};
    return failure("/system/bin/sh: " + program.toUtf8() + ": inaccessible or not found\n", 127);
}

AdbOutcome FakeAdb::activityManager(const QJsonObject &device, const QStringList &command)
{
    const QString verb = command.value(0);
    if (verb == "force-stop")
        return AdbOutcome{};
    if (verb != "broadcast" && verb != "start")
        return AdbOutcome{"Error: unknown command '" + verb.toUtf8() + "'\n", QByteArray(), 255};

    const QString action = optionValue(command, "-a");
    const QString data = optionValue(command, "-d");
    const QString type = optionValue(command, "-t");
    const QString component = optionValue(command, "-n");
    QStringList intent;
    if (!action.isEmpty())
        intent << "act=" + action;
    if (!data.isEmpty())
        intent << "dat=" + data;
    if (!type.isEmpty())
        intent << "typ=" + type;
    intent << "flg=0x400000";
    if (!component.isEmpty())
        intent << "cmp=" + component;

    // The agent's receiver starts the exchange the URL names; a phone without
    // the agent still completes the broadcast, nobody just hears it.
    const QByteArray description = "Intent { " + intent.join(' ').toUtf8() + " }\n";
    if (verb == "start")
        return AdbOutcome{"Starting: " + description, QByteArray(), 0};
    if (device.value("agent").toBool() && component.startsWith(QLatin1String(AgentPackage) + '/')
        && !data.isEmpty())
        handUrlToLauncher(device.value("launcherPort").toInt(44441), data);
    return AdbOutcome{"Broadcasting: " + description + "Broadcast completed: result=0\n", QByteArray(), 0};
}

AdbOutcome FakeAdb::install(const QJsonObject &device, const QStringList &rest)
{
    const QString path = rest.isEmpty() ? QString() : rest.last();
    if (path.isEmpty())
        return failure("adb: usage: install requires an argument\n");
    if (!QFileInfo(path).isFile())
        return failure("adb: failed to stat " + path.toUtf8() + ": No such file or directory\n");
    const QString installError = device.value("installError").toString();
    if (!installError.isEmpty()) {
        return AdbOutcome{"Performing Streamed Install\n",
                          "adb: failed to install " + path.toUtf8() + ": Failure [" + installError.toUtf8() + "]\n",
                          1};
    }
    setAgentInstalled(device.value("serial").toString(), true);
    return AdbOutcome{"Performing Streamed Install\nSuccess\n", QByteArray(), 0};
}

AdbOutcome FakeAdb::uninstall(const QJsonObject &device, const QStringList &rest)
{
    if (rest.value(0) == AgentPackage && device.value("agent").toBool()) {
        setAgentInstalled(device.value("serial").toString(), false);
        return AdbOutcome{"Success\n", QByteArray(), 0};
    }
    return AdbOutcome{"Failure [DELETE_FAILED_INTERNAL_ERROR]\n", QByteArray(), 1};
}

AdbOutcome FakeAdb::forward(const QStringList &rest)
{
    if (rest.value(0) == "--list")
        return listForwards();
    if (rest.value(0) == "--remove-all") {
        m_state.update([](QJsonObject &state) { state.remove("forwards"); });
        return AdbOutcome{};
    }
    if (rest.value(0) == "--remove")
        return removeForward(rest.value(1));
    QJsonObject device;
    AdbOutcome error;
    if (!selectDevice("forward", device, error))
        return error;
    QStringList specs = rest;
    const bool noRebind = specs.removeAll("--no-rebind") > 0;
    for (const QString &spec : specs.mid(0, 2)) {
        bool ok = false;
        if (!spec.startsWith("tcp:") || spec.mid(4).toInt(&ok) < 0 || !ok)
            return failure("adb: error: cannot bind listener: unsupported forward spec '" + spec.toUtf8() + "'\n");
    }
    if (specs.size() < 2)
        return failure("adb: usage: forward requires an argument\n");
    // Looked at and changed under the state's lock, as the adb server does it
    // in one step. A new forward's port is held by the phone simulator (its
    // launcher listens there at once), as the adb server binds it.
    AdbOutcome outcome;
    m_state.update([&](QJsonObject &state) {
        QJsonObject forwards = state.value("forwards").toObject();
        const bool held = forwards.contains(specs.at(0));
        if (held && noRebind) {
            outcome = failure("adb: error: cannot rebind existing socket\n");
            return;
        }
        if (!held) {
            const QByteArray reply = handUrlToLauncher(device.value("launcherPort").toInt(44441), "forward " + specs.at(0));
            if (reply.startsWith('0')) {
                outcome = failure("adb: error: cannot bind listener: " + QByteArray::fromBase64(reply.mid(1)) + "\n");
                return;
            }
        }
        forwards.insert(specs.at(0), QJsonObject{{"serial", device.value("serial")}, {"remote", specs.at(1)}});
        state.insert("forwards", forwards);
    });
    return outcome;
}

AdbOutcome FakeAdb::listForwards() const
{
    QByteArray out;
    const QJsonObject forwards = m_snapshot.value("forwards").toObject();
    for (auto it = forwards.begin(); it != forwards.end(); ++it) {
        const QJsonObject forward = it.value().toObject();
        out += forward.value("serial").toString().toUtf8() + ' ' + it.key().toUtf8() + ' '
            + forward.value("remote").toString().toUtf8() + '\n';
    }
    return AdbOutcome{out, QByteArray(), 0};
}

AdbOutcome FakeAdb::removeForward(const QString &local)
{
    bool found = false;
    m_state.update([&](QJsonObject &state) {
        QJsonObject forwards = state.value("forwards").toObject();
        found = forwards.contains(local);
        forwards.remove(local);
        state.insert("forwards", forwards);
    });
    return found ? AdbOutcome{} : failure("adb: error: listener '" + local.toUtf8() + "' not found\n");
}

void FakeAdb::setAgentInstalled(const QString &serial, bool installed)
{
    m_state.update([&](QJsonObject &state) {
        QJsonArray devices = state.value("devices").toArray();
        for (int i = 0; i < devices.size(); ++i) {
            QJsonObject device = devices.at(i).toObject();
            if (device.value("serial").toString() == serial) {
                device.insert("agent", installed);
                devices.replace(i, device);
            }
        }
        state.insert("devices", devices);
    });
}

QByteArray handUrlToLauncher(int launcherPort, const QString &url)
{
    QTcpSocket launcher;
    launcher.connectToHost(QStringLiteral("127.0.0.1"), quint16(launcherPort));
    if (!launcher.waitForConnected(3000))
        return QByteArray();
    launcher.write(url.toUtf8() + '\n');
    launcher.waitForBytesWritten(3000);
    QByteArray reply;
    while (!reply.contains('\n') && launcher.waitForReadyRead(10000))
        reply += launcher.readAll();
    launcher.disconnectFromHost();
    return reply.trimmed();
}
