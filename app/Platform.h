#pragma once

#include <QDateTime>
#include <QString>

// The few places where the program asks the operating system's shell for
// something. On Windows these are the explorer command and ShellExecute; here
// they go through Qt so the same calls work on every desktop.
namespace Platform {

// Shows the folder in the desktop's file manager (explorer "<path>" on Windows).
void openFolderInExplorer(const QString &path);

// Opens a file or a web link with the desktop's default handler.
void openWithShell(const QString &pathOrUrl);

// Sets a file's access and modification times; false when that fails.
bool setFileTimes(const QString &path, const QDateTime &time);

// Where the device-manager helper is installed: beside the executable.
QString deviceManagerPath();

// Starts the device-manager helper if it is installed beside the executable and
// waits for it to finish; does nothing when it is missing.
void runDeviceManager();

} // namespace Platform
