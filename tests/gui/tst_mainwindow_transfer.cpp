// The window's transfer commands: the phone chooser never offers the source
// phone, and a phone that left the tree while the chooser was open is not used.

#include "tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "ui/DataSourceSelForm.h"

#include <QComboBox>

using namespace windowtest;
using MainMenus::Command;

namespace {

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
