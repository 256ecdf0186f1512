// The WiFi connection dialog: its form, the address check, and connecting to
// the phone simulator over the loopback address.

#include "core/StandInTools.h"

#include "android/AndroidWIFIForm.h"
#include "android/SimpleProtocol.h"
#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "app/MessageBoxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestWifiForm : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    QTemporaryDir m_home;
    QByteArray m_savedHome;
    QString m_store;

    static void typeAddress(AndroidWIFIForm &form, const QString &text)
    {
        form.findChild<QLineEdit *>(QStringLiteral("txtWifiSocket"))->setText(text);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        resetDataRootCacheForTests();
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        m_store = m_home.filePath(QStringLiteral("phone"));
        QVERIFY2(SimulatedPhone::generate(m_store, {"--messages", "5"}), "build the agent-sim target");
    }

    void cleanupTestCase()
    {
        simpleprotocol::setAgentPortSource({});
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    void formAsDesigned()
    {
        AndroidWIFIForm form;
        QCOMPARE(form.size(), QSize(404, 226));
        QCOMPARE(form.windowTitle(), QStringLiteral("AndroidWIFIForm"));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(form.styleSheet().endsWith(
            QStringLiteral(" #lbTipsDownloadWifiConnection { font-size:9px; color:#767B7C; margin:0 10px;}")));
        QCOMPARE(form.findChild<QLineEdit *>(QStringLiteral("txtWifiSocket"))->geometry(), QRect(40, 110, 331, 20));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("btnConnect"))->text(), QStringLiteral("Connect"));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("btnClose"))->text(), QStringLiteral("Cancel"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("label_2"))->text(), QStringLiteral("Connect Android via WiFi"));
        QVERIFY(form.findChild<QLabel *>(QStringLiteral("label"))->wordWrap());
        QVERIFY(form.findChild<QLabel *>(QStringLiteral("lbTipsDownloadWifiConnection"))
                    ->text()
                    .startsWith(QStringLiteral("If you haven't installed Ferrywright SMS Sync")));
    }

    void addressCheck_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("address");
        QTest::newRow("address") << "192.168.1.5" << "192.168.1.5";
        QTest::newRow("blanks around") << "  192.168.1.5\t" << "192.168.1.5";
        QTest::newRow("groups of three digits pass") << "999.999.999.999" << "999.999.999.999";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("host name") << "phone.local" << "";
        QTest::newRow("with a port") << "192.168.1.5:44441" << "";
        QTest::newRow("four digits") << "1921.168.1.5" << "";
        QTest::newRow("three groups") << "192.168.1" << "";
        QTest::newRow("blank inside") << "192.168. 1.5" << "";
    }

    void addressCheck()
    {
        QFETCH(QString, input);
        QTEST(AndroidWIFIForm::addressFromInput(input), "address");
    }

    void wrongInputWarnsAndStays()
    {
        MessageBoxes::TestRecorder boxes;
        AndroidWIFIForm form;
        typeAddress(form, QStringLiteral("192.168.1.5:44441"));
        form.onBtnConnect();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Warning);
        QCOMPARE(boxes.lastText(), QStringLiteral("Input Error. Please input the correct WiFi connection info."));
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void connectsToThePhone()
    {
        MessageBoxes::TestRecorder boxes;
        SimulatedPhone phone(m_store);
        QVERIFY(phone.start());
        AndroidWIFIForm form;
        form.setLauncherPort(phone.launcherPort());
        typeAddress(form, QStringLiteral(" 127.0.0.1 "));
        form.onBtnConnect();
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.device().host, QStringLiteral("127.0.0.1"));
        QVERIFY(form.device().viaWifi);
        QCOMPARE(form.device().port, phone.launcherPort());
        QCOMPARE(form.device().displayName(), QStringLiteral("Google Pixel 7"));
        QVERIFY(!form.device().uid.isEmpty());
    }

    void refusalIsShownAndTheFormStaysOpen()
    {
        MessageBoxes::TestRecorder boxes;
        SimulatedPhone phone(m_store);
        QVERIFY(phone.start({"--refuse", "busy"}));
        AndroidWIFIForm form;
        form.setLauncherPort(phone.launcherPort());
        typeAddress(form, QStringLiteral("127.0.0.1"));
        form.onBtnConnect();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Critical);
        QVERIFY2(boxes.lastText().contains(QStringLiteral("failed.busy")), qPrintable(boxes.lastText()));
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(form.device().uid.isEmpty());
    }

    void cancelClosesRejected()
    {
        AndroidWIFIForm form;
        form.show();
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestWifiForm)
#include "tst_wifiform.moc"
