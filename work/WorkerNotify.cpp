#include "work/WorkerNotify.h"

#include "app/RichText.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <cmath>

namespace {

const unsigned long WaitPollMs = 200;

QObject *receiverOf(ProgressReporter *target)
{
    return target ? target->reportReceiver() : nullptr;
}

// Auto connection: queued, because the receiver lives on the GUI thread; a
// direct call when a caller on the GUI thread reports itself.
void invokeWithText(ProgressReporter *target, const char *slot, const QString &text)
{
    if (QObject *receiver = receiverOf(target))
        QMetaObject::invokeMethod(receiver, slot, Qt::AutoConnection, Q_ARG(QString, text));
}

} // namespace

void notifyProgress(ProgressReporter *target, const QString &status, int value, const QString &text)
{
    if (QObject *receiver = receiverOf(target)) {
        QMetaObject::invokeMethod(receiver, "updateProgress", Qt::AutoConnection, Q_ARG(QString, status),
                                  Q_ARG(int, value), Q_ARG(QString, text));
    }
}

void notifyError(ProgressReporter *target, const QString &text)
{
    invokeWithText(target, "errorOccurred", text);
}

void notifyException(ProgressReporter *target, const std::exception &error)
{
    notifyError(target, richTextFromPlain(QString::fromUtf8(error.what())));
}

void notifySuccess(ProgressReporter *target, const QString &text)
{
    invokeWithText(target, "succeed", text);
}

void notifyCommitted(ProgressReporter *target)
{
    if (target)
        target->setCommitted();
}

void notifyAndWait(ProgressReporter *target, const QString &text)
{
    if (!target)
        return;
    target->setWaiting(true);
    invokeWithText(target, "tipsWait", text);
    // A dialog that has ended never clears the flag; stop waiting then too.
    while (target->isWaiting() && !target->isFailed())
        QThread::msleep(WaitPollMs);
}

bool isCancelled(const ProgressReporter *target)
{
    return target && target->isFailed();
}

void throwIfCancelled(const ProgressReporter *target)
{
    if (isCancelled(target))
        throw OperationCancelled();
}

int progressPercent(qint64 done, qint64 total)
{
    if (total == 0)
        return -1;
    return int(std::trunc(double(done) * 100.0 / double(total)));
}

bool ProgressPacer::due(bool force)
{
    if (!force && m_clock.isValid() && m_clock.elapsed() < m_intervalMs)
        return false;
    m_clock.start();
    return true;
}
