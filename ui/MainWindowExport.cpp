// The export and print commands of the main window.

#include "ui/MainWindow.h"

#include "app/MessageBoxes.h"
#include "export/ExportMessagesThread.h"
#include "export/MMSPrinter.h"
#include "ops/ProgressForm.h"
#include "views/DateRangeBox.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>

MainWindow::ExportChoice MainWindow::askExportPath(const QString &proposedPath, const QStringList &filters,
                                                  const MsgMessageList &messages)
{
    if (m_chooseExportPath)
        return m_chooseExportPath(proposedPath, filters);
    QFileDialog dialog(this, tr("IDS_SEL_EXPORT_MESSAGES_PATH"), proposedPath);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    // Qt's own dialog, so that the period can sit below the file name.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *period = new DateRangeBox(messages, &dialog);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(period, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(), int(filters.indexOf(dialog.selectedNameFilter())), period->range()};
}

void MainWindow::exportMessages(const MsgMessageList &messages)
{
    const QStringList filters = ExportMessagesThread::fileFilters();
    QString proposed = QDir::home().filePath(
        QStringLiteral("messages(%1)").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    std::optional<ExportMessagesThread::Target> target;
    ExportChoice choice;
    for (;;) {
        choice = askExportPath(proposed, filters, messages);
        target = ExportMessagesThread::targetFor(choice.path, choice.filterIndex);
        // The dialog asked about the name typed; a suffix added after it
        // ("notes" becoming notes.txt) may name a file it never saw.
        if (!target || target->path == choice.path || !ExportMessagesThread::replacesFile(*target)
            || askQuestion(tr("%1 already exists.\nDo you want to replace it?")
                               .arg(QDir::toNativeSeparators(target->path))))
            break;
        proposed = choice.path;
    }
    if (!target)
        return;
    const MsgMessageList inPeriod = choice.period.filtered(messages);
    if (inPeriod.isEmpty() && !choice.period.isOpen()) {
        showInformation(tr("No message falls in the chosen period."));
        return;
    }
    ProgressForm form(QString(), this);
    ExportMessagesThread worker(inPeriod, target->path, target->format, &form, this, m_bubbleView.appFolder());
    form.runWorker(worker);
}

void MainWindow::printMessages(const MsgMessageList &messages)
{
    MMSPrinter printer(this, m_bubbleView.appFolder());
    printer.print(messages);
}
