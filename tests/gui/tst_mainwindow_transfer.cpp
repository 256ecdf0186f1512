// The window's transfer commands: a conversation of one simulated phone sent to
// a second one with menu entries only, the phone chooser never offering the
// source phone, and a phone that left the tree while the chooser was open not
// being used. With FERRY_SCREENSHOT_DIR set, the window after the transfer is
// saved there as window-transfer.png.

#include "tst_mainwindow_fixtures.h"

#include "android/SimpleProtocol.h"
#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "ui/DataSourceSelForm.h"
#include "views/AbsDBItemNode.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QMenu>

using namespace windowtest;
using MainMenus::Command;

namespace {

constexpr int kTimeoutMs = 90000;

const QList<Conversation> kOneConversation = {{"+15550001", "Alice", {"hello there", "fine, thanks"}, 500000000}};

QStringList offeredPhones(DataSourceSelForm &form)
{
    const auto *combo = form.findChild<QComboBox *>();
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

} // namespace

class TestMainWindowTransfer : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
    }

    void cleanupTestCase() { simpleprotocol::setAgentPortSource({}); }

    void conversationToAnotherPhoneByMenu()
    {
        Environment env;
        QTemporaryDir stores;
        const QString storeA = stores.filePath("a");
        const QString storeB = stores.filePath("b");
        QVERIFY2(SimulatedPhone::generate(storeA, {"--messages", "120", "--contacts", "6", "--pictures", "4",
                                                   "--picture-kb", "40", "--seed", "2024"}),
                 "build the agent-sim target");
        QVERIFY(SimulatedPhone::generate(storeB, {"--messages", "3", "--contacts", "2", "--seed", "7",
                                                  "--manufacturer", "Samsung", "--model", "Galaxy S21"}));
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        window.bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const Node *devices = window.treeModel()->deviceRoot();
        SimulatedPhone phoneA(storeA);
        QVERIFY(phoneA.start({"--adb-state", env.adb().statePath(), "--serial", "SIMA"}));
        QTRY_COMPARE_WITH_TIMEOUT(devices->children.size(), 1, kTimeoutMs);
        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start({"--adb-state", env.adb().statePath(), "--serial", "SIMB", "--defsmsapp", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(devices->children.size(), 2, kTimeoutMs);
        QVERIFY(phoneB.waitForExchangesEnded(2));
        const qint64 exchangesOfB = phoneB.counter("exchangesCompleted");

        const Node *target = childNamed(devices, "Samsung Galaxy S21");
        QVERIFY(target);
        const qsizetype conversationsOfB = target->children.size();
        Node *conversation = childNamed(devices, "Google Pixel 7")->children.first();
        select(window, conversation);
        const int shown = window.listModel()->rowCount();
        QVERIFY(shown > 0);
        ModalDriver<DataSourceSelForm> choosing([](DataSourceSelForm &form) { form.onBtnOkPressed(); });
        const std::unique_ptr<QMenu> menu = window.createTreeContextMenu();
        QAction *transfer = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("Transfer Messages with this contact to other Android"))
                transfer = action;
        }
        QVERIFY(transfer && transfer->isEnabled());
        transfer->trigger();

        QCOMPARE(choosing.answered(), 1);
        QVERIFY2(boxes.lastText().startsWith(QStringLiteral("Successfully Transferred %1 Messages.").arg(shown)),
                 qPrintable(boxes.lastText()));
        QVERIFY(boxes.lastText().contains(QStringLiteral("resume your default Messaging app")));
        QVERIFY(phoneB.waitForExchangesEnded(exchangesOfB + 1));
        QVERIFY(phoneB.counter("messagesReceived") > 0);
        // The receiving phone is shown again, the conversation now among its own.
        QTRY_VERIFY(window.currentTreeNode() == target);
        QCOMPARE(target->children.size(), conversationsOfB + 1);
        const QString folder = qEnvironmentVariable("FERRY_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QTest::qWait(1500);  // the conversation pane renders its page
        QDir().mkpath(folder);
        QVERIFY(window.grab().save(QDir(folder).filePath(QStringLiteral("window-transfer.png"))));
    }

    // The target confirms a message it never keeps: the check after sending
    // finds it missing, and the result box warns and lists it. All of the
    // phone is sent, read from its cache as it goes: the window loads no
    // more than it shows.
    void missingMessageIsListed()
    {
        Environment env;
        QTemporaryDir stores;
        const QString storeA = stores.filePath("a");
        const QString storeB = stores.filePath("b");
        QVERIFY2(SimulatedPhone::generate(storeA, {"--messages", "40", "--contacts", "3", "--pictures", "0",
                                                   "--seed", "5"}),
                 "build the agent-sim target");
        QVERIFY(SimulatedPhone::generate(storeB, {"--messages", "3", "--contacts", "2", "--seed", "7",
                                                  "--manufacturer", "Samsung", "--model", "Galaxy S21"}));
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        const Node *devices = window.treeModel()->deviceRoot();
        SimulatedPhone phoneA(storeA);
        QVERIFY(phoneA.start({"--adb-state", env.adb().statePath(), "--serial", "SIMA"}));
        QTRY_COMPARE_WITH_TIMEOUT(devices->children.size(), 1, kTimeoutMs);
        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start({"--adb-state", env.adb().statePath(), "--serial", "SIMB", "--lose-received", "2"}));
        QTRY_COMPARE_WITH_TIMEOUT(devices->children.size(), 2, kTimeoutMs);
        const auto *source = static_cast<const _AbsDBItemNode *>(childNamed(devices, "Google Pixel 7"));
        select(window, source);
        const qsizetype loaded = source->dataSet->messages.size();  // the conversation shown

        ModalDriver<DataSourceSelForm> choosing([](DataSourceSelForm &form) { form.onBtnOkPressed(); });
        window.runCommand(Command::A2AAll);
        QCOMPARE(choosing.answered(), 1);
        QCOMPARE(source->dataSet->messages.size(), loaded);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Warning);
        const QString text = boxes.lastText();
        static const QRegularExpression summary(QStringLiteral("(\\d+) of (\\d+) messages are on the phone. "
                                                               "1 messages did not arrive."));
        const QRegularExpressionMatch counts = summary.match(text);
        QVERIFY2(counts.hasMatch(), qPrintable(text));
        QVERIFY(counts.captured(2).toInt() > 10);
        QCOMPARE(counts.captured(1).toInt(), counts.captured(2).toInt() - 1);
        // The list behind "Show Details...": the one message, by time and number.
        static const QRegularExpression listed(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d (from|to) \\+?\\d+: "));
        QVERIFY2(text.count(listed) == 1, qPrintable(text));
    }

    void chooserOffersOtherPhonesOnly()
    {
        Environment env;
        for (const char *name : {"Phone A", "Phone B", "Phone C"})
            writeDatabase(virtualDeviceFolder(name), kOneConversation);
        MainWindow window(quickOptions());
        const Node *devices = window.treeModel()->deviceRoot();
        select(window, childNamed(devices, "Phone A")->children.first());

        QStringList offered;
        ModalDriver<DataSourceSelForm> cancelling([&offered](DataSourceSelForm &form) {
            offered = offeredPhones(form);
            form.reject();
        });
        window.runCommand(Command::A2AChat);
        QCOMPARE(cancelling.answered(), 1);
        QCOMPARE(offered, (QStringList{"Phone B", "Phone C"}));
    }

    void phoneGoneWhileChoosingIsNotUsed()
    {
        Environment env;
        for (const char *name : {"Phone A", "Phone B"})
            writeDatabase(virtualDeviceFolder(name), kOneConversation);
        MainWindow window(quickOptions());
        const Node *devices = window.treeModel()->deviceRoot();
        select(window, childNamed(devices, "Phone A"));

        MessageBoxes::TestRecorder boxes;
        ModalDriver<ProgressForm> progress([](ProgressForm &form) { form.reject(); });
        ModalDriver<DataSourceSelForm> unplugging([&window, devices](DataSourceSelForm &form) {
            // Phone B is unplugged while the user picks it.
            select(window, childNamed(devices, "Phone B"));
            window.miUnmoutDevice();
            form.onBtnOkPressed();
        });
        window.runCommand(Command::A2AAll);
        QCOMPARE(unplugging.answered(), 1);
        QCOMPARE(progress.answered(), 0);
        QCOMPARE(boxes.lastText(), QStringLiteral("The selected Android device is no longer connected."));
        QCOMPARE(childTexts(devices), QStringList{"Phone A"});
    }
};

QTEST_MAIN(TestMainWindowTransfer)
#include "tst_mainwindow_transfer.moc"
