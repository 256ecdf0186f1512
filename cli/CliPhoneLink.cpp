#include "cli/CliPhoneLink.h"

#include "android/AdbClient.h"
#include "android/AndroidConnectWithUSBThread.h"
#include "android/AndroidConnectWithWiFiThread.h"
#include "android/AndroidLoadSMSThread.h"
#include "cli/CliContext.h"
#include "cli/CliProgress.h"
#include "cli/CliUsageError.h"
#include "country/CountryLibDb.h"

#include <QObject>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

QList<AdbDevice> CliPhoneLink::attachedDevices()
{
    const AdbClient adb;
    adb.startServer();
    return adb.devices();
}

AndroidDevice CliPhoneLink::connectUsb(const QString &serial) const
{
    AdbClient().startServer();
    CliProgress progress;
    AndroidConnectWithUSBThread worker(serial, &progress.reporter());
    m_context.runner.run(worker, progress);
    return worker.device();
}

AndroidDevice CliPhoneLink::connectWifi(const QString &host) const
{
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    const QString address = colon < 0 ? host : host.left(colon);
    bool portOk = true;
    const int port = colon < 0 ? 0 : host.mid(colon + 1).toInt(&portOk);
    if (address.isEmpty() || !portOk || port < 0 || port > 65535)
        throw CliUsageError(QObject::tr("bad --wifi '%1': use HOST or HOST:PORT").arg(host), QStringLiteral("download"));
    CliProgress progress;
    AndroidConnectWithWiFiThread worker(address, &progress.reporter());
    if (port > 0)
        worker.setLauncherPort(port);
    m_context.runner.run(worker, progress);
    return worker.device();
}

QString CliPhoneLink::onlyAttachedSerial() const
{
    QStringList ready;
    for (const AdbDevice &device : attachedDevices()) {
        if (device.isOnline())
            ready.append(device.serial);
    }
    if (ready.isEmpty())
        fail(QObject::tr("No Android phone is attached (see: ferrywright-cli devices)."));
    if (ready.size() > 1)
        fail(QObject::tr("Several Android phones are attached (%1); choose one with --serial.").arg(ready.join(", ")));
    return ready.constFirst();
}

void CliPhoneLink::checkCountry(const QString &requested)
{
    if (!requested.isEmpty() && !CountryLibDb::isKnownCode(requested))
        fail(QObject::tr("Unknown country code '%1'.").arg(requested));
}

void CliPhoneLink::chooseCountry(AndroidDevice &device, const QString &requested)
{
    if (!requested.isEmpty()) {
        checkCountry(requested);
        device.mmc = requested;
        return;
    }
    if (!CountryLibDb::isKnownCode(device.mmc))
        fail(QObject::tr("The phone did not report a known mobile country code; give one with --country MCC."));
}

QString CliPhoneLink::download(const AndroidDevice &device) const
{
    CliProgress progress;
    AndroidLoadSMSThread worker(&device, &progress.reporter());
    m_context.runner.run(worker, progress);
    return worker.cacheFolder();
}

AndroidDevice CliPhoneLink::connectAndDownload(const QString &serial, const QString &requestedCountry) const
{
    checkCountry(requestedCountry);
    AndroidDevice device = connectUsb(serial);
    chooseCountry(device, requestedCountry);
    download(device);
    return device;
}
