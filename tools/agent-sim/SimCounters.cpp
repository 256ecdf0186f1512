#include "SimCounters.h"

#include <QMutexLocker>

void SimCounters::setLastError(const QString &text)
{
    QMutexLocker locker(&m_mutex);
    m_lastError = text;
}

QJsonObject SimCounters::toJson() const
{
    QMutexLocker locker(&m_mutex);
    return QJsonObject{
        {"recordsSent", recordsSent.load()},
        {"attachmentsSent", attachmentsSent.load()},
        {"attachmentBytesSent", attachmentBytesSent.load()},
        {"messagesReceived", messagesReceived.load()},
        {"attachmentsReceived", attachmentsReceived.load()},
        {"attachmentBytesReceived", attachmentBytesReceived.load()},
        {"launcherRequests", launcherRequests.load()},
        {"launcherRefusals", launcherRefusals.load()},
        {"exchangesStarted", exchangesStarted.load()},
        {"exchangesCompleted", exchangesCompleted.load()},
        {"exchangesFailed", exchangesFailed.load()},
        {"deviceInfoExchanges", deviceInfoExchanges.load()},
        {"downloadExchanges", downloadExchanges.load()},
        {"uploadExchanges", uploadExchanges.load()},
        {"errorsReceived", errorsReceived.load()},
        {"errorsSent", errorsSent.load()},
        {"lastError", m_lastError},
    };
}
