// How the window looks at its start size, 1000 x 680, with a simulated phone
// downloaded and a conversation open: every pane, bar and label gets the room
// it asks for, and nothing overlaps. With FERRY_SCREENSHOT_DIR set, the window
// is also saved there as window-phone.png and window-conversation.png, and the
// WiFi dialog as window-wifi.png; the backup dialog and a backed-up
// conversation as window-backup-dialog.png and window-backup.png.

#include "tst_mainwindow_fixtures.h"

#include "android/AndroidWIFIForm.h"
#include "android/SimpleProtocol.h"
#include "app/MessageBoxes.h"
#include "ops/LocalDbSelForm.h"
#include "views/AndroidDeviceItemNode.h"

#include <QAccessible>
#include <QRegularExpression>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QWebEngineView>
#include <QtTest>

using namespace windowtest;

namespace {

constexpr int kTimeoutMs = 90000;
const QColor kPageBackground(219, 226, 237);

void saveShot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("FERRY_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(widget.grab().save(QDir(folder).filePath(name)));
}

QAction *fileMenuEntry(MainWindow &window, const char *text)
{
    const QList<QAction *> entries = window.menuBar()->actions().first()->menu()->actions();
    for (QAction *entry : entries) {
        if (entry->text() == QLatin1String(text))
            return entry;
    }
    qFatal("no File menu entry %s", text);
}

// The label shows its whole text: at least as large as it asks to be.
bool labelFits(const QLabel *label)
{
    return label->height() >= label->sizeHint().height() && label->width() >= label->minimumSizeHint().width();
}

// The focusable widgets a screen reader could not name.
QStringList unnamedFocusableWidgets(QWidget &top)
{
    QStringList unnamed;
    for (QWidget *widget : top.findChildren<QWidget *>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisible())
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.append(QStringLiteral("%1 %2").arg(QString::fromLatin1(widget->metaObject()->className()),
                                                       widget->objectName()));
    }
    return unnamed;
}

} // namespace

class TestMainWindowLook : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    QTemporaryDir m_stores;

    static bool pageRendered(MainWindow &window)
    {
        auto *view = window.findChild<QWebEngineView *>(QStringLiteral("webViewSMS"));
        return view->grab().toImage().pixelColor(3, 3) == kPageBackground;
    }

    void checkLayout(MainWindow &window)
    {
        QCOMPARE(window.size(), QSize(1000, 680));
        QVERIFY(window.minimumSizeHint().width() <= 1000);
        QVERIFY(window.minimumSizeHint().height() <= 680);

        // The three panes side by side, none squeezed below what it needs.
        auto *splitter = window.findChild<QSplitter *>(QStringLiteral("splitter"));
        int right = -1;
        for (int i = 0; i < splitter->count(); ++i) {
            const QWidget *pane = splitter->widget(i);
            QVERIFY2(pane->geometry().left() > right, qPrintable(pane->objectName()));
            QVERIFY2(pane->width() >= pane->minimumSizeHint().width(), qPrintable(pane->objectName()));
            right = pane->geometry().right();
        }
        QVERIFY(right < splitter->width());

        for (const char *name : {"lbSMSCount", "lbChatName"})
            QVERIFY2(labelFits(window.findChild<QLabel *>(QLatin1String(name))), name);
        const QLabel *chatName = window.findChild<QLabel *>(QStringLiteral("lbChatName"));
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("lbConversation"))->rect().contains(chatName->geometry()));

        // Date, flag and contact columns fit the list beside some content.
        auto *list = window.findChild<QTreeView *>(QStringLiteral("treeViewSMS"));
        QVERIFY(list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2) < list->viewport()->width());
        QVERIFY(list->header()->height() >= 25);

        // Every tool-bar and menu-bar entry is on screen.
        auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
        for (QAction *action : toolBar->actions()) {
            if (QWidget *button = toolBar->widgetForAction(action))
                QVERIFY(toolBar->rect().contains(button->geometry()));
        }
        for (QAction *action : window.menuBar()->actions())
            QVERIFY(window.menuBar()->rect().contains(window.menuBar()->actionGeometry(action)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
    }

    void cleanupTestCase() { simpleprotocol::setAgentPortSource({}); }

    // The demo's phone (400 messages, 24 pictures), plugged in, downloaded and
    // selected; `device` is its node.
    void startWithPhone(Environment &env, MainWindow &window, std::unique_ptr<SimulatedPhone> &phone, Node *&device)
    {
        const QString store = m_stores.filePath(QStringLiteral("phone"));
        if (!QFileInfo::exists(store)) {
            QVERIFY2(SimulatedPhone::generate(store, {"--messages", "400", "--contacts", "30", "--pictures", "24",
                                                      "--picture-kb", "60", "--seed", "2024"}),
                     "build the agent-sim target");
        }
        // The pictures and style sheet of the bubbles sit beside the program, not the test.
        window.bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        phone = std::make_unique<SimulatedPhone>(store);
        QVERIFY(phone->start({"--adb-state", env.adb().statePath(), "--serial", "SIM0001"}));
        QTRY_COMPARE_WITH_TIMEOUT(window.treeModel()->deviceRoot()->children.size(), 1, kTimeoutMs);
        device = window.treeModel()->deviceRoot()->children.first();
        QTRY_VERIFY(window.currentTreeNode() == device);
    }

    void windowWithAPhoneAndAConversation()
    {
        Environment env;
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        std::unique_ptr<SimulatedPhone> phone;
        Node *device = nullptr;
        startWithPhone(env, window, phone, device);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(pageRendered(window), kTimeoutMs);
        checkLayout(window);
        saveShot(window, QStringLiteral("window-phone.png"));

        // The longest of the five newest conversations, its latest message selected.
        Node *conversation = device->children.first();
        for (int i = 1; i < std::min<qsizetype>(5, device->children.size()); ++i) {
            select(window, device->children.at(i));
            const int count = window.listModel()->rowCount();
            select(window, conversation);
            if (count > window.listModel()->rowCount())
                conversation = device->children.at(i);
        }
        select(window, conversation);
        auto *list = window.findChild<QTreeView *>(QStringLiteral("treeViewSMS"));
        list->setCurrentIndex(window.listModel()->index(window.listModel()->rowCount() - 1, 0));
        QTRY_VERIFY_WITH_TIMEOUT(pageRendered(window), kTimeoutMs);
        QTest::qWait(500);  // let the page scroll to the selected message before the picture is taken
        checkLayout(window);
        saveShot(window, QStringLiteral("window-conversation.png"));
        QCOMPARE(boxes.count(), 0);
        const QStringList unnamed = unnamedFocusableWidgets(window);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

        // A German user reads German months and a 24-hour clock.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        select(window, device->children.first() == conversation ? device->children.at(1) : device->children.first());
        select(window, conversation);
        list->setCurrentIndex(window.listModel()->index(window.listModel()->rowCount() - 1, 0));
        static const QRegularExpression germanDateLine(QStringLiteral("class=\"dt\">\\d{1,2} \\S+ \\d{4} \\d{2}:\\d{2}</div>"));
        QString page;
        QTRY_VERIFY_WITH_TIMEOUT(
            (window.findChild<QWebEngineView *>(QStringLiteral("webViewSMS"))->page()->toHtml([&page](const QString &html) {
                page = html;
            }),
             germanDateLine.match(page).hasMatch()),
            kTimeoutMs);
        QTest::qWait(500);
        saveShot(window, QStringLiteral("window-conversation-de.png"));
        QLocale::setDefault(before);

        AndroidWIFIForm wifi(&window);
        wifi.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wifi));
        saveShot(wifi, QStringLiteral("window-wifi.png"));
        for (const QLabel *label : wifi.findChildren<QLabel *>()) {
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            QVERIFY2(label->height() >= needed, qPrintable(label->objectName()));
        }
    }

    // What a user does with the File menu alone: back the phone up, extract
    // the pictures of the backup, delete a message of it.
    void backupExtractAndDeleteWithMenuEntries()
    {
        Environment env;
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        MainWindow window(quickOptions());
        std::unique_ptr<SimulatedPhone> phone;
        Node *device = nullptr;
        startWithPhone(env, window, phone, device);
        if (QTest::currentTestFailed())
            return;
        const int phoneMessages = window.listModel()->rowCount();

        {
            ModalDriver<LocalDbSelForm> chooser([](LocalDbSelForm &form) {
                saveShot(form, QStringLiteral("window-backup-dialog.png"));
                QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
            });
            fileMenuEntry(window, "Backup Messages to Local Database")->trigger();
        }
        QCOMPARE(boxes.lastText(),
                 QStringLiteral("Successfully Backup %1 Messages to local Database.").arg(phoneMessages));
        Node *backup = window.treeModel()->localDbRoot()->children.value(0);
        QVERIFY(backup);
        QTRY_VERIFY(window.currentTreeNode() == backup);
        QCOMPARE(window.listModel()->rowCount(), phoneMessages);
        select(window, backup->children.first());
        QTRY_VERIFY_WITH_TIMEOUT(pageRendered(window), kTimeoutMs);
        QTest::qWait(300);
        saveShot(window, QStringLiteral("window-backup.png"));

        select(window, backup);
        QTemporaryDir out;
        QString opened;
        window.setFolderChooser([&out](const QString &, const QString &) { return out.path(); });
        window.setFolderOpener([&opened](const QString &folder) { opened = folder; });
        fileMenuEntry(window, "Extract MMS attachment")->trigger();
        QVERIFY(!opened.isEmpty());
        QVERIFY(QDir(opened).entryList(QDir::Files).size() >= 24);

        select(window, backup->children.first());
        window.findChild<QTreeView *>(QStringLiteral("treeViewSMS"))->setCurrentIndex(window.listModel()->index(0, 0));
        fileMenuEntry(window, "Delete Messages")->trigger();
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully Deleted 1 Messages."));
        QTRY_VERIFY(window.currentTreeNode() == backup);
        QCOMPARE(window.listModel()->rowCount(), phoneMessages - 1);
    }
};

QTEST_MAIN(TestMainWindowLook)
#include "tst_mainwindow_look.moc"
