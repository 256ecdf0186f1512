#include "ui/MainWindow.h"

#include "android/AndroidMonitor.h"
#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "app/MessageBoxes.h"
#include "app/Platform.h"
#include "app/RichText.h"
#include "app/StyleSheet.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "ui/MainWindowUi.h"
#include "ui/MyTreeView.h"
#include "ui/UpdateCheck.h"
#include "ui/ViewRules.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ChatSessionItemNode.h"
#include "views/ItemModelMain.h"
#include "views/ItemModelSms.h"
#include "views/LocalDBItemNode.h"
#include "views/RootDeviceItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineView>

#include <exception>
#include <utility>

using Node = AbsTreeItemModel::_ItemNode;

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(Options(), parent)
{
}

MainWindow::MainWindow(const Options &options, QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowUi>())
    , m_openFolder(&Platform::openFolderInExplorer)
    , m_openUrl([](const QUrl &url) { Platform::openWithShell(url.toString(QUrl::FullyEncoded)); })
    , m_chooseFolder([this](const QString &title, const QString &start) {
        return QFileDialog::getExistingDirectory(this, title, start, QFileDialog::ShowDirsOnly);
    })
{
    registerAndroidDeviceMetaType();
    ui->setupUi(this);
    setStyleSheet(appStyleSheet());
    setWindowIcon(QIcon(QStringLiteral(":/main")));
    connectViews();
    ui->splitter->setSizes({200, 450, 350});
    setupModels();
    m_bubbleView.attachView(ui->webViewSMS);
    ui->webViewSMS->setUrl(QUrl(QStringLiteral("about:blank")));
    registerCommands();
    buildMenus();
    setWindowTitle(AppInfo::productTitle());
    setupStatusBar();
    startMonitor(options);
    addLocalDatabases();
    addVirtualDevices();
    updateActions();
    startUpdateCheck();
}

MainWindow::~MainWindow()
{
    // The views hold pointers into the data sets of the tree: empty them
    // before the tree goes.
    m_listModel->setMessages({});
    m_bubbleView.showBubble({});
    delete m_monitor;  // stops polling before the window's parts go
    m_monitor = nullptr;
}

void MainWindow::connectViews()
{
    connect(ui->treeViewDS, &MyTreeView::onSelectionChanged, this, &MainWindow::onMainTreeSelected);
    connect(ui->treeViewDS, &MyTreeView::createContextMenu, this, &MainWindow::onMainTreeContextMenu);
    connect(ui->treeViewSMS, &MyTreeView::onSelectionChanged, this, &MainWindow::onSMSItemSelected);
    connect(ui->treeViewSMS, &MyTreeView::createContextMenu, this, &MainWindow::onSMSContextMenu);
    connect(ui->btnSearchHandle, &QPushButton::pressed, this, &MainWindow::searchCotnact);
    connect(ui->txtHandleKeyword, &QLineEdit::returnPressed, this, &MainWindow::searchCotnact);
    connect(ui->btnSearchSMS, &QPushButton::pressed, this, &MainWindow::searchMessages);
    connect(ui->txtSMSKeyword, &QLineEdit::returnPressed, this, &MainWindow::searchMessages);
}

void MainWindow::setupModels()
{
    // Both exist before either view gets its model: setting a model reports an
    // (empty) selection, which clears the list.
    m_treeModel = new ItemModelMain(this);
    m_listModel = new ItemModelSms(this);
    ui->treeViewDS->setModel(m_treeModel);
    ui->treeViewDS->expandAll();

    ui->treeViewSMS->setModel(m_listModel);
    ui->treeViewSMS->setSortingEnabled(true);
    QHeaderView *header = ui->treeViewSMS->header();
    header->setSectionsMovable(false);
    header->setSortIndicator(ItemModelSms::ColumnDate, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &MainWindow::onSMSSortIndicatorChanged);
    ui->treeViewSMS->setColumnWidth(ItemModelSms::ColumnDate, 160);
    ui->treeViewSMS->setColumnWidth(ItemModelSms::ColumnFlag, 50);
    ui->treeViewSMS->setColumnWidth(ItemModelSms::ColumnContact, 120);
}

void MainWindow::setupStatusBar()
{
    m_advLabel = new QLabel(this);
    m_advLabel->setObjectName(QStringLiteral("advLabel"));
    m_advLabel->setOpenExternalLinks(true);
    ui->statusBar->setStyleSheet(QStringLiteral("QStatusBar::item{border: 0px}"));
    ui->statusBar->addWidget(m_advLabel, 0);
    // The last advertisement line received, kept by the update check.
    m_advLabel->setText(UpdateCheck::cachedAdvertisementLine());
}

void MainWindow::startMonitor(const Options &options)
{
    m_monitor = new AndroidMonitor(this);
    m_monitor->setPollInterval(options.monitorPollIntervalMs);
    connect(m_monitor, &AndroidMonitor::deviceConnected, this, &MainWindow::androidDeviceConnected,
            Qt::QueuedConnection);
    connect(m_monitor, &AndroidMonitor::deviceDisconnected, this, &MainWindow::androidDeviceDisconnected,
            Qt::QueuedConnection);
    m_monitor->start();
    if (options.noPhoneHintDelayMs >= 0)
        QTimer::singleShot(options.noPhoneHintDelayMs, this, &MainWindow::androidUsbTips);
}

void MainWindow::addLocalDatabases()
{
    const QDir folder = localDatabasesDir();
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        auto db = QSharedPointer<IOS6MessageDb>::create(folder.absoluteFilePath(name), QString());
        m_treeModel->addLocalDatabase(db, name);
    }
    ui->treeViewDS->expand(m_treeModel->indexOfNode(m_treeModel->localDbRoot()));
}

void MainWindow::addVirtualDevices()
{
    const QDir folder(dataRootDir().absoluteFilePath(QStringLiteral("virtual_android")));
    if (!folder.exists())
        return;
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        AndroidDevice device;
        device.model = name;
        device.uid = folder.absoluteFilePath(name);
        try {
            auto db = QSharedPointer<IOS6MessageDb>::create(device.uid, QString());
            _AndroidDeviceItemNode *node = m_treeModel->addAndroidDevice(db, device);
            db->chats(*node->dataSet);
            m_treeModel->rebuildConversations(node);
        } catch (const std::exception &error) {
            reportException(error);
        }
    }
    ui->treeViewDS->expand(m_treeModel->indexOfNode(m_treeModel->deviceRoot()));
}

// --- views -------------------------------------------------------------------

void MainWindow::clearViews()
{
    m_currentChat = nullptr;
    m_listModel->setMessages({});
    m_bubbleView.showBubble({});
    m_shownDataSet.clear();
    m_shownDb.clear();
    ui->lbSMSCount->setText(tr("Messages: 0"));
    ui->lbChatName->clear();
}

void MainWindow::showMessages(const MsgMessageList &list, _MsgChat *chat)
{
    m_currentChat = chat;
    MsgMessageList sorted = list;
    ItemModelSms::sortForDisplay(sorted, listSortOrder());
    m_listModel->setMessages(sorted);
    m_bubbleView.showBubble(sorted);
    ui->lbSMSCount->setText(tr("Messages: %1").arg(sorted.size()));
    ui->lbChatName->setText(chat ? ViewRules::shortChatName(chatDisplayName(*chat, false)) : tr("All"));
}

void MainWindow::showNodeMessages(_AbsDBItemNode *owner, const MsgMessageList &list, _MsgChat *chat)
{
    // The records the views showed until now stay alive until they have been
    // replaced.
    const MsgDataSetPtr previous = std::exchange(m_shownDataSet, owner->dataSet);
    m_shownDb = owner->db;
    showMessages(list, chat);
}

Qt::SortOrder MainWindow::listSortOrder() const
{
    return ui->treeViewSMS->header()->sortIndicatorOrder();
}

void MainWindow::selectNode(Node *node)
{
    const QModelIndex index = m_treeModel->indexOfNode(node);
    if (!index.isValid())
        return;
    ui->treeViewDS->expand(index);
    // Selecting inside the slot that changed the tree would run the selection
    // handler on a half-updated view; post it instead. The node may be gone by
    // then, so it is looked up again.
    QMetaObject::invokeMethod(
        this,
        [this, node] {
            if (isInTree(node))
                ui->treeViewDS->setCurrentIndex(m_treeModel->indexOfNode(node));
        },
        Qt::QueuedConnection);
}

bool MainWindow::isInTree(const Node *node) const
{
    // Compares addresses only: `node` may have been deleted since it was posted.
    QList<Node *> level = m_treeModel->rootNodes();
    while (!level.isEmpty()) {
        QList<Node *> next;
        for (Node *candidate : std::as_const(level)) {
            if (candidate == node)
                return true;
            next.append(candidate->children);
        }
        level = next;
    }
    return false;
}

Node *MainWindow::currentTreeNode() const
{
    const QItemSelectionModel *selection = ui->treeViewDS->selectionModel();
    const QModelIndexList selected = selection ? selection->selectedIndexes() : QModelIndexList();
    return selected.isEmpty() ? nullptr : AbsTreeItemModel::nodeFromIndex(selected.constFirst());
}

Node *MainWindow::currentSourceNode() const
{
    Node *node = currentTreeNode();
    if (node && node->kind == AbsTreeItemModel::KindChatSession)
        return node->parentNode;
    return node;
}

int MainWindow::phoneCount() const
{
    return AbsTreeItemModel::countChildrenOfKind(m_treeModel->deviceRoot(), AbsTreeItemModel::KindAndroidDevice);
}

void MainWindow::onMainTreeSelected(const QItemSelection &selected, const QItemSelection &)
{
    updateActions();
    if (selected.isEmpty()) {
        clearViews();
        return;
    }
    Node *node = AbsTreeItemModel::nodeFromIndex(selected.indexes().value(0));
    try {
        switch (node ? node->kind : 0) {
        case AbsTreeItemModel::KindLocalDb:
        case AbsTreeItemModel::KindAndroidDevice:
            showSourceNode(static_cast<_AbsDBItemNode *>(node));
            break;
        case AbsTreeItemModel::KindChatSession:
            showConversation(node);
            break;
        default:
            clearViews();
            break;
        }
    } catch (const std::exception &error) {
        reportException(error);
    }
}

void MainWindow::showSourceNode(_AbsDBItemNode *node)
{
    if (node->children.isEmpty()) {
        node->db->chats(*node->dataSet);
        m_treeModel->rebuildConversations(node);
        QMetaObject::invokeMethod(
            this,
            [this, node] {
                if (isInTree(node))
                    ui->treeViewDS->expand(m_treeModel->indexOfNode(node));
            },
            Qt::QueuedConnection);
    }
    // A source shows its newest conversation: reading every message of a
    // large database would hold the window for seconds and take far more
    // memory than one conversation.
    if (node->children.isEmpty()) {
        clearViews();
        return;
    }
    showConversation(node->children.constFirst());
}

void MainWindow::showConversation(Node *node)
{
    const auto *conversation = static_cast<_ChatSessionItemNode *>(node);
    if (conversation->chatList.isEmpty()) {
        clearViews();
        return;
    }
    auto *owner = static_cast<_AbsDBItemNode *>(node->parentNode);
    loadConversation(owner, conversation->chatList);
    showNodeMessages(owner, ViewRules::messagesOfChats(conversation->chatList),
                     conversation->chatList.constFirst());
}

void MainWindow::loadConversation(_AbsDBItemNode *owner, const QList<_MsgChat *> &chats)
{
    QList<qint64> rowids;
    for (const _MsgChat *chat : chats) {
        if (chat)
            rowids.append(chat->rowid);
    }
    owner->db->shownChatMessages(*owner->dataSet, rowids);
}

void MainWindow::loadAllMessages(_AbsDBItemNode *node)
{
    if (!node->dataSet->hasAllMessages())
        node->db->messages(*node->dataSet, 0);
}

MsgMessageList MainWindow::allMessagesOf(const _AbsDBItemNode *node)
{
    return node->dataSet->messages.values();
}

void MainWindow::onSMSItemSelected(const QItemSelection &selected, const QItemSelection &)
{
    for (const QModelIndex &index : selected.indexes()) {
        if (m_listModel->messageAt(index.row())) {
            m_bubbleView.scrollToPos(index.row());
            return;
        }
    }
}

void MainWindow::onSMSSortIndicatorChanged(int column, Qt::SortOrder)
{
    if (!ItemModelSms::isSortableColumn(column)) {
        // Emits the signal again, which re-sorts by date.
        ui->treeViewSMS->header()->setSortIndicator(ItemModelSms::ColumnDate, Qt::AscendingOrder);
        return;
    }
    showMessages(m_listModel->messageList(), m_currentChat);
}

void MainWindow::searchMessages()
{
    const QString keyword = ui->txtSMSKeyword->text().trimmed();
    if (keyword.isEmpty())
        return;
    const int count = m_listModel->rowCount();
    if (count == 0) {
        showInformation(tr("IDS_CAN_NOT_FOUND_AND_MESSAGES"));
        return;
    }
    const QModelIndex current = ui->treeViewSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    const int hit = ViewRules::findWrapped(count, start, [this, &keyword](int row) {
        const _MsgMessage *message = m_listModel->messageAt(row);
        return message && messagePlainText(*message).contains(keyword, Qt::CaseInsensitive);
    });
    if (hit < 0) {
        showInformation(tr("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(richTextFromPlain(keyword)));
        return;
    }
    ui->treeViewSMS->setCurrentIndex(m_listModel->index(hit, ItemModelSms::ColumnDate));
}

void MainWindow::searchCotnact()
{
    const Node *node = currentTreeNode();
    if (!node)
        return;
    switch (node->kind) {
    case AbsTreeItemModel::KindIPhoneDevice:
    case AbsTreeItemModel::KindAndroidDevice:
    case AbsTreeItemModel::KindLocalDb:
        searchChildren(node, 0, ui->txtHandleKeyword->text().trimmed());
        break;
    case AbsTreeItemModel::KindChatSession:
        searchChildren(node->parentNode, int(node->parentNode->children.indexOf(node)) + 1,
                       ui->txtHandleKeyword->text().trimmed());
        break;
    default:
        break;
    }
}

void MainWindow::searchChildren(const Node *parent, int start, const QString &keyword)
{
    if (keyword.isEmpty())
        return;
    const QList<Node *> &children = parent->children;
    const int hit = ViewRules::findWrapped(int(children.size()), start, [&children, &keyword](int row) {
        return children.at(row)->text.contains(keyword, Qt::CaseInsensitive);
    });
    if (hit < 0) {
        showInformation(tr("IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0").arg(richTextFromPlain(keyword)));
        return;
    }
    ui->treeViewDS->setCurrentIndex(m_treeModel->indexOfNode(children.at(hit)));
}
