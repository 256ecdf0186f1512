#pragma once

#include "work/WorkerNotify.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QThread;

// A progress target without any window, for running workers from tools,
// benchmarks and tests: it keeps what a ProgressForm would show and ends the
// way the form ends (failed on error or cancel). Lives on the thread that
// created it; reports arrive there through queued calls, so that thread must
// process events (for example in waitFor) while the worker runs.
class HeadlessProgress : public QObject, public ProgressReporter
{
    Q_OBJECT
public:
    // Still running, or the dialog result (1 success, 0 error or cancel).
    enum Result { Running = -1, Rejected = 0, Accepted = 1 };

    explicit HeadlessProgress(QObject *parent = nullptr);

    QObject *reportReceiver() override { return this; }

    Result result() const { return m_result; }
    // A run the worker committed has succeeded, even when a cancel ended the
    // progress first (it came too late to stop anything).
    bool succeeded() const { return isCommitted() || (m_result == Accepted && !isFailed()); }
    const QString &status() const { return m_status; }
    int value() const { return m_value; }
    const QString &progressText() const { return m_text; }
    const QString &errorText() const { return m_error; }
    const QString &resultText() const { return m_resultText; }
    // Every tipsWait text, oldest first.
    const QStringList &tips() const { return m_tips; }
    int progressCount() const { return m_progressCount; }
    // Smallest and largest value posted since construction (0 when none).
    int minimumValue() const { return m_minValue; }
    int maximumValue() const { return m_maxValue; }

    // Runs `thread` to its end while delivering its reports; the thread must
    // not have been started.
    void runToEnd(QThread &thread);

public slots:
    void updateProgress(const QString &status, int curProgress, const QString &progressText);
    void errorOccurred(const QString &info);
    void succeed(const QString &result);
    void tipsWait(const QString &info);
    // What the Cancel button does: the dialog ends rejected without a message
    // (unless the worker has committed already: then nothing is left to stop).
    void cancel();

signals:
    void finished(int result);
    // After each updateProgress; `count` is progressCount().
    void progressReported(int count);
    // After each tipsWait, with its text.
    void tipShown(const QString &info);

private:
    void finish(Result result);

    Result m_result = Running;
    QString m_status;
    int m_value = 0;
    QString m_text;
    QString m_error;
    QString m_resultText;
    QStringList m_tips;
    int m_progressCount = 0;
    int m_minValue = 0;
    int m_maxValue = 0;
};
