#include "ops/ProgressForm.h"

#include "app/MessageBoxes.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

ProgressForm::ProgressForm(const QString &title, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui>())
{
    setupUi(title);
    mover = std::make_unique<WinMovable>(this);
    connect(this, &QDialog::finished, this, &ProgressForm::onFinish);
    connect(ui->btnCancel, &QPushButton::pressed, this, &ProgressForm::cancel);
}

ProgressForm::~ProgressForm() = default;

void ProgressForm::setupUi(const QString &title)
{
    setObjectName(QStringLiteral("ProgressForm"));
    resize(350, 122);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(appStyleSheet());
    setWindowTitle(title);

    ui->lbStatus = new QLabel(title, this);
    ui->lbStatus->setObjectName(QStringLiteral("lbStatus"));
    ui->lbStatus->setGeometry(20, 20, 311, 16);

    ui->progressBar = new QProgressBar(this);
    ui->progressBar->setObjectName(QStringLiteral("progressBar"));
    ui->progressBar->setGeometry(20, 40, 321, 23);
    ui->progressBar->setValue(0);
    ui->progressBar->setTextVisible(true);
    ui->progressBar->setOrientation(Qt::Horizontal);

    ui->lbProgress = new QLabel(this);
    ui->lbProgress->setObjectName(QStringLiteral("lbProgress"));
    ui->lbProgress->setGeometry(25, 70, 281, 20);
    ui->lbProgress->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    ui->btnCancel = new QPushButton(this);
    ui->btnCancel->setObjectName(QStringLiteral("btnCancel"));
    ui->btnCancel->setGeometry(130, 90, 75, 23);
    ui->btnCancel->setText(tr("Cancel"));
    // Enter would otherwise press the dialog's default button, i.e. cancel.
    ui->btnCancel->setAutoDefault(false);
    ui->btnCancel->setDefault(false);
}

void ProgressForm::setCancelEnabled(bool enabled)
{
    ui->btnCancel->setEnabled(enabled);
}

bool ProgressForm::runWorker(QThread &worker)
{
    worker.start(QThread::InheritPriority);
    const bool accepted = exec() == QDialog::Accepted;
    waitForWorker(worker);
    return isCommitted() || (accepted && !isFailed());
}

void ProgressForm::waitForWorker(QThread &worker)
{
    // A worker that ended the dialog is normally gone at once. One still
    // winding down (a cancel that reached it mid-wait) keeps the dialog up,
    // modal and painted, so the window never freezes and nothing else starts.
    const int quickEndMs = 100;
    if (worker.wait(quickEndMs))
        return;
    ui->lbStatus->setText(tr("Finishing, please wait..."));
    ui->btnCancel->setEnabled(false);
    QEventLoop loop;
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    setWindowModality(Qt::ApplicationModal);
    show();
    if (!worker.isFinished())
        loop.exec();
    hide();
}

void ProgressForm::accept()
{
    // Enter must not end the operation's dialog.
}

void ProgressForm::reject()
{
    // Escape and the close command must not end it either.
}

void ProgressForm::updateProgress(const QString &status, int curProgress, const QString &progressText)
{
    if (!status.isEmpty())
        ui->lbStatus->setText(status);
    if (curProgress >= 0)
        ui->progressBar->setValue(curProgress);
    ui->lbProgress->setText(progressText.isEmpty()
                                ? tr("Progress:%1%").arg(ui->progressBar->value())
                                : progressText);
}

void ProgressForm::errorOccurred(const QString &info)
{
    // Reports that arrive after the dialog has ended have no visible effect.
    if (m_ended)
        return;
    reportError(info);
    done(0);
}

void ProgressForm::succeed(const QString &result)
{
    if (m_ended)
        return;
    if (!result.isEmpty())
        showInformation(result);
    done(1);
}

void ProgressForm::tipsWait(const QString &info)
{
    if (!m_ended)
        showInformation(info);
    setWaiting(false);
}

void ProgressForm::onFinish(int result)
{
    m_ended = true;
    setFailed(result == 0);
}

void ProgressForm::cancel()
{
    // Once the worker has committed, only its success is left to come.
    if (isCommitted())
        return;
    emit userCacel();
    done(0);
}
