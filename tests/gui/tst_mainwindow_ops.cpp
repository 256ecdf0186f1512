// Backup, extraction and deletion driven through the window's own menus, as
// a user does them: dialogs answered, trees and views refreshed afterwards.

#include "tst_mainwindow_fixtures.h"

#include "core/CrashPoints.h"

#include "app/MessageBoxes.h"
#include "ops/LocalDbSelForm.h"
#include "ops/ProgressForm.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgChat.h"
#include "ui/MainMenus.h"
#include "views/AbsDBItemNode.h"
#include "views/ChatSessionItemNode.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace windowtest;
using MainMenus::Command;

namespace {

const QList<Conversation> kTwoConversations = {
    {"+15550001", "Alice", {"hello there", "how are you", "fine, thanks"}, 500000000},
    {"+15550002", "Bob", {"meeting at noon?", "yes", "see you", "Noon it is"}, 510000000},
};

// Types `name` into the database chooser and confirms.
void answerWithName(LocalDbSelForm &form, const QString &name)
{
    form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->setEditText(name);
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
}

// Types `name` into the chooser's box as a user does, key by key and with
// the box's completion at work, and confirms with the mouse.
void typeName(LocalDbSelForm &form, const QString &name)
{
    QLineEdit *edit = form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->lineEdit();
    QApplication::setActiveWindow(&form);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
}

QAction *menuEntry(MainWindow &window, const QString &text)
{
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

Node *conversationWith(const Node *source, const QString &number)
{
    for (Node *child : source->children) {
        const auto *conversation = static_cast<const _ChatSessionItemNode *>(child);
        if (conversation->chatList.value(0) && conversation->chatList.first()->chat_identifier == number)
            return child;
    }
    return nullptr;
}

qint64 messageCount(const QString &folder)
{
    return localdbtest::RawDb(localdbtest::smsDbPath(folder)).scalar(QStringLiteral("select count(*) from message"));
}

// Presses Cancel of the progress dialog shown, from a worker's thread on the
// window's (which waits for that dialog); true when that ended the dialog.
bool pressCancelFromWorker()
{
    bool cancelled = false;
    QMetaObject::invokeMethod(
        qApp,
        [&cancelled] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *form = qobject_cast<ProgressForm *>(widget);
                if (!form || !form->isVisible())
                    continue;
                QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
                cancelled = form->isFailed();
            }
        },
        Qt::BlockingQueuedConnection);
    return cancelled;
}

} // namespace

class TestMainWindowOps : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    std::unique_ptr<Environment> m_env;
    QStringList m_openedFolders;

    std::unique_ptr<MainWindow> newWindow()
    {
        auto window = std::make_unique<MainWindow>(quickOptions());
        window->setFolderOpener([this](const QString &path) { m_openedFolders.append(path); });
        return window;
    }

private slots:
    void initTestCase()
    {
        crashpoints::installShim();  // before the first connection
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }
    void init()
    {
        m_env = std::make_unique<Environment>();
        m_openedFolders.clear();
    }
    void cleanup() { m_env.reset(); }

    void backupFromAPhoneThenIntoTheSameDatabase()
    {
        writeDatabase(virtualDeviceFolder("Pixel"), kTwoConversations);
        auto window = newWindow();
        Node *phone = window->treeModel()->deviceRoot()->children.first();
        select(*window, phone);
        MessageBoxes::TestRecorder boxes;
        QString offered;
        {
            ModalDriver<LocalDbSelForm> chooser([&offered](LocalDbSelForm &form) {
                offered = form.findChild<QComboBox *>(QStringLiteral("cbLocalDbNames"))->currentText();
                answerWithName(form, offered);
            });
            QAction *backup = menuEntry(*window, QStringLiteral("Backup Messages to Local Database"));
            QVERIFY(backup && backup->isEnabled());
            backup->trigger();
        }
        QCOMPARE(offered, QStringLiteral("Pixel_Backup"));
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully Backup 7 Messages to local Database."));
        Node *target = childNamed(window->treeModel()->localDbRoot(), "Pixel_Backup");
        QVERIFY(target);
        QTRY_COMPARE(window->currentTreeNode(), target);
        QCOMPARE(target->children.size(), 2);
        QCOMPARE(messageCount(localDatabaseFolder("Pixel_Backup")), qint64(7));

        // One conversation again, the name typed in other letter case: merged, nothing doubled.
        select(*window, phone->children.first());
        ModalDriver<LocalDbSelForm> typing([](LocalDbSelForm &form) { answerWithName(form, "pixel_BACKUP"); });
        window->runCommand(Command::BackupChat);
        QCOMPARE(typing.answered(), 1);
        QCOMPARE(childTexts(window->treeModel()->localDbRoot()), QStringList{"Pixel_Backup"});
        QCOMPARE(messageCount(localDatabaseFolder("Pixel_Backup")), qint64(7));
        QCOMPARE(localDatabasesDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Pixel_Backup"});
    }

    // A conversation is shown from the columns the views need; the backup of
    // it must still write every column of its messages (their guids here).
    void backupOfTheShownConversationKeepsEveryColumn()
    {
        writeDatabase(localDatabaseFolder("Source"), kTwoConversations);
        auto window = newWindow();
        Node *source = childNamed(window->treeModel()->localDbRoot(), "Source");
        QVERIFY(source);
        select(*window, source);  // builds its conversations
        Node *bob = source->children.value(0);
        QVERIFY(bob);
        select(*window, bob);
        MessageBoxes::TestRecorder boxes;
        ModalDriver<LocalDbSelForm> chooser([](LocalDbSelForm &form) { answerWithName(form, "Copy"); });
        window->runCommand(Command::BackupChat);
        QCOMPARE(chooser.answered(), 1);
        const QString guids = QStringLiteral("select m.guid from message m join chat_message_join j on "
                                             "j.message_id = m.ROWID join chat c on c.ROWID = j.chat_id "
                                             "where c.guid = '%1' order by m.guid")
                                  .arg(static_cast<_ChatSessionItemNode *>(bob)->chatList.value(0)->guid);
        const QStringList stored = localdbtest::RawDb(localdbtest::smsDbPath(localDatabaseFolder("Source"))).column(guids);
        QCOMPARE(stored.size(), 4);
        QCOMPARE(localdbtest::RawDb(localdbtest::smsDbPath(localDatabaseFolder("Copy"))).column(guids), stored);
    }

    void exactNameWinsOverOtherLetterCase()
    {
        writeDatabase(localDatabaseFolder("Backup"), kTwoConversations);
        writeDatabase(localDatabaseFolder("backup"), {{"+15550009", "Zoe", {"only one"}, 520000000}});
        writeDatabase(virtualDeviceFolder("Pixel"), {{"+15550003", "Carol", {"new one", "new two"}, 530000000}});
        auto window = newWindow();
        select(*window, window->treeModel()->deviceRoot()->children.first());
        MessageBoxes::TestRecorder boxes;
        ModalDriver<LocalDbSelForm> chooser([](LocalDbSelForm &form) { typeName(form, "backup"); });
        window->runCommand(Command::BackupAll);
        QCOMPARE(chooser.answered(), 1);
        QCOMPARE(messageCount(localDatabaseFolder("backup")), qint64(3));
        QCOMPARE(messageCount(localDatabaseFolder("Backup")), qint64(7));
    }

    // Cancel pressed just as a backup into a new database commits comes too
    // late: the database stays and the window shows it, as after a success.
    void cancelDuringTheBackupCommitKeepsTheNewDatabase()
    {
        writeDatabase(virtualDeviceFolder("Pixel"), kTwoConversations);
        const int commit = 1 + crashpoints::countCommits([this] {
            IOS6MessageDb(m_env->path(QStringLiteral("scratch")), QString()).ensureWritable();
        });
        auto window = newWindow();
        select(*window, window->treeModel()->deviceRoot()->children.first());
        MessageBoxes::TestRecorder boxes;
        ModalDriver<LocalDbSelForm> chooser([](LocalDbSelForm &form) { answerWithName(form, "Pixel_Backup"); });
        bool cancelled = false;
        crashpoints::atCommit(
            commit, [&cancelled] { cancelled = pressCancelFromWorker(); },
            [&window] { window->runCommand(Command::BackupAll); });
        QVERIFY(cancelled);
        QCOMPARE(boxes.count(), 0);  // no error
        QCOMPARE(messageCount(localDatabaseFolder("Pixel_Backup")), qint64(7));
        Node *target = childNamed(window->treeModel()->localDbRoot(), "Pixel_Backup");
        QVERIFY(target);
        QTRY_COMPARE(window->currentTreeNode(), target);
        QCOMPARE(target->children.size(), 2);
    }

    // The same for a deletion: the deleted conversation leaves the tree.
    void cancelDuringTheDeletionCommitUpdatesTheTree()
    {
        const QString folder = localDatabaseFolder("archive");
        writeDatabase(folder, kTwoConversations);
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        select(*window, conversationWith(database, "+15550001"));
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        bool cancelled = false;
        crashpoints::atCommit(
            1, [&cancelled] { cancelled = pressCancelFromWorker(); },
            [&window] { window->runCommand(Command::DelChat); });
        QVERIFY(cancelled);
        QCOMPARE(boxes.count(), 1);  // the question only
        QCOMPARE(messageCount(folder), qint64(4));
        QCOMPARE(childTexts(database).size(), 1);
        QVERIFY(conversationWith(database, "+15550002"));
    }

    void invalidNamesKeepTheChooserOpen_data()
    {
        const QString trailing = QStringLiteral("A Local Database name cannot end with a dot or a blank.");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("blank") << "   " << "Select one Database or enter a new Database name";
        QTest::newRow("slash") << "a/b" << "Invalid Local Database name(can't contain \\ / : * ? &quot; &lt; &gt; |).";
        QTest::newRow("parent") << ".." << "Invalid Local Database name(can't contain \\ / : * ? &quot; &lt; &gt; |).";
        // Windows would store them as "Old", the folder of another database.
        QTest::newRow("trailing dot") << "Old." << trailing;
        QTest::newRow("trailing blank") << "Old " << trailing;
        QTest::newRow("trailing dots and blanks") << "Old. . " << trailing;
    }

    void invalidNamesKeepTheChooserOpen()
    {
        QFETCH(QString, name);
        QFETCH(QString, warning);
        MessageBoxes::TestRecorder boxes;
        LocalDbSelForm form({QStringLiteral("Old")}, QString());
        form.show();
        answerWithName(form, name);
        QCOMPARE(boxes.lastText(), warning);
        QVERIFY(form.isVisible());
        QCOMPARE(form.result(), 0);
    }

    void extractThenDeleteInADatabase()
    {
        const QString folder = localDatabaseFolder("archive");
        {
            localdbtest::SetBuilder b;
            const QString picture = m_env->path(QStringLiteral("src/p.jpg"));
            localdbtest::writeFile(picture, "picture bytes");
            _MsgHandle *h = b.handle(QStringLiteral("+15550001"));
            _MsgChat *alice = b.chat(QStringLiteral("SMS;-;+15550001"), {h});
            _MsgHandle *g = b.handle(QStringLiteral("+15550002"));
            _MsgChat *bob = b.chat(QStringLiteral("SMS;-;+15550002"), {g});
            b.message(alice, h, 500000000, QStringLiteral("first"));
            b.attachment(b.message(alice, h, 500000060, QStringLiteral("look")), picture, QStringLiteral("p.jpg"));
            b.message(alice, h, 500000120, QStringLiteral("third"));
            b.message(bob, g, 500000200, QStringLiteral("bob's"));
            ExportMessagesDb writer(folder, QString());
            writer.begin();
            for (const _MsgMessage *m : b.messages())
                writer.write(*m);
            writer.end();
        }
        auto window = newWindow();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        select(*window, conversationWith(database, "+15550001"));
        QCOMPARE(window->listModel()->rowCount(), 3);

        QTemporaryDir out;
        window->setFolderChooser([&out](const QString &, const QString &) { return out.path(); });
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        window->runCommand(Command::ExtractMediaChat);
        QCOMPARE(m_openedFolders.size(), 1);
        QVERIFY2(QFileInfo(m_openedFolders.first()).fileName().startsWith(QLatin1String("attachments(")),
                 qPrintable(m_openedFolders.first()));
        QCOMPARE(localdbtest::readFile(m_openedFolders.first() + QStringLiteral("/p.jpg")), QByteArray("picture bytes"));

        auto *list = window->findChild<QTreeView *>(QStringLiteral("treeViewSMS"));
        list->setCurrentIndex(window->listModel()->index(0, 0));
        boxes.clear();
        window->runCommand(Command::Del);  // rows selected: the selection
        QCOMPARE(boxes.shown().first().text, QStringLiteral("Confirm to delete the selected Messages?"));
        QCOMPARE(messageCount(folder), qint64(3));
        QTRY_COMPARE(window->currentTreeNode(), database);
        QCOMPARE(window->listModel()->rowCount(), 1);  // its newest conversation

        select(*window, conversationWith(database, "+15550001"));
        QCOMPARE(window->listModel()->rowCount(), 2);
        boxes.clear();
        window->runCommand(Command::DelChat);
        QCOMPARE(boxes.shown().first().text, QStringLiteral("Confirm to delete Messages with this contact?"));
        QCOMPARE(messageCount(folder), qint64(1));
        QCOMPARE(database->children.size(), 1);
        QVERIFY(conversationWith(database, "+15550002"));
        QDirIterator pictures(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments"), QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!pictures.hasNext(), "the deleted message's picture is removed");
    }
};

QTEST_MAIN(TestMainWindowOps)
#include "tst_mainwindow_ops.moc"
