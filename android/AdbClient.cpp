#include "android/AdbClient.h"

#include "android/AdbOutput.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <stdexcept>

namespace {

const int StartTimeoutMs = 10000;
// How often a waiting run looks at the abort flag.
const int WaitSliceMs = 100;

const QString RunFailedText = QStringLiteral("run adb failed.");

[[noreturn]] void throwText(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

QString portArgument(int port)
{
    return QStringLiteral("tcp:%0").arg(port);
}

// install and uninstall succeed only when adb printed a "Success" line.
void requireSuccessLine(const QString &output)
{
    if (!hasSuccessLine(output))
        throwText(output);
}

} // namespace

void AdbClient::setTimeLimit(int milliseconds)
{
    m_timeLimit = milliseconds;
}

void AdbClient::setAbortFlag(const std::atomic_bool *abort)
{
    m_abort = abort;
}

QString AdbClient::run(const QStringList &arguments, ErrorMode mode) const
{
    QProcess process;
    process.start(QStringLiteral("adb"), arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(StartTimeoutMs)) {
        if (mode == ErrorMode::Throwing)
            throwText(RunFailedText);
        return RunFailedText;
    }
    process.closeWriteChannel();

    // Wait in slices so an abort from another thread or the time limit can end
    // a tool that never returns.
    const QDeadlineTimer deadline(m_timeLimit < 0 ? QDeadlineTimer::Forever
                                                  : QDeadlineTimer(m_timeLimit));
    QString interruption;
    while (!process.waitForFinished(WaitSliceMs)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (m_abort && m_abort->load())
            interruption = QStringLiteral("adb %1 aborted.").arg(arguments.join(QLatin1Char(' ')));
        else if (deadline.hasExpired())
            interruption = QStringLiteral("adb %1 timed out.").arg(arguments.join(QLatin1Char(' ')));
        if (!interruption.isEmpty()) {
            process.kill();
            process.waitForFinished(StartTimeoutMs);
            break;
        }
    }

    QString errorText = decodeAdbText(process.readAllStandardError());
    const QString outputText = decodeAdbText(process.readAllStandardOutput());
    if (!interruption.isEmpty())
        errorText = errorText.isEmpty() ? interruption : errorText + QLatin1Char('\n') + interruption;

    if (errorText.isEmpty())
        return outputText;
    if (mode == ErrorMode::Throwing)
        throwText(errorText);
    return QStringLiteral("%0\n%1").arg(errorText, outputText);
}

void AdbClient::killServer() const
{
    run({QStringLiteral("kill-server")}, ErrorMode::Quiet);
}

QString AdbClient::startServer() const
{
    return run({QStringLiteral("start-server")}, ErrorMode::Quiet);
}

QList<AdbDevice> AdbClient::devices() const
{
    return parseDeviceList(run({QStringLiteral("devices")}, ErrorMode::Throwing));
}

QSet<QString> AdbClient::listPackages(const QString &serial) const
{
    return parsePackageList(run({QStringLiteral("-s"), serial, QStringLiteral("shell"),
                                 QStringLiteral("pm"), QStringLiteral("-l")},
                                ErrorMode::Quiet));
}

void AdbClient::install(const QString &serial, const QString &apkPath) const
{
    requireSuccessLine(run({QStringLiteral("-s"), serial, QStringLiteral("install"), apkPath},
                           ErrorMode::Quiet));
}

void AdbClient::forward(const QString &serial, int localPort, int remotePort, Rebind rebind) const
{
    QStringList arguments{QStringLiteral("-s"), serial, QStringLiteral("forward")};
    if (rebind == Rebind::Refused)
        arguments << QStringLiteral("--no-rebind");
    arguments << portArgument(localPort) << portArgument(remotePort);
    run(arguments, ErrorMode::Throwing);
}

QHash<int, QString> AdbClient::tcpForwards() const
{
    return parseTcpForwards(run({QStringLiteral("forward"), QStringLiteral("--list")}, ErrorMode::Throwing));
}

void AdbClient::removeForward(const QString &serial, int localPort) const
{
    run({QStringLiteral("-s"), serial, QStringLiteral("forward"), QStringLiteral("--remove"), portArgument(localPort)},
        ErrorMode::Quiet);
}

QStringList AdbClient::amArguments(const QString &serial, const QString &command,
                                   const QString &component, const QString &action,
                                   const QString &data, const QStringList &categories,
                                   const QString &mimeType)
{
    QStringList arguments{QStringLiteral("-s"), serial, QStringLiteral("shell"),
                          QStringLiteral("am"), command};
    const auto appendPair = [&arguments](const char *option, const QString &value) {
        if (!value.isEmpty())
            arguments << QLatin1String(option) << value;
    };
    appendPair("-n", component);
    appendPair("-a", action);
    appendPair("-d", data);
    for (const QString &category : categories)
        arguments << QStringLiteral("-c") << category;
    appendPair("-t", mimeType);
    return arguments;
}

void AdbClient::am(const QString &serial, const QString &command, const QString &component,
                   const QString &action, const QString &data, const QStringList &categories,
                   const QString &mimeType) const
{
    const QString output = run(amArguments(serial, command, component, action, data,
                                           categories, mimeType),
                               ErrorMode::Quiet);
    if (hasErrorLine(output))
        throwText(output);
}

QString AdbClient::logcat(const QString &serial) const
{
    return run({QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("logcat"),
                QStringLiteral("-d")},
               ErrorMode::Quiet);
}

void AdbClient::forceStop(const QString &serial, const QString &package) const
{
    run({QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("am"),
         QStringLiteral("force-stop"), package},
        ErrorMode::Quiet);
}

void AdbClient::uninstall(const QString &serial, const QString &package) const
{
    requireSuccessLine(run({QStringLiteral("-s"), serial, QStringLiteral("uninstall"), package},
                           ErrorMode::Throwing));
}

