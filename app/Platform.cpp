#include "app/Platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <QElapsedTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#else
#include <signal.h>
#endif

namespace Platform {

Command explorerCommand(const QString &path)
{
    return {QStringLiteral("explorer"), {QDir::toNativeSeparators(path)}};
}

void openFolderInExplorer(const QString &path)
{
#ifdef Q_OS_WIN
    const Command explorer = explorerCommand(path);
    QProcess::startDetached(explorer.program, explorer.arguments);
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

void openWithShell(const QString &pathOrUrl)
{
#ifdef Q_OS_WIN
    ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(pathOrUrl.utf16()), nullptr, nullptr, SW_SHOW);
#else
    const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl)
                                                  : QUrl(pathOrUrl);
    QDesktopServices::openUrl(url);
#endif
}

bool setFileTimes(const QString &path, const QDateTime &time)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const bool accessed = file.setFileTime(time, QFileDevice::FileAccessTime);
    const bool modified = file.setFileTime(time, QFileDevice::FileModificationTime);
    return accessed && modified;
}

QString deviceManagerPath()
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("FerrywrightDeviceManager.exe");
#else
    const QString name = QStringLiteral("FerrywrightDeviceManager");
#endif
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
}

void runDeviceManager(const std::atomic_bool *abort)
{
    const QString program = deviceManagerPath();
    if (QFileInfo(program).isExecutable())
        startAndWaitAtMost(program, 5000, abort);
}

bool startAndWaitAtMost(const QString &program, int limitMs, const std::atomic_bool *abort)
{
    QElapsedTimer clock;
    clock.start();
#ifdef Q_OS_WIN
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = GetActiveWindow();
    info.lpVerb = L"open";
    const QString native = QDir::toNativeSeparators(program);
    info.lpFile = reinterpret_cast<LPCWSTR>(native.utf16());
    info.lpParameters = L"";
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info) || !info.hProcess)
        return false;
    while (WaitForSingleObject(info.hProcess, 100) == WAIT_TIMEOUT) {
        if (clock.elapsed() >= limitMs || (abort && abort->load()))
            break;
    }
    CloseHandle(info.hProcess);
    return true;
#else
    // Detached, so neither a hung helper nor this program's exit waits on the other.
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, QString(), &pid))
        return false;
    while (::kill(pid_t(pid), 0) == 0 && clock.elapsed() < limitMs && !(abort && abort->load()))
        QThread::msleep(100);
    return true;
#endif
}

} // namespace Platform
