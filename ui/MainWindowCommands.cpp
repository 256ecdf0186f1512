// The main window's menus, tool bar and context menus, the dispatch of the
#include "app/RichText.h"
// menu-bar commands, and the commands that need no worker.

#include "ui/MainWindow.h"

#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "app/MessageBoxes.h"
#include "app/VendorServer.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "ui/AboutUsForm.h"
#include "ui/MainWindowUi.h"
#include "ui/MyTreeView.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ItemModelMain.h"
#include "views/ItemModelSms.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <exception>

using MainMenus::Command;
using Node = AbsTreeItemModel::_ItemNode;

void MainWindow::registerCommands()
{
    registerMessageCommands(Command::Backup, [this](const MsgMessageList &messages) { backupMessages(messages); });
    // All of a source is read from its database while the backup goes.
    registerCommand(MainMenus::scopedCommand(Command::Backup, MainMenus::Scope::All), [this] { backupWholeSource(); });
    registerMessageCommands(Command::ExtractMedia,
                            [this](const MsgMessageList &messages) { extractAttachments(messages); });
    registerCommand(MainMenus::scopedCommand(Command::ExtractMedia, MainMenus::Scope::All),
                    [this] { extractWholeSource(); });
    registerCommand(Command::Del, [this] { miDel(); });
    registerCommand(Command::DelSel, [this] { miDelSel(); });
    registerCommand(Command::DelChat, [this] { miDelChat(); });
    registerCommand(Command::DelAll, [this] { miDelAll(); });
    registerCommand(Command::OpenDbFolder, [this] { miOpenDbFolder(); });
    registerCommand(Command::ImportSmsBackup, [this] { importSmsBackup(); });
    registerCommand(Command::ImportIPhoneBackup, [this] { importIPhoneBackup(); });
    registerCommand(Command::ImportArchive, [this] { importArchive(); });
    registerCommand(Command::Exit, [this] { close(); });
    registerCommand(Command::CheckUpdate, [this] { miCheckUpdate(); });
    registerCommand(Command::ClearCache, [this] { miClearCache(); });
    registerCommand(Command::ConnectWifi, [this] { miConnectWifi(); });
    registerCommand(Command::Help, [this] { miHelp(); });
    registerCommand(Command::Feedback, [this] { miFeedback(); });
    registerCommand(Command::About, [this] { miAbout(); });
    registerCommand(Command::Home, [this] { miHome(); });
    registerCommand(Command::ViewCache, [this] { miViewCache(); });
    registerCommand(Command::UnmountDevice, [this] { miUnmoutDevice(); });
    registerMessageCommands(Command::Export, [this](const MsgMessageList &m) { exportMessages(m); });
    registerCommand(MainMenus::scopedCommand(Command::Export, MainMenus::Scope::All), [this] { exportWholeSource(); });
    registerMessageCommands(Command::Print, [this](const MsgMessageList &m) { printMessages(m); });
    registerCommand(MainMenus::scopedCommand(Command::Print, MainMenus::Scope::All), [this] { printWholeSource(); });
    for (const Command transfer : {Command::A2A, Command::Db2A}) {
        registerMessageCommands(transfer, [this](const MsgMessageList &messages) { transferToPhone(messages); });
        registerCommand(MainMenus::scopedCommand(transfer, MainMenus::Scope::All), [this] { transferWholeSource(); });
    }
    registerCommand(Command::Search, [this] { miSearch(); });
    registerCommand(Command::ExportEvidence, [this] { miExportEvidence(); });
}

void MainWindow::registerCommand(Command command, Handler handler)
{
    m_commands.insert(command, std::move(handler));
}

void MainWindow::registerMessageCommands(Command plain, const MessageFlow &flow)
{
    registerCommand(plain, [this, plain] { dispatchMenuBarCommand(plain); });
    for (const MainMenus::Scope scope : {MainMenus::Scope::Selected, MainMenus::Scope::Chat, MainMenus::Scope::All}) {
        registerCommand(MainMenus::scopedCommand(plain, scope), [this, scope, flow] {
            const MsgMessageList messages = messagesInScope(scope);
            if (messages.isEmpty())
                return;
            // The choosers, the progress dialog and the print preview run event
            // loops that also deliver the device monitor's reports: a phone
            // unplugged or reloaded meanwhile leaves the tree, but the records
            // the command hands on live until the command has ended.
            const MsgDataSetPtr records = recordsInScope(scope);
            flow(messages);
        });
    }
}

MsgMessageList MainWindow::messagesInScope(MainMenus::Scope scope)
{
    switch (scope) {
    case MainMenus::Scope::Selected: {
        MsgMessageList selected;
        for (const QModelIndex &row : ui->treeViewSMS->selectionModel()->selectedRows(0)) {
            if (_MsgMessage *message = m_listModel->messageAt(row.row()))
                selected.append(message);
        }
        return completeShown(selected);
    }
    case MainMenus::Scope::Chat:
        return completeShown(m_listModel->messageList());
    case MainMenus::Scope::All: {
        _AbsDBItemNode *source = selectedSource();
        if (!source)
            return {};
        try {
            loadAllMessages(source);
        } catch (const std::exception &error) {
            reportException(error);
            return {};
        }
        return allMessagesOf(source);
    }
    case MainMenus::Scope::None:
        break;
    }
    return {};
}

MsgMessageList MainWindow::completeShown(const MsgMessageList &messages)
{
    if (!m_shownDb || !m_shownDataSet)
        return messages;
    try {
        m_shownDb->completeMessages(*m_shownDataSet, messages);
    } catch (const std::exception &error) {
        reportException(error);
        return {};
    }
    return messages;
}

MsgDataSetPtr MainWindow::recordsInScope(MainMenus::Scope scope) const
{
    if (scope != MainMenus::Scope::All)
        return m_shownDataSet;  // the list's rows
    const _AbsDBItemNode *source = selectedSource();
    return source ? source->dataSet : MsgDataSetPtr();
}

_AbsDBItemNode *MainWindow::selectedSource() const
{
    Node *node = currentTreeNode();
    if (!node || (node->kind != AbsTreeItemModel::KindAndroidDevice && node->kind != AbsTreeItemModel::KindLocalDb))
        return nullptr;
    return static_cast<_AbsDBItemNode *>(node);
}

std::unique_ptr<MessageChunkReader> MainWindow::WholeSource::reader() const
{
    return std::make_unique<MessageChunkReader>(folder, countryCode);
}

MsgMessageList MainWindow::WholeSource::dateSpan(MsgDataSet &span) const
{
    const auto [oldest, newest] = node->db->messageDateSpan();
    span.ensureMessage(1)->date = oldest;
    span.ensureMessage(2)->date = newest;
    return span.messages.values();
}

std::optional<MainWindow::WholeSource> MainWindow::wholeSourceWithMessages()
{
    const _AbsDBItemNode *source = selectedSource();
    try {
        if (!source || source->db->shownMessageCount() == 0)
            return std::nullopt;
    } catch (const std::exception &error) {
        reportException(error);
        return std::nullopt;
    }
    return WholeSource{source, source->db->folder(), source->db->countryCode()};
}

bool MainWindow::hasCommand(Command command) const
{
    return m_commands.contains(command);
}

void MainWindow::runCommand(Command command)
{
    const Handler handler = m_commands.value(command);
    if (handler)
        handler();
}

QAction *MainWindow::menuBarAction(Command command) const
{
    return m_menuBarActions.value(command);
}

void MainWindow::buildMenus()
{
    for (const MainMenus::Menu &menu : MainMenus::menuBar()) {
        QList<MainMenus::Entry> entries;
        for (const MainMenus::Entry &entry : menu.entries) {
            if (entry.separator || hasCommand(entry.command))
                entries.append(entry);
        }
        entries = MainMenus::tidySeparators(entries);
        if (entries.isEmpty())
            continue;

        QMenu *bar = ui->menuBar->addMenu(menu.translatedTitle());
        bool toolSeparatorDue = false;
        for (const MainMenus::Entry &entry : entries) {
            if (entry.separator) {
                bar->addSeparator();
                toolSeparatorDue = !ui->mainToolBar->actions().isEmpty();
                continue;
            }
            auto *action = new QAction(QIcon(entry.iconPath()), entry.translatedText(), this);
            action->setShortcut(entry.keys);
            const Command command = entry.command;
            connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
            bar->addAction(action);
            m_menuBarActions.insert(command, action);
            if (!entry.onToolBar)
                continue;
            if (toolSeparatorDue)
                ui->mainToolBar->addSeparator();
            toolSeparatorDue = false;
            ui->mainToolBar->addAction(action);
            action->setEnabled(false);
        }
    }
}

void MainWindow::updateActions()
{
    const Node *source = currentSourceNode();
    const int kind = source ? source->kind : 0;
    const int phones = phoneCount();
    for (auto it = m_menuBarActions.cbegin(); it != m_menuBarActions.cend(); ++it) {
        if (MainMenus::isToolBarCommand(it.key()))
            it.value()->setEnabled(MainMenus::isToolBarCommandEnabled(it.key(), kind, phones));
    }
}

std::unique_ptr<QMenu> MainWindow::createContextMenu(const QList<MainMenus::Entry> &entries)
{
    QList<MainMenus::Entry> offered;
    for (const MainMenus::Entry &entry : entries) {
        if (entry.separator || hasCommand(entry.command))
            offered.append(entry);
    }
    offered = MainMenus::tidySeparators(offered);
    if (offered.isEmpty())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    for (const MainMenus::Entry &entry : offered) {
        if (entry.separator) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(QIcon(entry.iconPath()), entry.translatedText());
        action->setEnabled(entry.enabled);
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    }
    return menu;
}

std::unique_ptr<QMenu> MainWindow::createTreeContextMenu()
{
    const Node *node = currentTreeNode();
    if (!node)
        return nullptr;
    const int parentKind = node->parentNode ? node->parentNode->kind : 0;
    return createContextMenu(MainMenus::treeContextMenu(node->kind, parentKind, phoneCount()));
}

std::unique_ptr<QMenu> MainWindow::createListContextMenu()
{
    const Node *owner = currentSourceNode();
    if (!owner)
        return nullptr;
    return createContextMenu(MainMenus::listContextMenu(owner->kind, phoneCount()));
}

void MainWindow::onMainTreeContextMenu()
{
    if (const std::unique_ptr<QMenu> menu = createTreeContextMenu())
        menu->exec(QCursor::pos());
}

void MainWindow::onSMSContextMenu()
{
    if (const std::unique_ptr<QMenu> menu = createListContextMenu())
        menu->exec(QCursor::pos());
}

MainMenus::Scope MainWindow::menuBarScope() const
{
    const QItemSelectionModel *rows = ui->treeViewSMS->selectionModel();
    const bool rowsSelected = rows && rows->hasSelection();
    const Node *current = currentTreeNode();
    return MainMenus::menuBarScope(rowsSelected, current ? current->kind : 0);
}

void MainWindow::dispatchMenuBarCommand(Command plain)
{
    const MainMenus::Scope scope = menuBarScope();
    if (scope != MainMenus::Scope::None)
        runCommand(MainMenus::scopedCommand(plain, scope));
}

void MainWindow::miDel()
{
    dispatchMenuBarCommand(Command::Del);
}

void MainWindow::miDelAll()
{
    Node *node = currentTreeNode();
    if (!node || node->kind != AbsTreeItemModel::KindLocalDb)
        return;
    if (!askQuestion(tr("IDS_CONFIRM_DEL_THIS_LOCALDB")))
        return;
    auto *database = static_cast<_AbsDBItemNode *>(node);
    const QString name = database->text;
    const QString folder = localDatabasesDir().absoluteFilePath(name);
    database->db->close();
    removeFolderRecursively(folder);
    removeSourceNode(database);
    updateActions();
    if (QFileInfo::exists(folder)) {
        // Files the removal does not list (hidden ones) keep the folder; it
        // would come back at the next start, so say so instead of "deleted".
        showWarning(QStringLiteral("Some files of database %1 could not be deleted. Please remove the folder %2.")
                        .arg(richTextFromPlain(name), richTextFromPlain(folder)));
        return;
    }
    showInformation(tr("IDS_DEL_LOCALDB_SUC").arg(richTextFromPlain(name)));
}

void MainWindow::miClearCache()
{
    const QString caches = QDir::cleanPath(dataRootDir().absoluteFilePath(QStringLiteral("android_cache")));
    // The phones in the tree read their caches: without them a backup would
    // find no attachment files and a transfer to them would send everything
    // again. They leave the tree with their caches and are read afresh.
    const auto readsCache = [&caches](const _AndroidDeviceItemNode &node) {
        return node.db && QDir::cleanPath(node.db->folder()).startsWith(caches + QLatin1Char('/'));
    };
    QList<AndroidDevice> phones;
    for (const _AndroidDeviceItemNode *node : deviceNodes()) {
        if (readsCache(*node))
            phones.append(node->device);
    }
    removeDeviceNodes(readsCache);
    removeFolderRecursively(caches);
    for (const AndroidDevice &phone : std::as_const(phones))
        androidDeviceLoad(phone);
    showInformation(tr("IDS_SUC_CLEAR_CACHE"));
}

void MainWindow::miViewCache()
{
    const Node *node = currentTreeNode();
    if (!node || node->kind != AbsTreeItemModel::KindAndroidDevice)
        return;
    // The node's database folder is the phone's cache folder (or, for a phone
    // found on disk at start-up, its own folder).
    const auto *device = static_cast<const _AndroidDeviceItemNode *>(node);
    if (device->db)
        m_openFolder(device->db->folder());
}

void MainWindow::miOpenDbFolder()
{
    m_openFolder(localDatabasesDir().absolutePath());
}

void MainWindow::openVendorPage(const QString &pathAndQuery)
{
    const QUrl page = vendorUrl(pathAndQuery);
    if (!page.isEmpty())
        m_openUrl(page);
}

void MainWindow::miCheckUpdate()
{
    openVendorPage(QStringLiteral("/sms_check_update.php?pid=%1&ver=%2")
                       .arg(QLatin1String(AppInfo::kProductId))
                       .arg(AppInfo::kVersionCode));
}

void MainWindow::miHelp()
{
    openVendorPage(QStringLiteral("/android-sms-mms-transfer/help.html"));
}

void MainWindow::miFeedback()
{
    openVendorPage(QStringLiteral("/support.html"));
}

void MainWindow::miHome()
{
    openVendorPage(QStringLiteral("/android-sms-mms-transfer.html"));
}

void MainWindow::miAbout()
{
    AboutUsForm about(this);
    about.exec();
}
