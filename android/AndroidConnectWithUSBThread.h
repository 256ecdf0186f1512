#pragma once

#include "android/AdbClient.h"
#include "android/AndroidConnectThread.h"

// Connects a phone attached by USB: installs the agent from the program's
// resources when the phone lacks it, starts the device-information exchange
// through adb, fills the record and checks the agent's version.
class AndroidConnectWithUSBThread : public AndroidConnectThread
{
    Q_OBJECT
public:
    static constexpr const char *AgentPackage = "com.ferrywright.smssync";
    static constexpr const char *AgentPackageResource = ":/res/com.ferrywright.smssync.apk";

    AndroidConnectWithUSBThread(const QString &serial, ProgressReporter *form, QObject *parent = nullptr);

    // Where the package to install comes from (a resource or a file); an empty
    // text restores the compiled-in package. For tests and tools.
    static void setAgentPackageSource(const QString &path);
    static QString agentPackageSource();

protected:
    void run() override;
    QString describeExchangeError(const QString &message) const override;

private:
    // adb stops as soon as the user cancels.
    AdbClient cancellableAdb() const;
    bool agentMissing() const;
    // Copies the package to the data root and installs it; false (reported)
    // when that fails.
    bool installAgent();
};
