// The window's search: Ctrl+F opens it, results come from every local
// database, and a result opens its conversation at the message.

#include "tst_mainwindow_fixtures.h"

#include "store/MsgMessage.h"
#include "ui/MainMenus.h"
#include "ui/SearchResultsDialog.h"
#include "views/BubblePage.h"

#include <QAction>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

using namespace windowtest;
using MainMenus::Command;

class TestMainWindowSearch : public QObject
{
    Q_OBJECT

private slots:
    void resultOpensItsConversationAtTheMessage()
    {
        Environment env;
        writeDatabase(localDatabaseFolder("archive"), {{"+15550001", "Bob", {"the ferry leaves at six"}}});
        QStringList manyTexts;
        for (int i = 0; i < 120; ++i)
            manyTexts << QStringLiteral("small talk %1").arg(i);
        manyTexts[7] = QStringLiteral("<b>ferry</b> tickets booked");
        writeDatabase(localDatabaseFolder("work"),
                      {{"+15550002", "Ann", {"nothing here"}}, {"+15550003", "Cleo", manyTexts}});
        MainWindow window(quickOptions());
        window.bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));

        QAction *search = window.menuBarAction(Command::Search);
        QVERIFY(search);
        QCOMPARE(search->shortcut(), QKeySequence(QKeySequence::Find));
        search->trigger();
        auto *dialog = window.findChild<SearchResultsDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        auto *words = dialog->findChild<QLineEdit *>(QStringLiteral("searchWords"));
        words->setText(QStringLiteral("FERRY"));
        QTest::keyClick(words, Qt::Key_Return);

        auto *results = dialog->findChild<QTreeWidget *>(QStringLiteral("searchResults"));
        QCOMPARE(results->topLevelItemCount(), 2);
        QTreeWidgetItem *cleoRow = results->topLevelItem(0);
        QCOMPARE(cleoRow->text(1), QStringLiteral("Cleo"));
        QCOMPARE(cleoRow->text(0), QStringLiteral("Database work"));
        QCOMPARE(cleoRow->text(3), QStringLiteral("<b>ferry</b> tickets booked"));  // shown as text

        emit results->itemActivated(cleoRow, 0);
        const Node *current = window.currentTreeNode();
        QVERIFY(current);
        QCOMPARE(current->text, QStringLiteral("Cleo"));
        QCOMPARE(current->parentNode->text, QStringLiteral("work"));
        auto *list = window.findChild<QTreeView *>(QStringLiteral("treeViewSMS"));
        const _MsgMessage *shown = window.listModel()->messageAt(list->currentIndex().row());
        QVERIFY(shown);
        QCOMPARE(shown->rowid, dialog->hits().at(0).messageRowid);
        QCOMPARE(window.bubbleView().anchor(), messageAnchorName(*shown));
    }
};

QTEST_MAIN(TestMainWindowSearch)
#include "tst_mainwindow_search.moc"
