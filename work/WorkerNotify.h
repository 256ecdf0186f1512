#pragma once

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <exception>

class QObject;

// What a worker thread sees of the dialog that shows its progress: the object
// whose slots receive its reports, and two flags shared with it.
//
// The receiver lives on the GUI thread and has the slots
//   updateProgress(QString status, int value, QString text)
//   errorOccurred(QString info)
//   succeed(QString result)
//   tipsWait(QString info)
// which workers reach only through the notify functions below (queued calls
// carrying copies of their arguments). Widgets never cross to the worker.
//
// Each flag is written by one side only and read by the other; a late view only
// delays a cancel by one item or one poll, so atomics suffice.
class ProgressReporter
{
public:
    virtual ~ProgressReporter() = default;

    virtual QObject *reportReceiver() = 0;

    // True once the dialog has ended rejected (cancel or error): the worker's
    // cancel flag. Written by the GUI side.
    bool isFailed() const { return m_failed.load(); }
    // The same flag, for code that polls it without knowing the dialog (adb).
    const std::atomic_bool *cancelFlag() const { return &m_failed; }
    // True while a worker waits for the user to close a message box. Set by
    // the worker (notifyAndWait), cleared by the GUI side.
    bool isWaiting() const { return m_waiting.load(); }
    // True once the worker has committed its run (notifyCommitted): the run
    // has succeeded, whatever a Cancel pressed from then on says. Set by the
    // worker.
    bool isCommitted() const { return m_committed.load(); }

    void setFailed(bool failed) { m_failed.store(failed); }
    void setWaiting(bool waiting) { m_waiting.store(waiting); }
    void setCommitted() { m_committed.store(true); }

protected:
    ProgressReporter() = default;
    ProgressReporter(const ProgressReporter &) = delete;
    ProgressReporter &operator=(const ProgressReporter &) = delete;

private:
    std::atomic_bool m_failed{false};
    std::atomic_bool m_waiting{false};
    std::atomic_bool m_committed{false};
};

// Thrown inside a worker when the user has cancelled; caught silently at the
// top of run(). Deliberately not a std::exception, so the error handlers that
// report std::exception never see it.
struct OperationCancelled
{
};

// Worker-side calls. A null target is allowed and ignored, so a worker can run
// without any dialog (tools, benchmarks).
void notifyProgress(ProgressReporter *target, const QString &status, int value, const QString &text);
// `text` is rich text; see richTextFromPlain() for anything from outside.
void notifyError(ProgressReporter *target, const QString &text);
// The exception's text, kept literal.
void notifyException(ProgressReporter *target, const std::exception &error);
void notifySuccess(ProgressReporter *target, const QString &text);
// The run's changes are committed and can no longer be taken back: a Cancel
// pressed from now on, or one that reached the dialog while the commit ran,
// no longer makes the run a cancelled one. Call it right after the commit,
// before anything that may still take time.
void notifyCommitted(ProgressReporter *target);
// Shows `text` in a message box and blocks the worker until the user has
// closed it (or the dialog has ended), polling every 200 ms.
void notifyAndWait(ProgressReporter *target, const QString &text);

bool isCancelled(const ProgressReporter *target);
// Throws OperationCancelled when the user has cancelled.
void throwIfCancelled(const ProgressReporter *target);

// floor(done * 100 / total) computed in floating point; a negative total gives
// a negative value (the bar keeps its value), a zero total gives -1.
int progressPercent(qint64 done, qint64 total);

// Paces the reports of a worker that handles many small items: one report per
// interval is all a person can read, and each costs a queued call.
class ProgressPacer
{
public:
    explicit ProgressPacer(int intervalMs = 50) : m_intervalMs(intervalMs) {}

    // True for the first call, when `force` is set (e.g. the last item), and
    // once the interval has passed since the last true answer.
    bool due(bool force = false);

private:
    QElapsedTimer m_clock;
    int m_intervalMs;
};
