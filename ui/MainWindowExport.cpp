// The export and print commands of the main window.

#include "ui/MainWindow.h"

#include "app/MessageBoxes.h"
#include "export/MMSPrinter.h"
#include "ops/ProgressForm.h"
#include "views/AndroidDeviceItemNode.h"

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

std::optional<MainWindow::ExportTarget> MainWindow::askExportTarget(const QString &namePrefix,
                                                                    const QStringList &filters,
                                                                    const ExportTargetOf &targetOf)
{
    QString proposed = QDir::home().filePath(
        QStringLiteral("%1(%2)").arg(namePrefix,
                                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    for (;;) {
        const ExportChoice choice = askExportPath(proposed, filters);
        const std::optional<ExportTarget> target = targetOf(choice);
        // The dialog asked about a file it saw under the name typed; a suffix
        // added after it ("notes" becoming notes.txt) may name a file it never
        // saw, and a folder it does not ask about.
        const bool dialogAsked = target && target->path == choice.path
                                 && target->format != ExportMessagesThread::FormatEvidence;
        if (!target || dialogAsked || !ExportMessagesThread::replacesFile(*target)
            || askQuestion(tr("%1 already exists.\nDo you want to replace it?")
                               .arg(QDir::toNativeSeparators(target->path))))
            return target;
        proposed = choice.path;
    }
}

void MainWindow::runExport(const MsgMessageList &messages, const ExportTarget &target, const EvidenceSource &source)
{
    ProgressForm form(QString(), this);
    ExportMessagesThread worker(messages, target.path, target.format, &form, this, m_bubbleView.appFolder());
    worker.setEvidenceSource(source);
    form.runWorker(worker);
}

void MainWindow::exportMessages(const MsgMessageList &messages)
{
    const std::optional<ExportTarget> target =
        askExportTarget(QStringLiteral("messages"), ExportMessagesThread::fileFilters(), [](const ExportChoice &choice) {
            return ExportMessagesThread::targetFor(choice.path, choice.filterIndex);
        });
    if (target)
        runExport(messages, *target);
}

void MainWindow::miExportEvidence()
{
    const MainMenus::Scope scope = menuBarScope();
    if (scope == MainMenus::Scope::None)
        return;
    const MsgMessageList messages = messagesInScope(scope);
    if (messages.isEmpty())
        return;
    // Kept alive through the dialogs, as every message command does.
    const MsgDataSetPtr records = recordsInScope(scope);
    const std::optional<ExportTarget> target =
        askExportTarget(QStringLiteral("evidence"), {tr("Evidence Folders (*)")},
                        [](const ExportChoice &choice) -> std::optional<ExportTarget> {
                            if (choice.path.isEmpty())
                                return std::nullopt;
                            return ExportTarget{choice.path, ExportMessagesThread::FormatEvidence};
                        });
    if (target)
        runExport(messages, *target, evidenceSourceOfCurrent());
}

EvidenceSource MainWindow::evidenceSourceOfCurrent() const
{
    const AbsTreeItemModel::_ItemNode *node = currentTreeNode();
    if (node && node->kind == AbsTreeItemModel::KindChatSession)
        node = node->parentNode;
    if (!node)
        return {};
    if (node->kind == AbsTreeItemModel::KindAndroidDevice) {
        const AndroidDevice &device = static_cast<const _AndroidDeviceItemNode *>(node)->device;
        if (!device.imei.isEmpty())
            return {device.displayName(), device.imei, QString()};
    }
    return {QString(), QString(), node->text};
}

void MainWindow::printMessages(const MsgMessageList &messages)
{
    MMSPrinter printer(this, m_bubbleView.appFolder());
    printer.print(messages);
}
