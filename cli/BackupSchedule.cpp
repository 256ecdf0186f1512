#include "cli/BackupSchedule.h"

#include "app/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimeZone>

#include <stdexcept>

namespace {

const QString kCalendarKey = QStringLiteral("OnCalendar=");

// `text` as systemd reads it back: its specifiers (%n, ...) doubled.
QString withoutSpecifiers(const QString &text)
{
    return QString(text).replace(QLatin1Char('%'), QStringLiteral("%%"));
}

// `text` in double quotes, as ExecStart= and Environment= take a value.
QString quoted(const QString &text)
{
    QString escaped = withoutSpecifiers(text);
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// One argument of an ExecStart line; its $ would name a variable there.
QString quotedArgument(const QString &text)
{
    return quoted(QString(text).replace(QLatin1Char('$'), QStringLiteral("$$")));
}

QString environmentLine(const QString &name, const QString &value)
{
    return QStringLiteral("Environment=%1\n").arg(quoted(name + QLatin1Char('=') + value));
}

void writeUnitFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !commitSaveFile(file))
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, fileErrorReason(file)).toStdString());
}

QString periodWord(BackupSchedule::Period period)
{
    return period == BackupSchedule::Period::Weekly ? QStringLiteral("Weekly") : QStringLiteral("Daily");
}

} // namespace

QString BackupSchedule::unitFolder()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString config = QDir::isAbsolutePath(configured) ? configured
                                                            : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/systemd/user"));
}

QString BackupSchedule::calendarOf(const Plan &plan)
{
    const QString time = plan.at.toString(QStringLiteral("HH:mm")) + QStringLiteral(":00");
    return plan.period == Period::Weekly ? QStringLiteral("Mon *-*-* ") + time : QStringLiteral("*-*-* ") + time;
}

QString BackupSchedule::timerText(const Plan &plan)
{
    // Persistent: a run missed while the computer was off comes at the next start.
    return QStringLiteral("[Unit]\n"
                          "Description=%1 Ferrywright backup of the attached phones\n\n"
                          "[Timer]\n"
                          "%2%3\n"
                          "Persistent=true\n\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(periodWord(plan.period), kCalendarKey, calendarOf(plan));
}

QString BackupSchedule::serviceText(const Plan &plan, const QString &program)
{
    QStringList command{program, QStringLiteral("backup"), QStringLiteral("--all-phones"), QStringLiteral("--to"),
                        plan.target};
    if (plan.perPhone)
        command.append(QStringLiteral("--per-phone"));
    QStringList arguments;
    for (const QString &argument : command)
        arguments.append(quotedArgument(argument));
    QString environment = environmentLine(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    // The data folder must be the one this user's window and command line use.
    if (qEnvironmentVariableIsSet("XDG_DATA_HOME"))
        environment += environmentLine(QStringLiteral("XDG_DATA_HOME"), qEnvironmentVariable("XDG_DATA_HOME"));
    return QStringLiteral("[Unit]\n"
                          "Description=Ferrywright backup of the attached phones into %1\n\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "%2"
                          "ExecStart=%3\n")
        .arg(withoutSpecifiers(plan.target), environment, arguments.join(QLatin1Char(' ')));
}

void BackupSchedule::write(const Plan &plan, const QString &program)
{
    if (!QDir().mkpath(unitFolder()))
        throw std::runtime_error(QStringLiteral("Cannot create the folder %1").arg(unitFolder()).toStdString());
    writeUnitFile(servicePath(), serviceText(plan, program));
    writeUnitFile(timerPath(), timerText(plan));
}

bool BackupSchedule::remove()
{
    bool found = false;
    for (const QString &path : {timerPath(), servicePath()}) {
        if (!QFile::exists(path))
            continue;
        found = true;
        QFile file(path);
        if (!file.remove())
            throw std::runtime_error(QStringLiteral("Cannot remove %1: %2").arg(path, fileErrorReason(file)).toStdString());
    }
    return found;
}

QString BackupSchedule::installedCalendar()
{
    QFile timer(timerPath());
    if (!timer.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : timer.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(kCalendarKey))
            return text.mid(kCalendarKey.size());
    }
    return QString();
}

QDateTime BackupSchedule::nextRun(const QString &calendar, const QDateTime &now)
{
    static const QRegularExpression form(QStringLiteral("^(Mon )?\\*-\\*-\\* (\\d\\d):(\\d\\d):00$"));
    const QRegularExpressionMatch match = form.match(calendar);
    if (!match.hasMatch())
        return QDateTime();
    const QTime at(match.captured(2).toInt(), match.captured(3).toInt());
    const bool weekly = match.hasCaptured(1) && !match.captured(1).isEmpty();
    QDateTime next(now.date(), at, now.timeZone());
    while (next <= now || (weekly && next.date().dayOfWeek() != Qt::Monday))
        next = next.addDays(1);
    return next;
}
