// The export and print commands of the main window.

#include "ui/MainWindow.h"

#include "app/MessageBoxes.h"
#include "export/MMSPrinter.h"
#include "ops/ProgressForm.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "views/AndroidDeviceItemNode.h"
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

std::optional<MainWindow::ChosenExport> MainWindow::askExportTarget(const QString &namePrefix,
                                                                    const QStringList &filters,
                                                                    const MsgMessageList &messages,
                                                                    const ExportTargetOf &targetOf)
{
    QString proposed = QDir::home().filePath(
        QStringLiteral("%1(%2)").arg(namePrefix,
                                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    for (;;) {
        const ExportChoice choice = askExportPath(proposed, filters, messages);
        const std::optional<ExportTarget> target = targetOf(choice);
        if (!target)
            return std::nullopt;
        // The dialog asked about a file it saw under the name typed; a suffix
        // added after it ("notes" becoming notes.txt) may name a file it never
        // saw, and a folder it does not ask about.
        const bool dialogAsked = target->path == choice.path && target->format != ExportMessagesThread::FormatEvidence;
        if (dialogAsked || !ExportMessagesThread::replacesFile(*target)
            || askQuestion(tr("%1 already exists.\nDo you want to replace it?")
                               .arg(QDir::toNativeSeparators(target->path))))
            return ChosenExport{*target, choice.period};
        proposed = choice.path;
    }
}

void MainWindow::runExport(const MsgMessageList &messages, const ChosenExport &chosen, const EvidenceSource &source)
{
    const MsgMessageList inPeriod = chosen.period.filtered(messages);
    if (inPeriod.isEmpty() && !chosen.period.isOpen()) {
        showInformation(tr("No message falls in the chosen period."));
        return;
    }
    ProgressForm form(QString(), this);
    ExportMessagesThread worker(inPeriod, chosen.target.path, chosen.target.format, &form, this,
                                m_bubbleView.appFolder());
    worker.setEvidenceSource(source);
    form.runWorker(worker);
}

void MainWindow::exportMessages(const MsgMessageList &messages)
{
    const std::optional<ChosenExport> chosen = askExportTarget(
        QStringLiteral("messages"), ExportMessagesThread::fileFilters(), messages,
        [](const ExportChoice &choice) { return ExportMessagesThread::targetFor(choice.path, choice.filterIndex); });
    if (chosen)
        runExport(messages, *chosen);
}

void MainWindow::exportWholeSource()
{
    exportWholeSourceAs(
        QStringLiteral("messages"), ExportMessagesThread::fileFilters(),
        [](const ExportChoice &choice) { return ExportMessagesThread::targetFor(choice.path, choice.filterIndex); });
}

void MainWindow::exportWholeSourceAs(const QString &namePrefix, const QStringList &filters,
                                     const ExportTargetOf &targetOf, const EvidenceSource &evidenceSource)
{
    const std::optional<WholeSource> source = wholeSourceWithMessages();
    if (!source)
        return;
    MsgDataSet span;
    MsgMessageList spanned;
    if (!readDateSpan(*source, span, spanned))
        return;
    const std::optional<ChosenExport> chosen = askExportTarget(namePrefix, filters, spanned, targetOf);
    if (!chosen)
        return;
    try {
        if (!chosen->period.isOpen() && source->reader()->count(chosen->period) == 0) {
            showInformation(tr("No message falls in the chosen period."));
            return;
        }
    } catch (const std::exception &error) {
        reportException(error);
        return;
    }
    ProgressForm form(QString(), this);
    ExportMessagesThread worker(source->reader(), chosen->period, chosen->target.path, chosen->target.format, &form,
                                this, m_bubbleView.appFolder());
    worker.setEvidenceSource(evidenceSource);
    form.runWorker(worker);
}

std::optional<MainWindow::ExportTarget> MainWindow::evidenceTargetOf(const ExportChoice &choice)
{
    if (choice.path.isEmpty())
        return std::nullopt;
    return ExportTarget{choice.path, ExportMessagesThread::FormatEvidence};
}

void MainWindow::miExportEvidence()
{
    const MainMenus::Scope scope = menuBarScope();
    if (scope == MainMenus::Scope::None)
        return;
    const QStringList filters{tr("Evidence Folders (*)")};
    if (scope == MainMenus::Scope::All) {
        exportWholeSourceAs(QStringLiteral("evidence"), filters, evidenceTargetOf, evidenceSourceOfCurrent());
        return;
    }
    const MsgMessageList messages = messagesInScope(scope);
    if (messages.isEmpty())
        return;
    // Kept alive through the dialogs, as every message command does.
    const MsgDataSetPtr records = recordsInScope(scope);
    const std::optional<ChosenExport> chosen =
        askExportTarget(QStringLiteral("evidence"), filters, messages, evidenceTargetOf);
    if (chosen)
        runExport(messages, *chosen, evidenceSourceOfCurrent());
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

bool MainWindow::readDateSpan(const WholeSource &source, MsgDataSet &span, MsgMessageList &spanned)
{
    try {
        spanned = source.dateSpan(span);
        return true;
    } catch (const std::exception &error) {
        reportException(error);
        return false;
    }
}

void MainWindow::printMessages(const MsgMessageList &messages)
{
    MMSPrinter printer(this, m_bubbleView.appFolder());
    printer.print(messages);
}

void MainWindow::printWholeSource()
{
    const std::optional<WholeSource> source = wholeSourceWithMessages();
    if (!source)
        return;
    MsgDataSet span;
    MsgMessageList spanned;
    if (!readDateSpan(*source, span, spanned))
        return;
    MMSPrinter printer(this, m_bubbleView.appFolder());
    printer.print(source->reader(), spanned);
}
