#pragma once

#include <QString>

class CliInterrupt;
class CliProgress;
class QThread;

// Runs one worker thread to its end with its progress on standard error, the
// way the window runs it under its progress dialog. Ctrl-C does what the
// dialog's Cancel does: the worker sees the cancel between items, takes back
// what it began, and the runner waits for it before returning.
class CliWorkerRunner
{
public:
    explicit CliWorkerRunner(CliInterrupt &interrupt) : m_interrupt(interrupt) {}

    // `worker` reports to `progress.reporter()` and has not been started.
    // Throws OperationCancelled after Ctrl-C (unless the worker had committed
    // its run by then), std::runtime_error with the worker's message when it
    // failed; returns the worker's success text.
    QString run(QThread &worker, CliProgress &progress) const;

private:
    CliInterrupt &m_interrupt;
};
