#include "android/AndroidConnectThread.h"

#include "android/AgentConnection.h"
#include "android/AgentPortClash.h"
#include "work/WorkerNotify.h"

#include <exception>

AndroidConnectThread::AndroidConnectThread(const AndroidDevice &device, ProgressReporter *form,
                                           QObject *parent)
    : QThread(parent)
    , m_device(device)
    , m_form(form)
{
}

void AndroidConnectThread::identifyDevice()
{
    notifyProgress(m_form, tr("IDS_GET_ANDROID_DEVICE_INFO"), 99, QString());
    try {
        exchangeDeviceInformation(m_device, m_form);
    } catch (const OperationCancelled &) {
        return;
    } catch (const AgentPortClash &clash) {
        // Reinstalling the agent would not help: say what happened.
        notifyException(m_form, clash);
        return;
    } catch (const std::exception &error) {
        notifyError(m_form, describeExchangeError(QString::fromUtf8(error.what())));
        return;
    }
    if (m_device.version > NewestTooOldAgentVersion) {
        notifySuccess(m_form, QString());
    } else {
        notifyError(m_form, QStringLiteral("Ferrywright SMS Sync on Android is too old. %1 needed. "
                                           "Please update it from Google Play.")
                                .arg(QStringLiteral("3.1.10")));
    }
}
