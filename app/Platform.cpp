#include "app/Platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace Platform {

void openFolderInExplorer(const QString &path)
{
#ifdef Q_OS_WIN
    QProcess::startDetached(QStringLiteral("explorer \"%1\"").arg(QDir::toNativeSeparators(path)));
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

void runDeviceManager()
{
    const QString program = deviceManagerPath();
    if (!QFileInfo(program).isExecutable())
        return;
    QProcess::execute(program, {});
}

} // namespace Platform
