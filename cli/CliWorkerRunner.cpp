#include "cli/CliWorkerRunner.h"

#include "cli/CliInterrupt.h"
#include "cli/CliProgress.h"
#include "work/WorkerNotify.h"

#include <QThread>

#include <stdexcept>

QString CliWorkerRunner::run(QThread &worker, CliProgress &progress) const
{
    HeadlessProgress &reporter = progress.reporter();
    if (CliInterrupt::happened())
        throw OperationCancelled();
    const QMetaObject::Connection cancelOnInterrupt =
        QObject::connect(&m_interrupt, &CliInterrupt::interrupted, &reporter, &HeadlessProgress::cancel);
    reporter.runToEnd(worker);
    QObject::disconnect(cancelOnInterrupt);
    progress.finishLine();

    // Ctrl-C during the commit came too late: the run has succeeded.
    if (reporter.succeeded())
        return CliProgress::plainText(reporter.resultText());
    if (CliInterrupt::happened())
        throw OperationCancelled();
    if (!reporter.errorText().isEmpty())
        throw std::runtime_error(CliProgress::plainText(reporter.errorText()).toStdString());
    // A worker that ends without telling how is no success either.
    throw std::runtime_error(QObject::tr("The operation ended without completing.").toStdString());
}
