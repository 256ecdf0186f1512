// The main window's side of the device link: phones reported by the monitor
#include "app/RichText.h"
// are connected, downloaded and shown; vanished phones leave the tree.

#include "ui/MainWindow.h"

#include "android/AndroidConnectWithUSBThread.h"
#include "android/AndroidLoadSMSThread.h"
#include "android/AndroidMonitor.h"
#include "android/AndroidWIFIForm.h"
#include "app/Platform.h"
#include "app/MessageBoxes.h"
#include "app/VendorServer.h"
#include "country/CountryLibDb.h"
#include "country/CountrySelForm.h"
#include "ops/ProgressForm.h"
#include "store/IOS6MessageDb.h"
#include "ui/MainWindowUi.h"
#include "ui/MyTreeView.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ItemModelMain.h"
#include "views/RootDeviceItemNode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <exception>

using Node = AbsTreeItemModel::_ItemNode;

namespace {

// One step of the no-phone hint; the "How to" link only when the vendor's
// page can be reached.
QString hintStep(const QString &step, const QString &pagePath)
{
    const QUrl page = vendorUrl(pagePath);
    if (page.isEmpty())
        return step + QStringLiteral(".<br/><br/>");
    return QStringLiteral("%1. <a href=\"%2\">How to</a>?<br/><br/>")
        .arg(step, richTextFromPlain(page.toString(QUrl::FullyEncoded)));
}

} // namespace

void MainWindow::androidUsbTips()
{
    if (m_monitor->hasKnownDevices())
        return;
    QString text = QStringLiteral("<b>Android device not found.</b><br/><br/>"
                                  "Want to connect Android device? If yes, please follow these steps:<br/><br/>");
    text += hintStep(QStringLiteral("* Enable USB debugging on your Android device"),
                     QStringLiteral("/tutorial/enable-usb-debugging-on-android.html"));
    text += hintStep(QStringLiteral("* Install USB driver software on your computer"),
                     QStringLiteral("/install-usb-driver-software-for-android.html"));
    const QString manager = Platform::deviceManagerPath();
    if (QFileInfo(manager).isExecutable()) {
        text += QStringLiteral("* Click <a href=\"%1\">HERE</a> to run Ferrywright Device Manager to try again.<br/><br/>")
                    .arg(richTextFromPlain(QUrl::fromLocalFile(manager).toString(QUrl::FullyEncoded)));
    }
    showInformation(text);
}

void MainWindow::androidDeviceConnected(const AdbDevice &device)
{
    if (!device.isOnline()) {
        showWarning(QStringLiteral("If you are presented with the pop up to allow debugging with the computer on your "
                                   "Android device screen. Please simply check \"Always allow from this computer\" "
                                   "and then click \"OK\" to finish.<br/>(%1)")
                        .arg(richTextFromPlain(device.line)));
    }
    ProgressForm form(QString(), this);
    AndroidConnectWithUSBThread worker(device.serial, &form, this);
    if (form.runWorker(worker))
        androidDeviceLoad(worker.device());
}

void MainWindow::androidDeviceLoad(AndroidDevice device)
{
    try {
        ensureCountryCode(device);
    } catch (const std::exception &error) {
        reportException(error);
        return;
    }
    if (!downloadMessages(device))
        return;
    removeDeviceNodes([&device](const _AndroidDeviceItemNode &node) { return node.device.uid == device.uid; });
    addDeviceNode(device);
}

void MainWindow::ensureCountryCode(AndroidDevice &device)
{
    if (CountryLibDb::isKnownCode(device.mmc))
        return;
    if (device.mmc.isEmpty()) {
        // The English text has no place for the phone's name.
        QString text = tr("IDS_ANDROID_%1_CANT_READ_MMC_NUMBER");
        if (text.contains(QLatin1String("%1")))
            text = text.arg(richTextFromPlain(device.displayName()));
        showInformation(text);
    }
    CountrySelForm chooser(this);
    chooser.exec();  // cannot end without a choice
    device.mmc = chooser.selectedMobileCode();
}

bool MainWindow::downloadMessages(const AndroidDevice &device)
{
    // The worker writes the cache through its own connection; a node still
    // showing an earlier download of this phone lets go of the file first.
    for (_AndroidDeviceItemNode *node : deviceNodes()) {
        if (node->device.uid == device.uid && node->db)
            node->db->close();
    }
    ProgressForm form(QString(), this);
    AndroidLoadSMSThread worker(&device, &form, this);
    return form.runWorker(worker);
}

void MainWindow::addDeviceNode(const AndroidDevice &device)
{
    try {
        auto db = QSharedPointer<IOS6MessageDb>::create(device.cacheFolder(), device.mmc);
        _AndroidDeviceItemNode *node = m_treeModel->addAndroidDevice(db, device);
        db->chats(*node->dataSet);
        m_treeModel->rebuildConversations(node);
        selectNode(node);
    } catch (const std::exception &error) {
        reportException(error);
    }
}

void MainWindow::androidDeviceDisconnected(const QString &serial)
{
    if (serial.isEmpty())
        return;
    removeDeviceNodes([&serial](const _AndroidDeviceItemNode &node) { return node.device.deviceKey() == serial; });
}

void MainWindow::miUnmoutDevice()
{
    Node *selected = currentTreeNode();
    if (!selected || selected->kind != AbsTreeItemModel::KindAndroidDevice)
        return;
    const auto *chosen = static_cast<_AndroidDeviceItemNode *>(selected);
    // Phones found on disk at start-up have no key: only the chosen one goes.
    const QString key = chosen->device.deviceKey();
    removeDeviceNodes([chosen, &key](const _AndroidDeviceItemNode &node) {
        return &node == chosen || (!key.isEmpty() && node.device.deviceKey() == key);
    });
}

void MainWindow::miConnectWifi()
{
    AndroidWIFIForm form(this);
    if (form.exec() != QDialog::Accepted)
        return;
    const AndroidDevice device = form.device();
    removeDeviceNodes([&device](const _AndroidDeviceItemNode &node) { return node.device.uid == device.uid; });
    androidDeviceLoad(device);
}

QList<_AndroidDeviceItemNode *> MainWindow::deviceNodes() const
{
    QList<_AndroidDeviceItemNode *> nodes;
    for (Node *child : m_treeModel->deviceRoot()->children) {
        if (child->kind == AbsTreeItemModel::KindAndroidDevice)
            nodes.append(static_cast<_AndroidDeviceItemNode *>(child));
    }
    return nodes;
}

void MainWindow::removeDeviceNodes(const std::function<bool(const _AndroidDeviceItemNode &)> &doomed)
{
    for (_AndroidDeviceItemNode *node : deviceNodes()) {
        if (doomed(*node))
            removeSourceNode(node);
    }
    updateActions();
}

void MainWindow::removeSourceNode(_AbsDBItemNode *node)
{
    // Removing the selected row would make the tree select a neighbour in the
    // middle of the removal, and loading that one would change the model while
    // it is changing: let go of the selection first.
    for (const Node *current = currentTreeNode(); current; current = current->parentNode) {
        if (current == node) {
            ui->treeViewDS->selectionModel()->clear();
            break;
        }
    }
    // The views point into the node's records: empty them before it goes.
    if (m_shownDataSet && m_shownDataSet == node->dataSet)
        clearViews();
    m_treeModel->removeNode(node);
}
