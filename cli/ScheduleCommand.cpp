#include "cli/ScheduleCommand.h"

#include "cli/BackupSchedule.h"
#include "cli/CliContext.h"
#include "cli/CliUsageError.h"
#include "cli/SourceSpec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QProcess>

namespace {

struct SystemctlResult
{
    bool ok = false;
    QString output;  // standard output, or the reason it failed
};

// systemctl --user with `arguments`; systemd may be missing or not running
// for this user (a container, a session without a user manager).
SystemctlResult systemctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForStarted() || !process.waitForFinished(30000))
        return SystemctlResult{false, process.errorString()};
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return SystemctlResult{false, QString::fromLocal8Bit(process.readAllStandardError()).trimmed()};
    return SystemctlResult{true, QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed()};
}

const QString kEnableCommand = QStringLiteral("systemctl --user enable --now ") + BackupSchedule::TimerUnit;

} // namespace

QString ScheduleCommand::synopsis() const
{
    return QStringLiteral("install (--daily | --weekly) [--at HH:MM] --to NAME [--per-phone] | remove | status");
}

QString ScheduleCommand::summary() const
{
    return QObject::tr("back every attached phone up daily or weekly (systemd user timer)");
}

QString ScheduleCommand::description() const
{
    return QObject::tr("install writes a systemd user timer and service (%1 and %2 in $XDG_CONFIG_HOME/systemd/user, "
                       "by default ~/.config/systemd/user) that run 'ferrywright-cli backup --all-phones --to NAME' "
                       "daily, or weekly on Mondays, at HH:MM (default 12:00), and enables the timer; a run missed "
                       "while the computer was off comes at its next start. remove disables and removes them; "
                       "status shows the schedule and the next run.")
        .arg(BackupSchedule::TimerUnit, BackupSchedule::ServiceUnit);
}

void ScheduleCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addPositionalArgument(QStringLiteral("action"), QObject::tr("install, remove or status."));
    parser.addOption(QCommandLineOption(QStringLiteral("daily"), QObject::tr("Every day.")));
    parser.addOption(QCommandLineOption(QStringLiteral("weekly"), QObject::tr("Every Monday.")));
    parser.addOption(QCommandLineOption(QStringLiteral("at"), QObject::tr("The time of day, 24-hour (default 12:00)."),
                                        QStringLiteral("HH:MM"), QStringLiteral("12:00")));
    parser.addOption(QCommandLineOption(QStringLiteral("to"), QObject::tr("The local database's name."),
                                        QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(QStringLiteral("per-phone"),
                                        QObject::tr("One database NAME-MODEL for each phone.")));
}

int ScheduleCommand::run(const QCommandLineParser &parser, CliContext &)
{
    const QString action = positionals(parser, 1).constFirst();
    if (action == QLatin1String("install"))
        return install(parser);
    if (action == QLatin1String("remove"))
        return remove();
    if (action == QLatin1String("status"))
        return status();
    throw CliUsageError(QObject::tr("unknown action '%1'").arg(action), name());
}

int ScheduleCommand::install(const QCommandLineParser &parser) const
{
    const bool daily = parser.isSet(QStringLiteral("daily"));
    if (daily == parser.isSet(QStringLiteral("weekly")))
        throw CliUsageError(QObject::tr("give either --daily or --weekly"), name());
    BackupSchedule::Plan plan;
    plan.period = daily ? BackupSchedule::Period::Daily : BackupSchedule::Period::Weekly;
    plan.at = QTime::fromString(parser.value(QStringLiteral("at")), QStringLiteral("H:mm"));
    if (!plan.at.isValid())
        throw CliUsageError(QObject::tr("bad time '%1': write HH:MM, e.g. 21:30").arg(parser.value(QStringLiteral("at"))), name());
    plan.target = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    plan.perPhone = parser.isSet(QStringLiteral("per-phone"));

    BackupSchedule::write(plan, QCoreApplication::applicationFilePath());
    CliContext::printLine(QObject::tr("Wrote %1 and %2.").arg(BackupSchedule::timerPath(), BackupSchedule::servicePath()));
    SystemctlResult result = systemctl({QStringLiteral("daemon-reload")});
    if (result.ok)
        result = systemctl({QStringLiteral("enable"), QStringLiteral("--now"), BackupSchedule::TimerUnit});
    if (result.ok)
        CliContext::printLine(QObject::tr("The timer is enabled."));
    else
        CliContext::printLine(QObject::tr("systemd was not reached (%1); enable the timer with: %2")
                                  .arg(result.output, kEnableCommand));
    return 0;
}

int ScheduleCommand::remove() const
{
    if (QFile::exists(BackupSchedule::timerPath()))
        systemctl({QStringLiteral("disable"), QStringLiteral("--now"), BackupSchedule::TimerUnit});
    if (!BackupSchedule::remove()) {
        CliContext::printLine(QObject::tr("No backup is scheduled."));
        return 0;
    }
    systemctl({QStringLiteral("daemon-reload")});
    CliContext::printLine(QObject::tr("The scheduled backup is removed."));
    return 0;
}

int ScheduleCommand::status() const
{
    const QString calendar = BackupSchedule::installedCalendar();
    if (calendar.isEmpty()) {
        CliContext::printLine(QObject::tr("No backup is scheduled."));
        return 0;
    }
    CliContext::printLine(QObject::tr("Scheduled: %1 (%2)").arg(calendar, BackupSchedule::timerPath()));
    const SystemctlResult timers = systemctl({QStringLiteral("list-timers"), QStringLiteral("--all"),
                                              QStringLiteral("--no-pager"), BackupSchedule::TimerUnit});
    if (timers.ok && timers.output.contains(BackupSchedule::TimerUnit)) {
        CliContext::printLine(timers.output);
        return 0;
    }
    const QDateTime next = BackupSchedule::nextRun(calendar, QDateTime::currentDateTime());
    CliContext::printLine(QObject::tr("Next run: %1 (from the timer file; systemd's list of timers is not available)")
                              .arg(next.isValid() ? next.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : calendar));
    return 0;
}
