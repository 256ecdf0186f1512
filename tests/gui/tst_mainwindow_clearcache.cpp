// "Clear cache" with a phone in the tree, played by the phone simulator
// behind the stand-in adb: the phone is read again, so what the window then
// does with it (a backup here) finds every attachment file.

#include "tst_mainwindow_fixtures.h"

#include "android/SimpleProtocol.h"
#include "app/MessageBoxes.h"
#include "ops/LocalDbSelForm.h"
#include "store/IOS6MessageDb.h"
#include "ui/MainMenus.h"
#include "views/AndroidDeviceItemNode.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

using namespace windowtest;

namespace {

constexpr int kDownloadTimeoutMs = 90000;

// Attachment rows of the database at `folder`, and how many of them have
// their file.
struct AttachmentFiles
{
    qint64 rows = 0;
    qint64 present = 0;
};

AttachmentFiles attachmentFiles(const QString &folder)
{
    AttachmentFiles files;
    IOS6MessageDb db(folder, QString());
    localdbtest::RawDb raw(localdbtest::smsDbPath(folder));
    for (const QString &name : raw.column(QStringLiteral("select filename from attachment"))) {
        ++files.rows;
        if (QFileInfo(db.localPath(name)).isFile())
            ++files.present;
    }
    return files;
}

} // namespace

class TestMainWindowClearCache : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    QTemporaryDir m_stores;

private slots:
    void initTestCase()
    {
        startSimulatedPhoneTests(m_translator);
    }

    void cleanupTestCase() { simpleprotocol::setAgentPortSource({}); }

    void connectedPhoneIsReadAgain()
    {
        const QString store = m_stores.filePath(QStringLiteral("phone"));
        QVERIFY(SimulatedPhone::generate(store, {"--messages", "30", "--contacts", "4", "--pictures", "3",
                                                 "--picture-kb", "4", "--seed", "11"}));
        Environment env;
        MessageBoxes::TestRecorder boxes;
        MainWindow window(quickOptions());
        SimulatedPhone phone(store);
        QVERIFY(phone.start({"--adb-state", env.adb().statePath(), "--serial", "SIM0001"}));
        const Node *devices = window.treeModel()->deviceRoot();
        QVERIFY(QTest::qWaitFor([devices] { return devices->children.size() == 1; }, kDownloadTimeoutMs));
        const QString cache = static_cast<_AndroidDeviceItemNode *>(devices->children.first())->device.cacheFolder();
        const AttachmentFiles before = attachmentFiles(cache);
        QVERIFY(before.rows > 0);

        window.runCommand(MainMenus::Command::ClearCache);
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully cleared cache files."));
        QCOMPARE(devices->children.size(), 1);
        QTRY_COMPARE(window.currentTreeNode(), devices->children.first());

        // Everything of the phone, attachment files included, goes into a new database.
        ModalDriver<LocalDbSelForm> chooser([](LocalDbSelForm &form) {
            form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->setEditText(QStringLiteral("Saved"));
            QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
        window.runCommand(MainMenus::Command::BackupAll);
        QCOMPARE(chooser.answered(), 1);
        const AttachmentFiles saved = attachmentFiles(localDatabaseFolder(QStringLiteral("Saved")));
        QCOMPARE(saved.rows, before.rows);
        QCOMPARE(saved.present, before.rows);
    }
};

QTEST_MAIN(TestMainWindowClearCache)
#include "tst_mainwindow_clearcache.moc"
