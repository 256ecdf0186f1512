#include "android/AndroidConnectWithWiFiThread.h"

#include "android/SimpleProtocol.h"
#include "app/RichText.h"
#include "work/WorkerNotify.h"

namespace {

AndroidDevice wifiDevice(const QString &host)
{
    AndroidDevice device;
    device.host = host;
    device.port = simpleprotocol::WifiLauncherPort;
    device.viaWifi = true;
    return device;
}

} // namespace

AndroidConnectWithWiFiThread::AndroidConnectWithWiFiThread(const QString &host, ProgressReporter *form,
                                                           QObject *parent)
    : AndroidConnectThread(wifiDevice(host), form, parent)
{
}

void AndroidConnectWithWiFiThread::run()
{
    identifyDevice();
}

QString AndroidConnectWithWiFiThread::describeExchangeError(const QString &message) const
{
    return richTextFromPlain(message);
}
