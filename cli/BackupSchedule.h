#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>

// The systemd user timer and service that run "backup --all-phones" on a
// schedule: their files in $XDG_CONFIG_HOME/systemd/user (default
// ~/.config/systemd/user), written, read back and removed.
class BackupSchedule
{
public:
    enum class Period { Daily, Weekly };

    struct Plan
    {
        Period period = Period::Daily;
        QTime at;
        QString target;  // the local database's name
        bool perPhone = false;
    };

    static inline const QString TimerUnit = QStringLiteral("ferrywright-backup.timer");
    static inline const QString ServiceUnit = QStringLiteral("ferrywright-backup.service");

    static QString unitFolder();
    static QString timerPath() { return unitFolder() + QLatin1Char('/') + TimerUnit; }
    static QString servicePath() { return unitFolder() + QLatin1Char('/') + ServiceUnit; }

    // Writes both files (replacing earlier ones), the service running
    // `program` with the PATH of this process, so that the same adb is found.
    // Raises std::runtime_error when a file cannot be written.
    static void write(const Plan &plan, const QString &program);
    // Removes both files; false when there was neither.
    static bool remove();

    // The timer's OnCalendar value: "*-*-* 12:00:00", weekly "Mon *-*-* 12:00:00".
    static QString calendarOf(const Plan &plan);
    // The OnCalendar value of the timer file; empty when there is none.
    static QString installedCalendar();
    // The next time `calendar` (a value calendarOf makes) falls due after
    // `now`; invalid for any other value.
    static QDateTime nextRun(const QString &calendar, const QDateTime &now);

    static QString timerText(const Plan &plan);
    static QString serviceText(const Plan &plan, const QString &program);
};
