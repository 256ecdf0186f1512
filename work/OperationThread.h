#pragma once

#include "work/WorkerNotify.h"

#include <QString>
#include <QThread>

// The shape every message operation shares (backup, extraction, deletion):
// run() calls work(); a cancel ends silently and an error is reported, both
// after abandon() has undone what the run began, so a stopped run leaves
// nothing half-written behind.
class OperationThread : public QThread
{
    Q_OBJECT
public:
    ~OperationThread() override = default;

protected:
    OperationThread(ProgressReporter *form, QObject *parent);

    void run() final;
    virtual void work() = 0;
    // Undoes the unfinished run; called on cancel and on error.
    virtual void abandon() {}

    ProgressReporter *form() const { return m_form; }
    // Cancels between items (throws OperationCancelled), then reports item
    // `done` of `total`: the bar at floor(done * 100 / total) and `text`
    // (none: the dialog's own percentage). Reports are paced; the last item's
    // always goes out.
    void reportItem(const QString &status, qint64 done, qint64 total, const QString &text);

private:
    ProgressReporter *m_form;
    ProgressPacer m_pacer;
};
