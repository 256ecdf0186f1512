#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <atomic>

// What the simulated agent has done since it started, for tests and benchmarks
// to read from the status file.
class SimCounters
{
public:
    std::atomic<qint64> recordsSent{0};
    std::atomic<qint64> attachmentsSent{0};
    std::atomic<qint64> attachmentBytesSent{0};
    std::atomic<qint64> messagesReceived{0};
    std::atomic<qint64> attachmentsReceived{0};
    std::atomic<qint64> attachmentBytesReceived{0};
    std::atomic<qint64> launcherRequests{0};
    std::atomic<qint64> launcherRefusals{0};
    std::atomic<qint64> exchangesStarted{0};
    std::atomic<qint64> exchangesCompleted{0};
    std::atomic<qint64> exchangesFailed{0};
    std::atomic<qint64> deviceInfoExchanges{0};
    std::atomic<qint64> downloadExchanges{0};
    std::atomic<qint64> uploadExchanges{0};
    std::atomic<qint64> errorsReceived{0};
    std::atomic<qint64> errorsSent{0};

    void setLastError(const QString &text);
    QJsonObject toJson() const;

private:
    mutable QMutex m_mutex;
    QString m_lastError;
};
