// The main window's transfer commands: messages of a phone or of a local
// database sent to another phone.

#include "ui/MainWindow.h"

#include "android/AndroidRestoreSMSThread.h"
#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "ui/DataSourceSelForm.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ItemModelMain.h"

#include <exception>
#include <memory>

using Node = AbsTreeItemModel::_ItemNode;

namespace {

// The progress dialog has shown a proven transfer; one that left messages
// off the phone, or could not be checked, is shown here with the list.
void showUnprovenTransfer(const AndroidRestoreSMSThread &worker)
{
    if (worker.checked() && worker.missingCount() == 0)
        return;
    QStringList missing;
    for (const AndroidRestoreSMSThread::MissingMessage &message : worker.missingMessages())
        missing.append(AndroidRestoreSMSThread::describe(message));
    if (worker.missingCount() > missing.size())
        missing.append(MainWindow::tr("... and %1 more").arg(worker.missingCount() - missing.size()));
    showWarning(worker.resultText(), missing.join(QLatin1Char('\n')));
}

} // namespace

void MainWindow::transferToPhone(const MsgMessageList &messages)
{
    // The command holds the records (registerMessageCommands); the source
    // node itself may leave the tree while the chooser or the worker runs.
    runTransfer([&messages](const AndroidDevice &target, ProgressForm &form) {
        return std::make_unique<AndroidRestoreSMSThread>(target, messages, &form);
    });
}

void MainWindow::transferWholeSource()
{
    const std::optional<WholeSource> source = wholeSourceWithMessages();
    if (!source)
        return;
    runTransfer([&source](const AndroidDevice &target, ProgressForm &form) {
        return std::make_unique<AndroidRestoreSMSThread>(target, source->reader(), &form);
    });
}

void MainWindow::runTransfer(const TransferWorkerFactory &makeWorker)
{
    const Node *sourceNode = currentSourceNode();
    const QString sourceUid = sourceNode && sourceNode->kind == AbsTreeItemModel::KindAndroidDevice
        ? static_cast<const _AndroidDeviceItemNode *>(sourceNode)->device.uid
        : QString();

    const QString targetUid = chooseTargetPhone(sourceUid);
    if (targetUid.isEmpty())
        return;
    // The chooser is modal, but phones come and go meanwhile.
    _AndroidDeviceItemNode *target = deviceNodeByUid(targetUid);
    if (!target) {
        showWarning(tr("The selected Android device is no longer connected."));
        return;
    }
    const AndroidDevice device = target->device;
    if (target->db)
        target->db->close();  // the worker writes the cache through its own connection

    ProgressForm form(QString(), this);
    const std::unique_ptr<AndroidRestoreSMSThread> worker = makeWorker(device, form);
    if (!form.runWorker(*worker))
        return;
    showUnprovenTransfer(*worker);
    _AndroidDeviceItemNode *refreshed = deviceNodeByUid(targetUid);
    if (!refreshed)
        return;
    try {
        reloadSourceNode(refreshed);
    } catch (const std::exception &error) {
        reportException(error);
    }
}

QString MainWindow::chooseTargetPhone(const QString &sourceUid)
{
    QList<DataSourceSelForm::Choice> choices;
    QHash<const Node *, QString> uids;
    for (_AndroidDeviceItemNode *node : deviceNodes()) {
        if (!sourceUid.isEmpty() && node->device.uid == sourceUid)
            continue;
        choices.append({QStringLiteral(":res/android.png"), node->device.displayName(), node});
        uids.insert(node, node->device.uid);
    }
    if (choices.isEmpty())
        return QString();
    DataSourceSelForm chooser(this);
    // The returned node is only a key here: it may have left the tree.
    return uids.value(chooser.choose(tr("IDS_SEL_ONE_ANDROID_DEVICE"), choices));
}

_AndroidDeviceItemNode *MainWindow::deviceNodeByUid(const QString &uid) const
{
    for (_AndroidDeviceItemNode *node : deviceNodes()) {
        if (node->device.uid == uid)
            return node;
    }
    return nullptr;
}
