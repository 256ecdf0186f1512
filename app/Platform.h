#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>

// The few places where the program asks the operating system's shell for
// something. On Windows these are the explorer command and ShellExecute; here
// they go through Qt so the same calls work on every desktop.
namespace Platform {

// Shows the folder in the desktop's file manager (explorer "<path>" on Windows).
void openFolderInExplorer(const QString &path);

// A program and its arguments, each passed on as one argument.
struct Command
{
    QString program;
    QStringList arguments;
};
// What shows a folder on Windows: the explorer with the native path as its
// one argument (a whole command line as the program name never starts).
Command explorerCommand(const QString &path);

// Opens a file or a web link with the desktop's default handler.
void openWithShell(const QString &pathOrUrl);

// Sets a file's access and modification times; false when that fails.
bool setFileTimes(const QString &path, const QDateTime &time);

// Where the device-manager helper is installed: beside the executable.
QString deviceManagerPath();

// Starts the device-manager helper if it is installed beside the executable and
// waits up to 5 seconds for it to finish, less when `abort` is set meanwhile;
// does nothing when it is missing. A helper still running is left running.
void runDeviceManager(const std::atomic_bool *abort = nullptr);

// Starts `program` detached and waits until it ends, `limitMs` pass or
// `abort` is set, polling every 100 ms. False when it could not start.
bool startAndWaitAtMost(const QString &program, int limitMs, const std::atomic_bool *abort);

} // namespace Platform
