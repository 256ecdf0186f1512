#include "android/AndroidConnectWithUSBThread.h"

#include "android/AdbClient.h"
#include "android/AgentConnection.h"
#include "app/AppFolders.h"
#include "app/FileErrors.h"
#include "app/Platform.h"
#include "app/RichText.h"
#include "work/WorkerNotify.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QUrl>

#include <stdexcept>

namespace {

QMutex packageSourceMutex;
QString packageSourceOverride;

AndroidDevice usbDevice(const QString &serial)
{
    AndroidDevice device;
    device.serial = serial;
    device.viaWifi = false;
    return device;
}

// R/com.ferrywright.smssync.apk, replaced by a fresh copy of the package.
QString copyPackageToDataRoot(const QString &source)
{
    const QString target = dataRootDir().absoluteFilePath(
        QLatin1String(AndroidConnectWithUSBThread::AgentPackage) + QStringLiteral(".apk"));
    if (QFile::exists(target))
        QFile::remove(target);
    try {
        copyFileOrThrow(source, target);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(QStringLiteral("can not copy %1 to %2. %3")
                                     .arg(source, target, QString::fromUtf8(error.what()))
                                     .toUtf8()
                                     .toStdString());
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return target;
}

// A build without the real agent carries a text placeholder; refuse it before
// adb does, with a message that says what is wrong. Packages are zip files.
void requireAndroidPackage(const QString &path)
{
    QFile package(path);
    if (!package.open(QIODevice::ReadOnly) || package.read(4) != QByteArray("PK\x03\x04", 4)) {
        throw std::runtime_error(
            QStringLiteral("%1 is not an Android package.").arg(path).toUtf8().toStdString());
    }
}

} // namespace

AndroidConnectWithUSBThread::AndroidConnectWithUSBThread(const QString &serial, ProgressReporter *form,
                                                         QObject *parent)
    : AndroidConnectThread(usbDevice(serial), form, parent)
{
}

void AndroidConnectWithUSBThread::setAgentPackageSource(const QString &path)
{
    QMutexLocker locker(&packageSourceMutex);
    packageSourceOverride = path;
}

QString AndroidConnectWithUSBThread::agentPackageSource()
{
    QMutexLocker locker(&packageSourceMutex);
    return packageSourceOverride.isEmpty() ? QLatin1String(AgentPackageResource) : packageSourceOverride;
}

void AndroidConnectWithUSBThread::run()
{
    notifyProgress(m_form, tr("IDS_CHECKING_APK_INSTALL"), -1, QString());
    if (agentMissing()) {
        if (isCancelled(m_form) || !installAgent())
            return;
    }
    if (isCancelled(m_form))
        return;
    identifyDevice();
}

AdbClient AndroidConnectWithUSBThread::cancellableAdb() const
{
    AdbClient adb;
    if (m_form)
        adb.setAbortFlag(m_form->cancelFlag());
    return adb;
}

bool AndroidConnectWithUSBThread::agentMissing() const
{
    // An empty list means the query failed: try the agent as it is.
    const QSet<QString> packages = cancellableAdb().listPackages(m_device.serial);
    return !packages.isEmpty() && !packages.contains(QLatin1String(AgentPackage));
}

bool AndroidConnectWithUSBThread::installAgent()
{
    try {
        const QString package = copyPackageToDataRoot(agentPackageSource());
        requireAndroidPackage(package);
        cancellableAdb().install(m_device.serial, package);
    } catch (const std::exception &error) {
        notifyError(m_form, QStringLiteral("Please go to Google Play on your Android Phone to download and install "
                                           "Ferrywright SMS Sync first and then try again. <br/><br/>Error:")
                                + richTextFromPlain(QString::fromUtf8(error.what())));
        return false;
    }
    QThread::msleep(ulong(agentTimings().postInstallSleepMs));
    return true;
}

QString AndroidConnectWithUSBThread::describeExchangeError(const QString &message) const
{
    return QStringLiteral("Please try the following:<br/><br/>")
        + QStringLiteral("1 Go to Google Play on your phone to download and installed the latest version "
                         "Ferrywright SMS Sync.<br/><br/>")
        + QStringLiteral("2 click <a href=\"%1\"><b>HERE</b></a> to run Ferrywright Device Manager and then "
                         "restart your phone to try again.<br/><br/>")
              .arg(richTextFromPlain(QUrl::fromLocalFile(Platform::deviceManagerPath()).toString(QUrl::FullyEncoded)))
        + richTextFromPlain(message);
}
