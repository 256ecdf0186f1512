#include "work/OperationThread.h"

#include <exception>

OperationThread::OperationThread(ProgressReporter *form, QObject *parent)
    : QThread(parent)
    , m_form(form)
{
}

void OperationThread::run()
{
    try {
        work();
    } catch (const OperationCancelled &) {
        abandon();  // the dialog has closed already: nothing to report
    } catch (const std::exception &error) {
        abandon();
        notifyException(m_form, error);
    }
}

void OperationThread::reportItem(const QString &status, qint64 done, qint64 total, const QString &text)
{
    throwIfCancelled(m_form);
    if (m_pacer.due(done >= total))
        notifyProgress(m_form, status, progressPercent(done, total), text);
}
