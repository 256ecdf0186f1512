// The export and print commands of the main window.

#include "ui/MainWindow.h"

#include "app/MessageBoxes.h"
#include "export/ExportMessagesThread.h"
#include "export/MMSPrinter.h"
#include "ops/ProgressForm.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>

MainWindow::ExportChoice MainWindow::askExportPath(const QString &proposedPath, const QStringList &filters)
{
    if (m_chooseExportPath)
        return m_chooseExportPath(proposedPath, filters);
    QString selectedFilter;
    const QString path = QFileDialog::getSaveFileName(this, tr("IDS_SEL_EXPORT_MESSAGES_PATH"), proposedPath,
                                                      filters.join(QStringLiteral(";;")), &selectedFilter);
    return {path, int(filters.indexOf(selectedFilter))};
}

void MainWindow::exportMessages(const MsgMessageList &messages)
{
    const QStringList filters = ExportMessagesThread::fileFilters();
    QString proposed = QDir::home().filePath(
        QStringLiteral("messages(%1)").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    std::optional<ExportMessagesThread::Target> target;
    for (;;) {
        const ExportChoice choice = askExportPath(proposed, filters);
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
    ProgressForm form(QString(), this);
    ExportMessagesThread worker(messages, target->path, target->format, &form, this, m_bubbleView.appFolder());
    form.runWorker(worker);
}

void MainWindow::printMessages(const MsgMessageList &messages)
{
    MMSPrinter printer(this, m_bubbleView.appFolder());
    printer.print(messages);
}
