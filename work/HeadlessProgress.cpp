#include "work/HeadlessProgress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>

HeadlessProgress::HeadlessProgress(QObject *parent)
    : QObject(parent)
{
}

void HeadlessProgress::runToEnd(QThread &thread)
{
    QEventLoop loop;
    connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread.start();
    if (!thread.isFinished())
        loop.exec();
    thread.wait();
    // Reports posted just before the end are still queued.
    QCoreApplication::sendPostedEvents(this);
}

void HeadlessProgress::updateProgress(const QString &status, int curProgress, const QString &progressText)
{
    if (!status.isEmpty())
        m_status = status;
    if (curProgress >= 0)
        m_value = curProgress;
    m_text = progressText.isEmpty() ? QStringLiteral("Progress:%1%").arg(m_value) : progressText;
    m_minValue = m_progressCount == 0 ? curProgress : std::min(m_minValue, curProgress);
    m_maxValue = m_progressCount == 0 ? curProgress : std::max(m_maxValue, curProgress);
    ++m_progressCount;
    emit progressReported(m_progressCount);
}

void HeadlessProgress::errorOccurred(const QString &info)
{
    m_error = info;
    finish(Rejected);
}

void HeadlessProgress::succeed(const QString &result)
{
    m_resultText = result;
    finish(Accepted);
}

void HeadlessProgress::tipsWait(const QString &info)
{
    m_tips.append(info);
    setWaiting(false);
    emit tipShown(info);
}

void HeadlessProgress::cancel()
{
    if (isCommitted())
        return;
    finish(Rejected);
}

void HeadlessProgress::finish(Result result)
{
    // Like a dialog: the first end counts, later reports go to a closed form.
    if (m_result != Running)
        return;
    m_result = result;
    setFailed(result == Rejected);
    emit finished(int(result));
}
