// A phone that is unplugged, or that comes back and is reloaded, while a
// command is working on its messages: the monitor's report reaches the window
// inside the command's own event loop (the database chooser of a backup, the
// folder and file choosers of an extraction and an export, the open print
// preview). The phone's node leaves the tree at once; the command still ends
// with every message it was handed, and the window stays up.
//
// The sanitized test command runs this test under AddressSanitizer, where a
// command reading records freed under it is reported.

#include "tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "ops/LocalDbSelForm.h"
#include "ui/MainMenus.h"
#include "views/AndroidDeviceItemNode.h"

#include <QComboBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QtTest>

using namespace windowtest;
using MainMenus::Command;

namespace {

constexpr int kDeviceTimeoutMs = 120000;
const QString kSerial = QStringLiteral("SIM0001");
const QString kSecondSerial = QStringLiteral("SIM0002");

enum class Interruption { Unplug, Reload };

QList<_AndroidDeviceItemNode *> phones(const MainWindow &window)
{
    QList<_AndroidDeviceItemNode *> nodes;
    for (Node *child : window.treeModel()->deviceRoot()->children)
        nodes.append(static_cast<_AndroidDeviceItemNode *>(child));
    return nodes;
}

bool phoneShownUnder(const MainWindow &window, const QString &serial)
{
    const QList<_AndroidDeviceItemNode *> nodes = phones(window);
    return nodes.size() == 1 && nodes.first()->device.serial == serial && !nodes.first()->children.isEmpty();
}

} // namespace

Q_DECLARE_METATYPE(MainMenus::Command)
Q_DECLARE_METATYPE(Interruption)

class TestMainWindowUnplug : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    QTemporaryDir m_stores;
    QString m_store;  // a phone with pictures, generated once
    std::unique_ptr<Environment> m_env;
    std::unique_ptr<SimulatedPhone> m_phone;

    // The phone leaves adb, or shows up again under a second serial, and the
    // window has reacted (node removed, or replaced by a fresh download)
    // before the caller goes on.
    bool interrupt(MainWindow &window, Interruption how)
    {
        if (how == Interruption::Unplug) {
            m_env->adb().adb({"fake", "unplug", kSerial});
            return QTest::qWaitFor([&window] { return phones(window).isEmpty(); }, kDeviceTimeoutMs);
        }
        m_env->adb().adb({"fake", "plug", kSecondSerial, "--port", QString::number(m_phone->launcherPort())});
        return QTest::qWaitFor([&window] { return phoneShownUnder(window, kSecondSerial); }, kDeviceTimeoutMs);
    }

private slots:
    void initTestCase()
    {
        startSimulatedPhoneTests(m_translator);
        m_store = m_stores.filePath(QStringLiteral("phone"));
        QVERIFY(SimulatedPhone::generate(m_store, {"--messages", "40", "--contacts", "5", "--pictures", "3",
                                                   "--picture-kb", "8", "--seed", "11"}));
    }

    void cleanupTestCase() { simpleprotocol::setAgentPortSource({}); }

    void init()
    {
        m_env = std::make_unique<Environment>();
        m_phone = std::make_unique<SimulatedPhone>(m_store);
    }

    void cleanup()
    {
        m_phone.reset();
        m_env.reset();
    }

    void commandOutlivesThePhoneNode_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Interruption>("how");
        QTest::addColumn<QString>("success");  // the start of the success box; %1: the message count
        QTest::newRow("backup, unplugged") << Command::BackupAll << Interruption::Unplug
                                           << "Successfully Backup %1 Messages";
        QTest::newRow("backup, reloaded") << Command::BackupAll << Interruption::Reload
                                          << "Successfully Backup %1 Messages";
        QTest::newRow("extraction, unplugged") << Command::ExtractMediaAll << Interruption::Unplug
                                               << "Successfully extacted ";
        QTest::newRow("export, unplugged") << Command::ExportAll << Interruption::Unplug
                                           << "Successfully exported %1 Messages.";
        QTest::newRow("evidence, unplugged") << Command::ExportEvidence << Interruption::Unplug
                                             << "Successfully exported %1 Messages.";
        QTest::newRow("print preview, unplugged") << Command::PrintAll << Interruption::Unplug << QString();
    }

    void commandOutlivesThePhoneNode()
    {
        QFETCH(Command, command);
        QFETCH(Interruption, how);
        QFETCH(QString, success);

        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        window.bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        window.setFolderOpener([](const QString &) {});
        QVERIFY(m_phone->start({"--adb-state", m_env->adb().statePath(), "--serial", kSerial}));
        QVERIFY(QTest::qWaitFor([&window] { return phoneShownUnder(window, kSerial); }, kDeviceTimeoutMs));
        QTRY_VERIFY(window.currentTreeNode() == phones(window).first());
        const qint64 total = localdbtest::RawDb(localdbtest::smsDbPath(phones(window).first()->device.cacheFolder()))
                                 .scalar(QStringLiteral("select count(*) from message"));
        QVERIFY(total > 0);

        // Every way the command can ask something interrupts it there.
        const QString out = m_env->path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        bool interrupted = false;
        ModalDriver<LocalDbSelForm> databaseChooser([&](LocalDbSelForm &form) {
            interrupted = interrupt(window, how);
            form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->setEditText(QStringLiteral("kept"));
            QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
        window.setFolderChooser([&](const QString &, const QString &) {
            interrupted = interrupt(window, how);
            return out;
        });
        window.setExportPathChooser([&](const QString &, const QStringList &) {
            interrupted = interrupt(window, how);
            return MainWindow::ExportChoice{QDir(out).filePath(QStringLiteral("messages")), 0};
        });
        int pagesAfter = 0;
        ModalDriver<QPrintPreviewDialog> preview([&](QPrintPreviewDialog &dialog) {
            interrupted = interrupt(window, how);
            auto *pages = dialog.findChild<QPrintPreviewWidget *>();
            pages->updatePreview();  // paints every message again
            pagesAfter = pages->pageCount();
            dialog.reject();
        });

        window.runCommand(command);

        QVERIFY(interrupted);
        if (success.isEmpty()) {
            QVERIFY(pagesAfter > 0);
        } else {
            QVERIFY2(boxes.count() > 0, "no result was shown");
            QCOMPARE(boxes.lastIcon(), QMessageBox::Information);
            QVERIFY2(boxes.lastText().startsWith(success.contains(QLatin1String("%1")) ? success.arg(total) : success),
                     qPrintable(boxes.lastText()));
        }
        if (command == Command::BackupAll) {
            QCOMPARE(localdbtest::RawDb(localdbtest::smsDbPath(localDatabaseFolder(QStringLiteral("kept"))))
                         .scalar(QStringLiteral("select count(*) from message")),
                     total);
        }
        // The tree shows what became of the phone.
        if (how == Interruption::Unplug)
            QVERIFY(phones(window).isEmpty());
        else
            QVERIFY(phoneShownUnder(window, kSecondSerial));
    }
};

QTEST_MAIN(TestMainWindowUnplug)
#include "tst_mainwindow_unplug.moc"
