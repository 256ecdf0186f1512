// Importing an SMS Backup & Restore file or an iPhone backup from the
// window's File menu: the file or folder, the database and the country are
// asked for, and the new database appears in the tree with the
// conversations.

#include "tst_mainwindow_fixtures.h"
#include "core/IPhoneBackupFixture.h"

#include "app/MessageBoxes.h"
#include "country/CountrySelForm.h"
#include "ops/LocalDbSelForm.h"
#include "ui/MainMenus.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace windowtest;

class TestMainWindowImport : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;

    static void chooseUnitedStates(CountrySelForm &chooser)
    {
        auto *list = chooser.findChild<QListWidget *>(QStringLiteral("ltCountries"));
        const auto found = list->findItems(QStringLiteral("United States (+1)"), Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        list->setCurrentItem(found.first());
        chooser.accept();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }

    void importFromTheFileMenuMakesADatabase()
    {
        Environment env;
        const QString path = env.path("sms-20231114.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"3\">\n"
                   "<sms address=\"2125550101\" date=\"1700000000000\" type=\"1\" body=\"Hi\" />\n"
                   "<sms address=\"(212) 555-0101\" date=\"1700000060000\" type=\"2\" body=\"Hello\" />\n"
                   "<sms address=\"+15550100002\" date=\"1700000120000\" type=\"1\" body=\"Other\" />\n"
                   "</smses>\n");
        file.close();

        MainWindow window(quickOptions());
        QString fileFilter;
        window.setOpenFileChooser([&](const QString &, const QString &filter) {
            fileFilter = filter;
            return path;
        });
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);  // confirms the country
        QString offered;
        ModalDriver<LocalDbSelForm> database([&offered](LocalDbSelForm &form) {
            offered = form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->currentText();
            QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
        ModalDriver<CountrySelForm> country(chooseUnitedStates);
        QAction *entry = window.menuBarAction(MainMenus::Command::ImportSmsBackup);
        QVERIFY(entry);
        QCOMPARE(entry->text(), QStringLiteral("Import SMS Backup & Restore File..."));
        entry->trigger();

        QVERIFY(fileFilter.startsWith(QStringLiteral("SMS Backup & Restore files (*.xml)")));
        QCOMPARE(offered, QStringLiteral("sms-20231114"));
        QCOMPARE(boxes.lastText(), QStringLiteral("3 messages read, 3 of them new."));
        Node *target = childNamed(window.treeModel()->localDbRoot(), QStringLiteral("sms-20231114"));
        QVERIFY(target);
        // National and international forms of one number: one conversation.
        QCOMPARE(target->children.size(), 2);
        QTRY_COMPARE(window.currentTreeNode(), target);
    }

    void iPhoneBackupFromTheFileMenuMakesADatabase()
    {
        Environment env;
        const QString path = env.path("iPhone 2023");
        {
            iphonetest::Backup backup(path);
            const qint64 ann = backup.handle("+15550100001");
            const qint64 bob = backup.handle("+15550100002");
            const qint64 annChat = backup.chat("+15550100001", {ann});
            const qint64 group = backup.chat("chat1", {ann, bob});
            backup.message({annChat, ann, 720000000LL * 1000000000LL, false, "Hi"});
            backup.message({group, bob, 720000060LL * 1000000000LL, false, "All of us"});
            backup.finish();
        }
        MainWindow window(quickOptions());
        window.setFolderChooser([&path](const QString &, const QString &) { return path; });
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        ModalDriver<LocalDbSelForm> database([](LocalDbSelForm &form) {
            QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
        ModalDriver<CountrySelForm> country(chooseUnitedStates);
        QAction *entry = window.menuBarAction(MainMenus::Command::ImportIPhoneBackup);
        QVERIFY(entry);
        entry->trigger();

        QCOMPARE(boxes.lastText(), QStringLiteral("2 messages read, 2 of them new."));
        Node *target = childNamed(window.treeModel()->localDbRoot(), QStringLiteral("iPhone 2023"));
        QVERIFY(target);
        QCOMPARE(target->children.size(), 2);
    }
};

QTEST_MAIN(TestMainWindowImport)
#include "tst_mainwindow_import.moc"
