#pragma once

#include "android/AndroidDevice.h"

#include <QString>
#include <QThread>

class ProgressReporter;

// What the USB and the WiFi connection workers share: the device record they
// fill, the progress target they report to, and the last steps of both roads
// (device information and agent version check). The owner reads device()
// after the thread has finished, and only when the dialog ended accepted.
class AndroidConnectThread : public QThread
{
    Q_OBJECT
public:
    // The agent version code that is too old; newer ones are accepted.
    static constexpr int NewestTooOldAgentVersion = 9;

    const AndroidDevice &device() const { return m_device; }

protected:
    AndroidConnectThread(const AndroidDevice &device, ProgressReporter *form, QObject *parent);

    // Reports the information step, runs the exchange and checks the version.
    // An exchange error is reported as describeExchangeError(message).
    void identifyDevice();
    virtual QString describeExchangeError(const QString &message) const = 0;

    AndroidDevice m_device;
    ProgressReporter *m_form;  // not owned
};
