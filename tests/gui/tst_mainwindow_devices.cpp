// The main window and real phones, played by the phone simulator behind the
// stand-in adb: a plugged phone is connected, downloaded and shown without a
// click, replaced when it comes back, and removed when it is unplugged; the
// country chooser steps in when the phone does not tell its country; the
// WiFi command loads a phone the same way.

#include "tst_mainwindow_fixtures.h"

#include "android/AndroidMonitor.h"
#include "android/AndroidWIFIForm.h"
#include "android/SimpleProtocol.h"
#include "app/MessageBoxes.h"
#include "country/CountrySelForm.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgChat.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ChatSessionItemNode.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

using namespace windowtest;

namespace {

constexpr int kDownloadTimeoutMs = 90000;
const QString kSerial = QStringLiteral("SIM0001");

int storedRecords(const QString &store)
{
    QFile messages(store + QStringLiteral("/messages.jsonl"));
    if (!messages.open(QIODevice::ReadOnly))
        return -1;
    int lines = 0;
    while (!messages.atEnd()) {
        if (!messages.readLine().trimmed().isEmpty())
            ++lines;
    }
    return lines;
}

} // namespace

class TestMainWindowDevices : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    QTemporaryDir m_stores;
    QString m_store;  // a phone of 80 messages, generated once
    std::unique_ptr<Environment> m_env;

    // Starts the simulator and plugs it into the stand-in adb as `serial`.
    bool plug(SimulatedPhone &phone, const QStringList &options = {})
    {
        return phone.start(QStringList{"--adb-state", m_env->adb().statePath(), "--serial", kSerial} + options);
    }

    static QList<_AndroidDeviceItemNode *> phones(MainWindow &window)
    {
        QList<_AndroidDeviceItemNode *> nodes;
        for (Node *child : window.treeModel()->deviceRoot()->children)
            nodes.append(static_cast<_AndroidDeviceItemNode *>(child));
        return nodes;
    }

    static bool waitForPhones(MainWindow &window, int count)
    {
        return QTest::qWaitFor([&window, count] { return phones(window).size() == count; }, kDownloadTimeoutMs);
    }

    // Answers the country chooser with India and notes how many message
    // boxes had been shown when it appeared.
    static void chooseIndia(CountrySelForm &chooser, const MessageBoxes::TestRecorder &boxes, int *boxesBefore)
    {
        *boxesBefore = boxes.count();
        chooser.reject();  // Escape: there is no way out without a country
        QVERIFY(chooser.isVisible());
        auto *list = chooser.findChild<QListWidget *>(QStringLiteral("ltCountries"));
        const QList<QListWidgetItem *> india = list->findItems(QStringLiteral("India (+91)"), Qt::MatchExactly);
        QCOMPARE(india.size(), 1);
        list->setCurrentItem(india.first());
        chooser.accept();  // the recorder confirms the choice
    }

private slots:
    void initTestCase()
    {
        startSimulatedPhoneTests(m_translator);
        m_store = m_stores.filePath(QStringLiteral("phone"));
        QVERIFY(SimulatedPhone::generate(m_store, {"--messages", "80", "--contacts", "9", "--pictures", "4",
                                                   "--picture-kb", "20", "--seed", "7"}));
    }

    void cleanupTestCase() { simpleprotocol::setAgentPortSource({}); }

    void init() { m_env = std::make_unique<Environment>(); }
    void cleanup() { m_env.reset(); }

    void pluggedPhoneIsShownReplacedAndRemoved()
    {
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        SimulatedPhone phone(m_store);
        QVERIFY(plug(phone));

        // Plugged: downloaded into its cache and shown, selected, newest conversation first.
        QVERIFY(waitForPhones(window, 1));
        _AndroidDeviceItemNode *node = phones(window).first();
        QCOMPARE(node->text, QStringLiteral("Google Pixel 7"));
        QCOMPARE(node->device.serial, kSerial);
        QTRY_VERIFY(window.currentTreeNode() == node);
        QVERIFY(node->children.size() > 3);
        for (int i = 1; i < node->children.size(); ++i) {
            QVERIFY(static_cast<_ChatSessionItemNode *>(node->children.at(i - 1))->lastDate
                    >= static_cast<_ChatSessionItemNode *>(node->children.at(i))->lastDate);
        }
        const QString cache = node->device.cacheFolder();
        {
            localdbtest::RawDb db(localdbtest::smsDbPath(cache));
            QCOMPARE(db.scalar("select count(*) from valid_hash"), qint64(storedRecords(m_store)));
            // The newest conversation is shown.
            qint64 newest = 0;
            for (const _MsgChat *chat : static_cast<_ChatSessionItemNode *>(node->children.first())->chatList)
                newest += db.scalar(QStringLiteral("select count(*) from chat_message_join where chat_id=%1").arg(chat->rowid));
            QCOMPARE(qint64(window.listModel()->rowCount()), newest);
        }
        QCOMPARE(boxes.count(), 0);
        window.androidUsbTips();  // a phone is attached: no hint
        QCOMPARE(boxes.count(), 0);

        // The same phone under another serial replaces its node.
        m_env->adb().adb({"fake", "plug", "SIM0002", "--port", QString::number(phone.launcherPort())});
        QVERIFY(QTest::qWaitFor(
            [&window] {
                const auto nodes = phones(window);
                return nodes.size() == 1 && nodes.first()->device.serial == QLatin1String("SIM0002");
            },
            kDownloadTimeoutMs));
        QCOMPARE(phones(window).size(), 1);
        QTRY_VERIFY(window.currentTreeNode() == phones(window).first());
        QVERIFY(window.listModel()->rowCount() > 0);

        // Unplugging the first serial leaves the node; unplugging the second removes it and empties the views.
        m_env->adb().adb({"fake", "unplug", kSerial});
        QTRY_VERIFY(!window.monitor()->knownSerials().contains(kSerial));
        QCOMPARE(phones(window).size(), 1);
        m_env->adb().adb({"fake", "unplug", "SIM0002"});
        QVERIFY(waitForPhones(window, 0));
        QCOMPARE(window.listModel()->rowCount(), 0);
        QVERIFY(window.bubbleView().messageList().isEmpty());
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lbSMSCount"))->text(), QStringLiteral("Messages: 0"));
        QCOMPARE(boxes.count(), 0);
    }

    void unauthorizedPhoneIsWarnedAboutAndStillTried()
    {
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        SimulatedPhone phone(m_store);
        QVERIFY(plug(phone, {"--adb-device-state", "unauthorized"}));
        QTRY_VERIFY_WITH_TIMEOUT(boxes.count() >= 2, kDownloadTimeoutMs);
        QCOMPARE(boxes.shown().at(0).icon, QMessageBox::Warning);
        QVERIFY(boxes.shown().at(0).text.contains(QStringLiteral("Always allow from this computer")));
        QVERIFY(boxes.shown().at(0).text.contains(QStringLiteral("(SIM0001")));
        // The connection was tried and failed on the phone's refusal.
        QCOMPARE(boxes.shown().at(1).icon, QMessageBox::Critical);
        QVERIFY(phones(window).isEmpty());
    }

    void countryChooser_data()
    {
        QTest::addColumn<QString>("mmc");
        QTest::addColumn<int>("boxesBeforeChooser");
        QTest::newRow("unknown code: chooser only") << "999" << 0;
        QTest::newRow("no code: information first") << "" << 1;
    }

    void countryChooser()
    {
        QFETCH(QString, mmc);
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        int boxesBefore = -1;
        ModalDriver<CountrySelForm> driver([&](CountrySelForm &chooser) { chooseIndia(chooser, boxes, &boxesBefore); });
        MainWindow window(quickOptions());
        SimulatedPhone phone(m_store);
        QVERIFY(plug(phone, {"--info", QStringLiteral("mmc=") + mmc}));
        QVERIFY(waitForPhones(window, 1));
        QCOMPARE(driver.answered(), 1);
        QTEST(boxesBefore, "boxesBeforeChooser");
        if (boxesBefore == 1) {
            QCOMPARE(boxes.shown().first().text,
                     QStringLiteral("Failed to load country code from your phone. Please click \"OK\" button to "
                                    "select a country code manually."));
        }
        QCOMPARE(phones(window).first()->device.mmc, QStringLiteral("404"));
        QCOMPARE(phones(window).first()->db->countryCode(), QStringLiteral("404"));
    }

    void wifiCommandLoadsThePhoneOnce()
    {
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        SimulatedPhone phone(m_store);
        QVERIFY(phone.start());
        ModalDriver<AndroidWIFIForm> driver([&phone](AndroidWIFIForm &form) {
            form.setLauncherPort(phone.launcherPort());
            form.findChild<QLineEdit *>(QStringLiteral("txtWifiSocket"))->setText(QStringLiteral(" 127.0.0.1 "));
            form.onBtnConnect();
        });
        window.miConnectWifi();
        QCOMPARE(phones(window).size(), 1);
        QVERIFY(phones(window).first()->device.viaWifi);
        QCOMPARE(phones(window).first()->device.host, QStringLiteral("127.0.0.1"));

        window.miConnectWifi();
        QCOMPARE(driver.answered(), 2);
        QCOMPARE(phones(window).size(), 1);
        QCOMPARE(boxes.count(), 0);

        // Its device key is its uid: a monitor report of that key removes it.
        window.androidDeviceDisconnected(phones(window).first()->device.uid);
        QVERIFY(phones(window).isEmpty());
    }

    void cancelledWifiDialogLoadsNothing()
    {
        MainWindow window(quickOptions());
        ModalDriver<AndroidWIFIForm> driver([](AndroidWIFIForm &form) { form.reject(); });
        window.miConnectWifi();
        QCOMPARE(driver.answered(), 1);
        QVERIFY(phones(window).isEmpty());
    }
};

QTEST_MAIN(TestMainWindowDevices)
#include "tst_mainwindow_devices.moc"
