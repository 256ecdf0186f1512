#pragma once

#include "android/AndroidConnectThread.h"

// Connects a phone reached over WiFi: asks the agent's launcher at the typed
// address to start the device-information exchange, fills the record and
// checks the agent's version. Errors are reported with their message alone.
class AndroidConnectWithWiFiThread : public AndroidConnectThread
{
    Q_OBJECT
public:
    AndroidConnectWithWiFiThread(const QString &host, ProgressReporter *form, QObject *parent = nullptr);

    // The launcher port is always the agent's; tools and tests running a
    // simulated phone on another port set it before start().
    void setLauncherPort(int port) { m_device.port = port; }

protected:
    void run() override;
    QString describeExchangeError(const QString &message) const override;
};
