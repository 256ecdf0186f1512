#pragma once

#include "work/WorkerNotify.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class WinMovable;

// The modal, frameless dialog shown while a worker thread runs a long
// operation. The worker posts progress, success and failure through the
// notify functions of WorkerNotify.h and reads isFailed() as its cancel flag.
// Neither Enter, Escape nor a close request ends it: only success, an error
// or the Cancel button do.
class ProgressForm : public QDialog, public ProgressReporter
{
    Q_OBJECT
public:
    explicit ProgressForm(const QString &title, QWidget *parent = nullptr);
    ~ProgressForm() override;

    QObject *reportReceiver() override { return this; }

    // The start-up database upgrade cannot be cancelled half-way.
    void setCancelEnabled(bool enabled);

    // Starts `worker`, shows the dialog modally until the worker ends it, then
    // waits for the thread, keeping the window responsive meanwhile. True when the dialog ended accepted and the
    // worker did not fail, and when the worker committed its run (a Cancel that
    // reached the dialog during the commit came too late to stop it).
    bool runWorker(QThread &worker);

    void accept() override;
    void reject() override;

signals:
    // The user pressed Cancel.
    void userCacel();

public slots:
    // A non-empty status replaces the title line; a negative value keeps the
    // bar; an empty text becomes "Progress:<bar value>%".
    void updateProgress(const QString &status, int curProgress, const QString &progressText);
    // Shows the error box, then ends the dialog rejected.
    void errorOccurred(const QString &info);
    // Shows a non-empty result, then ends the dialog accepted.
    void succeed(const QString &result);
    // Shows the information and releases the waiting worker.
    void tipsWait(const QString &info);
    void onFinish(int result);
    void cancel();

private:
    struct Ui
    {
        QProgressBar *progressBar = nullptr;
        QLabel *lbProgress = nullptr;
        QPushButton *btnCancel = nullptr;
        QLabel *lbStatus = nullptr;
    };

    void setupUi(const QString &title);
    void waitForWorker(QThread &worker);

    std::unique_ptr<Ui> ui;
    std::unique_ptr<WinMovable> mover;
    bool m_ended = false;  // finished once; later reports are ignored
};
