// The main window without phones: its layout, what it finds on disk at
// start-up, how selections drive the list and the conversation pane, sorting,
// searching, the menus, and the commands that need no worker.

#include "tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "store/MsgChat.h"
#include "store/MsgDataSet.h"
#include "ui/MainMenus.h"
#include "ui/MyListView.h"
#include "ui/MyTreeView.h"
#include "ui/ViewRules.h"
#include "views/AbsDBItemNode.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardItemModel>
#include <QToolBar>
#include <QWebEngineView>
#include <QtTest>

using namespace windowtest;
using MainMenus::Command;

namespace {

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *action : actions)
        texts.append(action->isSeparator() ? QStringLiteral("|") : action->text());
    return texts;
}

const QList<Conversation> kTwoConversations = {
    {"+15550001", "Alice", {"hello there", "how are you", "fine, thanks"}, 500000000},
    {"+15550002", "Bob", {"meeting at noon?", "yes", "see you", "Noon it is"}, 510000000},
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    std::unique_ptr<Environment> m_env;

    std::unique_ptr<MainWindow> newWindow()
    {
        auto window = std::make_unique<MainWindow>(quickOptions());
        window->setFolderOpener([this](const QString &path) { m_openedFolders.append(path); });
        window->setUrlOpener([this](const QUrl &url) { m_openedUrls.append(url); });
        return window;
    }

    QStringList m_openedFolders;
    QList<QUrl> m_openedUrls;

    static QTreeView *messageView(MainWindow &window)
    {
        return window.findChild<QTreeView *>(QStringLiteral("treeViewSMS"));
    }
    static QString label(MainWindow &window, const char *name)
    {
        return window.findChild<QLabel *>(QLatin1String(name))->text();
    }
    static QStringList shownTexts(MainWindow &window)
    {
        QStringList texts;
        for (const _MsgMessage *message : window.listModel()->messageList())
            texts.append(message->text);
        return texts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        QVERIFY2(QFileInfo(standInTool("adb")).isExecutable(), "build the fake-adb target");
    }

    void init()
    {
        m_env = std::make_unique<Environment>();
        m_openedFolders.clear();
        m_openedUrls.clear();
    }

    void cleanup() { m_env.reset(); }

    // --- layout ------------------------------------------------------------

    void layoutAsDesigned()
    {
        auto window = newWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->size(), QSize(1000, 680));
        QCOMPARE(window->windowTitle(), QStringLiteral("Ferrywright Android SMS + MMS Transfer"));
        for (const char *name : {"centralWidget", "splitter", "widget_5", "widget_4", "txtHandleKeyword",
                                 "btnSearchHandle", "treeViewDS", "widget", "widget_3", "txtSMSKeyword",
                                 "btnSearchSMS", "treeViewSMS", "lbSMSCount", "widget_2", "lbConversation",
                                 "lbChatName", "webViewSMS", "menuBar", "mainToolBar", "statusBar"}) {
            QVERIFY2(window->findChild<QObject *>(QLatin1String(name)), name);
        }
        QCOMPARE(window->findChild<QSplitter *>(QStringLiteral("splitter"))->handleWidth(), 1);
        QCOMPARE(label(*window, "lbSMSCount"), QStringLiteral("Messages: 0"));

        QTreeView *list = messageView(*window);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(list->header()->sortIndicatorSection(), 0);
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(list->columnWidth(0), 160);
        QCOMPARE(list->columnWidth(1), 50);
        QCOMPARE(list->columnWidth(2), 120);

        auto *toolBar = window->findChild<QToolBar *>(QStringLiteral("mainToolBar"));
        QVERIFY(!toolBar->isMovable());
        QVERIFY(!toolBar->isFloatable());
        QCOMPARE(toolBar->iconSize(), QSize(52, 52));
        QCOMPARE(window->findChild<QWebEngineView *>(QStringLiteral("webViewSMS"))->contextMenuPolicy(),
                 Qt::NoContextMenu);
    }

    // Entries whose operation is not built are not shown; the tool bar starts disabled.
    void menuBarOffersWhatWorks()
    {
        auto window = newWindow();
        const QList<QAction *> menus = window->menuBar()->actions();
        QCOMPARE(actionTexts(menus), (QStringList{"File", "Tools", "Help"}));
        QCOMPARE(actionTexts(menus.at(0)->menu()->actions()),
                 (QStringList{"Backup Messages to Local Database", "Transfer Android Messages to other Android",
                              "Transfer Messages from Database to Android", "|", "Extract MMS attachment",
                              "Export Messages to File", "Export for Evidence...", "Print Messages",
                              "Delete Messages", "|",
                              "Import SMS Backup & Restore File...", "Import iPhone Backup...",
                              "Import SMS Import/Export Archive...", "Open Database Folder", "Exit"}));
        QCOMPARE(actionTexts(menus.at(1)->menu()->actions()),
                 (QStringList{"Search Messages...", "Check for Update", "Clear Cache files",
                              "Connect Android Phone via WiFi"}));
        QCOMPARE(actionTexts(menus.at(2)->menu()->actions()), (QStringList{"Help", "Feedback and Support", "About"}));
        const QList<QAction *> tools = window->findChild<QToolBar *>(QStringLiteral("mainToolBar"))->actions();
        QCOMPARE(actionTexts(tools),
                 (QStringList{"Backup Messages to Local Database", "Transfer Android Messages to other Android",
                              "Transfer Messages from Database to Android", "|", "Extract MMS attachment",
                              "Export Messages to File", "Print Messages", "Delete Messages"}));
        for (const QAction *tool : tools)
            QVERIFY(tool->isSeparator() || !tool->isEnabled());
    }

    // The views report selections and context-menu requests as signals.
    void viewsReportSelectionAndMenuRequests()
    {
        QStandardItemModel model;
        model.appendRow(new QStandardItem(QStringLiteral("a")));
        model.appendRow(new QStandardItem(QStringLiteral("b")));
        MyTreeView tree;
        MyListView list;
        tree.setModel(&model);
        list.setModel(&model);
        QSignalSpy treeSelections(&tree, &MyTreeView::onSelectionChanged);
        QSignalSpy listSelections(&list, &MyListView::onSelectionChanged);
        QSignalSpy treeMenus(&tree, &MyTreeView::createContextMenu);
        QSignalSpy listMenus(&list, &MyListView::createContextMenu);
        tree.setCurrentIndex(model.index(1, 0));
        list.setCurrentIndex(model.index(0, 0));
        QCOMPARE(treeSelections.count(), 1);
        QCOMPARE(treeSelections.first().at(0).value<QItemSelection>().indexes(), QModelIndexList{model.index(1, 0)});
        QCOMPARE(listSelections.count(), 1);
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5));
        QCoreApplication::sendEvent(tree.viewport(), &request);
        QCoreApplication::sendEvent(list.viewport(), &request);
        QCOMPARE(treeMenus.count(), 1);
        QCOMPARE(listMenus.count(), 1);
    }

    // --- start-up ------------------------------------------------------------

    void startUpListsDatabasesByNameWithoutLoading()
    {
        writeDatabase(localDatabaseFolder("zeta"), kTwoConversations);
        writeDatabase(localDatabaseFolder("alpha"), kTwoConversations);
        QDir().mkpath(localDatabasesDir().absoluteFilePath(QStringLiteral("empty")));
        auto window = newWindow();
        const Node *root = window->treeModel()->localDbRoot();
        QCOMPARE(childTexts(root), (QStringList{"alpha", "empty", "zeta"}));
        for (const Node *child : root->children) {
            QVERIFY(child->children.isEmpty());
            QVERIFY(static_cast<const _AbsDBItemNode *>(child)->dataSet->isEmpty());
        }
    }

    void startUpShowsTheCachedAdvertisement_data()
    {
        const QString styled = QStringLiteral("<a style=\"color:#3894BC;text-decoration:none;\" href=\"%1\">%2</a>");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("shown");
        QTest::newRow("kept by this version") << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("Gr\u00FC\u00DFe"))
                                              << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("Gr\u00FC\u00DFe"));
        // An older version kept what the server sent.
        QTest::newRow("kept as received") << QStringLiteral("<a href=\"http://127.0.0.1/\">Gr\u00FC\u00DFe</a>")
                                          << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("Gr\u00FC\u00DFe"));
        QTest::newRow("picture in the text")
            << QStringLiteral("<a href=\"http://127.0.0.1/\"><img src=\"file:///x\">Sale</a>")
            << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("Sale"));
        QTest::newRow("script address") << QStringLiteral("<a href=\"javascript:alert(1)\">Sale</a>") << QString();
        QTest::newRow("not a link") << QStringLiteral("<img src=\"http://127.0.0.1/x.png\">") << QString();
    }

    void startUpShowsTheCachedAdvertisement()
    {
        QFETCH(QString, kept);
        QFETCH(QString, shown);
        QFile cached(dataRootDir().absoluteFilePath(QStringLiteral("last-adv")));
        QVERIFY(cached.open(QIODevice::WriteOnly));
        cached.write(kept.toUtf8());
        cached.close();
        auto window = newWindow();
        QCOMPARE(label(*window, "advLabel"), shown);
    }

    void startUpAddsVirtualDevicesWithTheirConversations()
    {
        writeDatabase(virtualDeviceFolder("Old Phone"), kTwoConversations);
        auto window = newWindow();
        const Node *devices = window->treeModel()->deviceRoot();
        QCOMPARE(childTexts(devices), QStringList{"Old Phone"});
        // Newest conversation first.
        QCOMPARE(childTexts(devices->children.first()), (QStringList{"Bob", "Alice"}));
    }

    // A conversation of a phone found at start-up can be opened before its
    // phone: its messages are loaded on the way.
    void conversationOfAVirtualDeviceShowsItsMessages()
    {
        writeDatabase(virtualDeviceFolder("Old Phone"), kTwoConversations);
        auto window = newWindow();
        select(*window, childNamed(window->treeModel()->deviceRoot()->children.first(), "Alice"));
        QCOMPARE(shownTexts(*window), (QStringList{"hello there", "how are you", "fine, thanks"}));
        QCOMPARE(label(*window, "lbChatName"), QStringLiteral("Alice"));
    }

    // --- selection -------------------------------------------------------------

    // A source shows its newest conversation, and reads no other message:
    // a database of a million messages must open as fast as a small one.
    void firstSelectionShowsTheNewestConversationAndTheSecondReadsNothing()
    {
        writeDatabase(localDatabaseFolder("archive"), kTwoConversations);
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        QCOMPARE(childTexts(database), (QStringList{"Bob", "Alice"}));
        QCOMPARE(shownTexts(*window), (QStringList{"meeting at noon?", "yes", "see you", "Noon it is"}));
        QCOMPARE(label(*window, "lbSMSCount"), QStringLiteral("Messages: 4"));
        QCOMPARE(label(*window, "lbChatName"), QStringLiteral("Bob"));
        QCOMPARE(static_cast<_AbsDBItemNode *>(database)->dataSet->messages.size(), 4);

        // The file goes bad behind the program's back: a second selection
        // that read it would fail.
        static_cast<_AbsDBItemNode *>(database)->db->close();
        localdbtest::writeFile(localdbtest::smsDbPath(localDatabaseFolder("archive")), "not a database");
        select(*window, window->treeModel()->localDbRoot());
        QCOMPARE(window->listModel()->rowCount(), 0);
        MessageBoxes::TestRecorder boxes;
        select(*window, database);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(window->listModel()->rowCount(), 4);
    }

    void unreadableDatabaseShowsTheErrorAndKeepsTheViews()
    {
        localdbtest::writeFile(localdbtest::smsDbPath(localDatabaseFolder("broken")), "not a database");
        writeDatabase(localDatabaseFolder("good"), kTwoConversations);
        auto window = newWindow();
        select(*window, childNamed(window->treeModel()->localDbRoot(), "good"));
        MessageBoxes::TestRecorder boxes;
        select(*window, childNamed(window->treeModel()->localDbRoot(), "broken"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Critical);
        QCOMPARE(window->listModel()->rowCount(), 4);
    }

    void conversationShowsItsMessagesInDateOrder()
    {
        writeDatabase(localDatabaseFolder("archive"), kTwoConversations);
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        select(*window, childNamed(database, "Bob"));
        QCOMPARE(shownTexts(*window), (QStringList{"meeting at noon?", "yes", "see you", "Noon it is"}));
        QCOMPARE(window->bubbleView().messageList(), window->listModel()->messageList());
        QCOMPARE(label(*window, "lbChatName"), QStringLiteral("Bob"));
        QVERIFY(window->currentChat());

        // Descending, then a click on another column: back to the date, ascending.
        QHeaderView *header = messageView(*window)->header();
        header->setSortIndicator(0, Qt::DescendingOrder);
        QCOMPARE(shownTexts(*window), (QStringList{"Noon it is", "see you", "yes", "meeting at noon?"}));
        QCOMPARE(window->bubbleView().messageList(), window->listModel()->messageList());
        header->setSortIndicator(1, Qt::DescendingOrder);
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(shownTexts(*window).first(), QStringLiteral("meeting at noon?"));
    }

    void chatNameIsShortened_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("25 characters whole") << QString(25, 'a') << QString(25, 'a');
        QTest::newRow("26 characters cut") << QString(26, 'b') << QString(25, 'b') + "...";
        QTest::newRow("markup stays text") << "<b>x</b>" << "<b>x</b>";
    }

    void chatNameIsShortened()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        writeDatabase(localDatabaseFolder("names"), {{"+15550003", name, {"hi"}}});
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "names");
        select(*window, database);
        select(*window, database->children.first());
        auto *chatName = window->findChild<QLabel *>(QStringLiteral("lbChatName"));
        QCOMPARE(chatName->text(), shown);
        QCOMPARE(chatName->textFormat(), Qt::PlainText);
    }

    void postedSelectionOfARemovedNodeIsDropped()
    {
        writeDatabase(virtualDeviceFolder("Phone A"), kTwoConversations);
        writeDatabase(virtualDeviceFolder("Phone B"), kTwoConversations);
        auto window = newWindow();
        Node *phoneA = childNamed(window->treeModel()->deviceRoot(), "Phone A");
        Node *phoneB = childNamed(window->treeModel()->deviceRoot(), "Phone B");
        window->selectNode(phoneA);
        window->selectNode(phoneB);
        window->treeModel()->removeNode(phoneA);
        QTRY_VERIFY(window->currentTreeNode() == phoneB);
        QCOMPARE(childTexts(window->treeModel()->deviceRoot()), QStringList{"Phone B"});
    }

    // --- search ---------------------------------------------------------------

    void messageSearchMovesOnAndWrapsAround()
    {
        writeDatabase(localDatabaseFolder("archive"), kTwoConversations);
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        select(*window, childNamed(database, "Bob"));
        QTreeView *list = messageView(*window);
        window->findChild<QLineEdit *>(QStringLiteral("txtSMSKeyword"))->setText(QStringLiteral("  NOON "));
        MessageBoxes::TestRecorder boxes;
        window->searchMessages();
        QCOMPARE(list->currentIndex().row(), 0);
        window->searchMessages();
        QCOMPARE(list->currentIndex().row(), 3);
        window->searchMessages();
        QCOMPARE(list->currentIndex().row(), 0);
        QCOMPARE(boxes.count(), 0);

        window->findChild<QLineEdit *>(QStringLiteral("txtSMSKeyword"))->setText(QStringLiteral("<nowhere>"));
        window->searchMessages();
        QCOMPARE(boxes.lastText(), QStringLiteral("Find no Message with keyword &lt;nowhere&gt;."));
        QCOMPARE(list->currentIndex().row(), 0);
    }

    void messageSearchWithoutMessagesSaysSo()
    {
        auto window = newWindow();
        window->findChild<QLineEdit *>(QStringLiteral("txtSMSKeyword"))->setText(QStringLiteral("x"));
        MessageBoxes::TestRecorder boxes;
        window->searchMessages();
        QCOMPARE(boxes.lastText(), QStringLiteral("Can't find any Message."));
    }

    void contactSearchSelectsTheNextConversation()
    {
        writeDatabase(localDatabaseFolder("archive"),
                      {{"+15550001", "Anna", {"a"}, 500000000},
                       {"+15550002", "Bob", {"b"}, 510000000},
                       {"+15550003", "Hannah", {"c"}, 520000000}});
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        QCOMPARE(childTexts(database), (QStringList{"Hannah", "Bob", "Anna"}));
        window->findChild<QLineEdit *>(QStringLiteral("txtHandleKeyword"))->setText(QStringLiteral("ANN"));
        MessageBoxes::TestRecorder boxes;
        window->searchCotnact();
        QCOMPARE(window->currentTreeNode()->text, QStringLiteral("Hannah"));
        QCOMPARE(label(*window, "lbChatName"), QStringLiteral("Hannah"));
        window->searchCotnact();
        QCOMPARE(window->currentTreeNode()->text, QStringLiteral("Anna"));
        window->searchCotnact();
        QCOMPARE(window->currentTreeNode()->text, QStringLiteral("Hannah"));
        window->findChild<QLineEdit *>(QStringLiteral("txtHandleKeyword"))->setText(QStringLiteral("Zed"));
        window->searchCotnact();
        QCOMPARE(boxes.lastText(), QStringLiteral("Find no contact with keyword Zed."));
    }

    // --- enabling rule and context menus --------------------------------------

    void actionsFollowTheSelectionAndThePhones_data()
    {
        QTest::addColumn<int>("phones");
        QTest::newRow("no phone") << 0;
        QTest::newRow("one phone") << 1;
        QTest::newRow("two phones") << 2;
    }

    void actionsFollowTheSelectionAndThePhones()
    {
        QFETCH(int, phones);
        for (int i = 0; i < phones; ++i)
            writeDatabase(virtualDeviceFolder(QStringLiteral("Phone %1").arg(i + 1)), kTwoConversations);
        writeDatabase(localDatabaseFolder("archive"), kTwoConversations);
        auto window = newWindow();
        QAction *del = window->menuBarAction(Command::Del);
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");

        // A transfer needs a phone to send to (from a phone: another one).
        const auto firstEnabled = [](const std::unique_ptr<QMenu> &menu) {
            return menu->actions().first()->isEnabled();
        };
        select(*window, database);
        QVERIFY(del->isEnabled());
        QCOMPARE(window->menuBarAction(Command::Db2A)->isEnabled(), phones > 0);
        QCOMPARE(actionTexts(window->createTreeContextMenu()->actions()),
                 (QStringList{"Transfer Messages from Database to Android", "Extract MMS attachment",
                              "Export Messages to File", "Print Messages", "Delete this Database"}));
        QCOMPARE(firstEnabled(window->createTreeContextMenu()), phones > 0);
        select(*window, database->children.first());
        QVERIFY(del->isEnabled());
        QCOMPARE(actionTexts(window->createTreeContextMenu()->actions()),
                 (QStringList{"Transfer Messages with this contact to Android",
                              "Extract attachment from MMS with this contact", "Export Messages with this contact to File",
                              "Print Messages with this contact", "Delete Messages with this contact"}));
        QCOMPARE(actionTexts(window->createListContextMenu()->actions()),
                 (QStringList{"Transfer selected Messages to Android", "Extract attachment from selected Messages",
                              "Export selected Messages to File", "Print selected Messages", "Delete selected Messages"}));
        QCOMPARE(firstEnabled(window->createListContextMenu()), phones > 0);
        select(*window, window->treeModel()->localDbRoot());
        QVERIFY(!del->isEnabled());
        QCOMPARE(actionTexts(window->createTreeContextMenu()->actions()), QStringList{"Open Database Folder"});
        select(*window, window->treeModel()->deviceRoot());
        QVERIFY(!window->createTreeContextMenu());

        if (phones > 0) {
            select(*window, window->treeModel()->deviceRoot()->children.first());
            QVERIFY(!del->isEnabled());
            QCOMPARE(actionTexts(window->createTreeContextMenu()->actions()),
                     (QStringList{"Backup Messages to Local Database", "Transfer Android Messages to other Android",
                                  "Extract MMS attachment", "Export Messages to File", "Print Messages",
                                  "View Cache Files", "Disconnect Device"}));
            QCOMPARE(window->createTreeContextMenu()->actions().at(1)->isEnabled(), phones > 1);
            QCOMPARE(window->menuBarAction(Command::A2A)->isEnabled(), phones > 1);
        }
    }

    // The full rule, with the entries of operations built later.
    void enablingRule_data()
    {
        QTest::addColumn<int>("sourceKind");
        QTest::addColumn<int>("phones");
        QTest::addColumn<QList<bool>>("enabled");  // Backup, A2A, Db2A, Extract, Export, Print, Del
        const int device = AbsTreeItemModel::KindAndroidDevice;
        const int database = AbsTreeItemModel::KindLocalDb;
        const QList<bool> off{false, false, false, false, false, false, false};
        QTest::newRow("nothing") << 0 << 2 << off;
        QTest::newRow("devices root") << int(AbsTreeItemModel::KindRootDevice) << 2 << off;
        QTest::newRow("iPhone") << int(AbsTreeItemModel::KindIPhoneDevice) << 2 << off;
        QTest::newRow("phone, alone") << device << 1 << QList<bool>{true, false, false, true, true, true, false};
        QTest::newRow("phone, two") << device << 2 << QList<bool>{true, true, false, true, true, true, false};
        QTest::newRow("database, no phone") << database << 0
                                            << QList<bool>{false, false, false, true, true, true, true};
        QTest::newRow("database, one phone") << database << 1
                                             << QList<bool>{false, false, true, true, true, true, true};
    }

    void enablingRule()
    {
        QFETCH(int, sourceKind);
        QFETCH(int, phones);
        QFETCH(QList<bool>, enabled);
        const QList<Command> commands{Command::Backup, Command::A2A,   Command::Db2A, Command::ExtractMedia,
                                      Command::Export, Command::Print, Command::Del};
        for (int i = 0; i < commands.size(); ++i) {
            QVERIFY(MainMenus::isToolBarCommand(commands.at(i)));
            QCOMPARE(MainMenus::isToolBarCommandEnabled(commands.at(i), sourceKind, phones), enabled.at(i));
        }
    }

    void transferEntriesNeedPhones_data()
    {
        QTest::addColumn<int>("phones");
        QTest::addColumn<bool>("toOtherPhone");
        QTest::addColumn<bool>("fromDatabase");
        QTest::newRow("no phone") << 0 << false << false;
        QTest::newRow("one phone") << 1 << false << true;
        QTest::newRow("two phones") << 2 << true << true;
    }

    void transferEntriesNeedPhones()
    {
        QFETCH(int, phones);
        QFETCH(bool, toOtherPhone);
        QFETCH(bool, fromDatabase);
        // 1 enabled, 0 greyed, -1 missing.
        const auto enabledOf = [](const QList<MainMenus::Entry> &entries, Command command) {
            for (const MainMenus::Entry &entry : entries) {
                if (!entry.separator && entry.command == command)
                    return entry.enabled ? 1 : 0;
            }
            return -1;
        };
        const int device = AbsTreeItemModel::KindAndroidDevice;
        const int database = AbsTreeItemModel::KindLocalDb;
        const int conversation = AbsTreeItemModel::KindChatSession;
        QCOMPARE(enabledOf(MainMenus::treeContextMenu(device, 1, phones), Command::A2AAll), int(toOtherPhone));
        QCOMPARE(enabledOf(MainMenus::treeContextMenu(conversation, device, phones), Command::A2AChat), int(toOtherPhone));
        QCOMPARE(enabledOf(MainMenus::listContextMenu(device, phones), Command::A2ASel), int(toOtherPhone));
        QCOMPARE(enabledOf(MainMenus::treeContextMenu(database, 2, phones), Command::Db2AAll), int(fromDatabase));
        QCOMPARE(enabledOf(MainMenus::treeContextMenu(conversation, database, phones), Command::Db2AChat),
                 int(fromDatabase));
        QCOMPARE(enabledOf(MainMenus::listContextMenu(database, phones), Command::Db2ASel), int(fromDatabase));
        // Every other entry is always enabled.
        for (const auto &entries : {MainMenus::treeContextMenu(device, 1, phones),
                                    MainMenus::treeContextMenu(database, 2, phones),
                                    MainMenus::listContextMenu(device, phones)}) {
            for (const MainMenus::Entry &entry : entries) {
                if (entry.command != Command::A2AAll && entry.command != Command::Db2AAll
                    && entry.command != Command::A2ASel)
                    QVERIFY(entry.enabled);
            }
        }
    }

    void contextMenusInOrder()
    {
        const auto texts = [](const QList<MainMenus::Entry> &entries) {
            QStringList list;
            for (const MainMenus::Entry &entry : entries)
                list.append(entry.translatedText());
            return list;
        };
        QCOMPARE(texts(MainMenus::treeContextMenu(AbsTreeItemModel::KindAndroidDevice, 1, 1)),
                 (QStringList{"Backup Messages to Local Database", "Transfer Android Messages to other Android",
                              "Extract MMS attachment", "Export Messages to File", "Print Messages",
                              "View Cache Files", "Disconnect Device"}));
        QCOMPARE(texts(MainMenus::treeContextMenu(AbsTreeItemModel::KindChatSession, AbsTreeItemModel::KindLocalDb, 1)),
                 (QStringList{"Transfer Messages with this contact to Android",
                              "Extract attachment from MMS with this contact",
                              "Export Messages with this contact to File", "Print Messages with this contact",
                              "Delete Messages with this contact"}));
        QCOMPARE(texts(MainMenus::listContextMenu(AbsTreeItemModel::KindLocalDb, 1)),
                 (QStringList{"Transfer selected Messages to Android", "Extract attachment from selected Messages",
                              "Export selected Messages to File", "Print selected Messages",
                              "Delete selected Messages"}));
        QVERIFY(MainMenus::treeContextMenu(AbsTreeItemModel::KindRootDevice, 0, 1).isEmpty());
        QVERIFY(MainMenus::listContextMenu(AbsTreeItemModel::KindRootLocalDb, 1).isEmpty());
    }

    void menuBarDispatch_data()
    {
        QTest::addColumn<bool>("rowsSelected");
        QTest::addColumn<int>("currentKind");
        QTest::addColumn<int>("command");
        QTest::newRow("rows win over a database") << true << int(AbsTreeItemModel::KindLocalDb) << int(Command::ExportSel);
        QTest::newRow("conversation") << false << int(AbsTreeItemModel::KindChatSession) << int(Command::ExportChat);
        QTest::newRow("database") << false << int(AbsTreeItemModel::KindLocalDb) << int(Command::ExportAll);
        QTest::newRow("nothing") << false << 0 << int(Command::Export);
    }

    void menuBarDispatch()
    {
        QFETCH(bool, rowsSelected);
        QFETCH(int, currentKind);
        QFETCH(int, command);
        const MainMenus::Scope scope = MainMenus::menuBarScope(rowsSelected, currentKind);
        QCOMPARE(int(MainMenus::scopedCommand(Command::Export, scope)), command);
        QCOMPARE(MainMenus::scopedCommand(Command::Del, MainMenus::Scope::All), Command::DelAll);
    }

    void separatorsAreTidied()
    {
        MainMenus::Entry sep;
        sep.separator = true;
        MainMenus::Entry a;
        a.command = Command::Exit;
        const QList<MainMenus::Entry> tidy = MainMenus::tidySeparators({sep, a, sep, sep, a, sep});
        QCOMPARE(tidy.size(), 3);
        QVERIFY(!tidy.at(0).separator && tidy.at(1).separator && !tidy.at(2).separator);
    }

    void findWrapped_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("found");
        QTest::newRow("from the top") << 0 << 1;
        QTest::newRow("after the first hit") << 2 << 4;
        QTest::newRow("wraps to the top") << 5 << 1;
        QTest::newRow("start past the end") << 9 << 1;
    }

    void findWrapped()
    {
        QFETCH(int, start);
        const QList<bool> hits{false, true, false, false, true, false};
        QTEST(ViewRules::findWrapped(int(hits.size()), start, [&hits](int row) { return hits.at(row); }), "found");
        QCOMPARE(ViewRules::findWrapped(0, 0, [](int) { return true; }), -1);
    }

    // --- commands ------------------------------------------------------------------

    void deleteThisDatabaseRemovesFolderAndNode()
    {
        writeDatabase(localDatabaseFolder("old <db>"), kTwoConversations);
        writeDatabase(localDatabaseFolder("keep"), kTwoConversations);
        auto window = newWindow();
        Node *doomed = childNamed(window->treeModel()->localDbRoot(), "old <db>");
        select(*window, doomed);
        QCOMPARE(window->listModel()->rowCount(), 4);

        MessageBoxes::TestRecorder boxes(QMessageBox::No);
        window->miDelAll();
        QCOMPARE(boxes.lastText(), QStringLiteral("Confirm to delete this Database?"));
        QVERIFY(QFileInfo::exists(localDatabaseFolder("old <db>")));

        boxes.setAnswer(QMessageBox::Yes);
        boxes.clear();
        window->runCommand(Command::Del);  // no rows selected, a database current: the whole database
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully Deleted Database old &lt;db&gt;."));
        QVERIFY(!QFileInfo::exists(localDatabaseFolder("old <db>")));
        QVERIFY(QFileInfo::exists(localDatabaseFolder("keep")));
        QCOMPARE(childTexts(window->treeModel()->localDbRoot()), QStringList{"keep"});
        QCOMPARE(window->listModel()->rowCount(), 0);
        QCOMPARE(label(*window, "lbSMSCount"), QStringLiteral("Messages: 0"));
    }

    void deleteWithRowsSelectedDoesNotDeleteTheDatabase()
    {
        writeDatabase(localDatabaseFolder("archive"), kTwoConversations);
        auto window = newWindow();
        select(*window, childNamed(window->treeModel()->localDbRoot(), "archive"));
        messageView(*window)->selectAll();
        MessageBoxes::TestRecorder boxes(QMessageBox::No);
        window->miDel();
        QCOMPARE(boxes.count(), 1);  // asks about the selected messages, and is told No
        QCOMPARE(boxes.lastText(), QStringLiteral("Confirm to delete the selected Messages?"));
        QVERIFY(QFileInfo::exists(localDatabaseFolder("archive")));
    }

    void clearCacheRemovesThePhoneCaches()
    {
        const QString cache = dataRootDir().absoluteFilePath(QStringLiteral("android_cache/123"));
        writeDatabase(cache, kTwoConversations);
        auto window = newWindow();
        MessageBoxes::TestRecorder boxes;
        window->runCommand(Command::ClearCache);
        QVERIFY(!QFileInfo::exists(dataRootDir().absoluteFilePath(QStringLiteral("android_cache"))));
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully cleared cache files."));
    }

    void foldersOpenInTheFileManager()
    {
        writeDatabase(virtualDeviceFolder("Old Phone"), kTwoConversations);
        auto window = newWindow();
        window->runCommand(Command::OpenDbFolder);
        select(*window, window->treeModel()->deviceRoot());
        window->runCommand(Command::ViewCache);  // not a phone: nothing
        select(*window, window->treeModel()->deviceRoot()->children.first());
        window->runCommand(Command::ViewCache);
        QCOMPARE(m_openedFolders, (QStringList{localDatabasesDir().absolutePath(), virtualDeviceFolder("Old Phone")}));
    }

    // Phones found on disk have no device key: disconnecting one leaves the others.
    void disconnectRemovesOnlyTheChosenPhone()
    {
        writeDatabase(virtualDeviceFolder("Phone A"), kTwoConversations);
        writeDatabase(virtualDeviceFolder("Phone B"), kTwoConversations);
        auto window = newWindow();
        Node *phoneA = childNamed(window->treeModel()->deviceRoot(), "Phone A");
        select(*window, phoneA);
        QCOMPARE(window->listModel()->rowCount(), 4);
        window->runCommand(Command::UnmountDevice);
        QCOMPARE(childTexts(window->treeModel()->deviceRoot()), QStringList{"Phone B"});
        QCOMPARE(window->listModel()->rowCount(), 0);
    }

    void webPagesNeedAVendorHost()
    {
        auto window = newWindow();
        qputenv("FERRY_VENDOR_HOST", "");
        for (Command command : {Command::Help, Command::Feedback, Command::Home, Command::CheckUpdate})
            window->runCommand(command);
        QVERIFY(m_openedUrls.isEmpty());

        qputenv("FERRY_VENDOR_HOST", "127.0.0.1:8099");
        for (Command command : {Command::Help, Command::Feedback, Command::Home, Command::CheckUpdate})
            window->runCommand(command);
        qputenv("FERRY_VENDOR_HOST", "");
        QCOMPARE(m_openedUrls,
                 (QList<QUrl>{QUrl("http://127.0.0.1:8099/android-sms-mms-transfer/help.html"),
                              QUrl("http://127.0.0.1:8099/support.html"),
                              QUrl("http://127.0.0.1:8099/android-sms-mms-transfer.html"),
                              QUrl("http://127.0.0.1:8099/sms_check_update.php?pid=5D1E0C9A7F3B4E26A8B0C4D2E6F81937&ver=29")}));
    }

    void noPhoneHintAfterTheDelay()
    {
        MessageBoxes::TestRecorder boxes;
        MainWindow::Options options = quickOptions();
        options.noPhoneHintDelayMs = 0;
        MainWindow window(options);
        QTRY_COMPARE(boxes.count(), 1);
        QVERIFY(boxes.lastText().startsWith(QStringLiteral("<b>Android device not found.</b>")));
        QVERIFY(boxes.lastText().contains(QStringLiteral("Enable USB debugging on your Android device.")));
        QVERIFY(!boxes.lastText().contains(QStringLiteral("href")));  // no vendor host: no links
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
