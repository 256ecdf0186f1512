// Export and print from the main window's menu bar: the formats through the
// save dialog's filters, the evidence package, and the print preview.

#include "tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "ui/MainMenus.h"
#include "views/AbsDBItemNode.h"
#include "views/DateRangeBox.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QtTest>

using namespace windowtest;
using MainMenus::Command;

Q_DECLARE_METATYPE(MainMenus::Command)

class TestMainWindowExport : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    std::unique_ptr<Environment> m_env;

    // The "archive" database of Bob and Ann, selected.
    std::unique_ptr<MainWindow> windowShowingArchive()
    {
        writeDatabase(localDatabaseFolder("archive"),
                      {{"+15550001", "Bob", {"hi, there", "yes \"sure\"", "bye"}}, {"+15550002", "Ann", {"x"}}});
        auto window = std::make_unique<MainWindow>(quickOptions());
        window->bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        select(*window, childNamed(window->treeModel()->localDbRoot(), "archive"));
        return window;
    }

    std::unique_ptr<MainWindow> windowShowingBob()
    {
        auto window = windowShowingArchive();
        select(*window, childNamed(childNamed(window->treeModel()->localDbRoot(), "archive"), "Bob"));
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }

    void init() { m_env = std::make_unique<Environment>(); }
    void cleanup() { m_env.reset(); }

    // Each filter of the save dialog gives its format; the conversation shown
    // is what goes out.
    void exportsEveryFormatFromTheMenuBar()
    {
        auto window = windowShowingBob();
        QAction *action = window->menuBarAction(Command::Export);
        QVERIFY(action);
        QStringList offeredFilters;
        QString proposed;
        int filter = 0;
        window->setExportPathChooser([&](const QString &path, const QStringList &filters) {
            proposed = path;
            offeredFilters = filters;
            return MainWindow::ExportChoice{m_env->path(QStringLiteral("out/bob")), filter};
        });
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("out"))));
        MessageBoxes::TestRecorder boxes;
        for (filter = 0; filter < 6; ++filter)
            action->trigger();

        QCOMPARE(offeredFilters, (QStringList{"Text Files(*.txt)", "Doc Files(*.doc)", "CSV Files(*.csv)",
                                              "PDF Files(*.pdf)", "HTML Files(*.html)", "NDJSON Files(*.ndjson)"}));
        QVERIFY2(QFileInfo(proposed).fileName().startsWith("messages("), qPrintable(proposed));
        QCOMPARE(boxes.count(), 6);
        for (const MessageBoxes::TestRecorder::Shown &box : boxes.shown())
            QCOMPARE(box.text, QStringLiteral("Successfully exported 3 Messages."));
        const QDir out(m_env->path(QStringLiteral("out")));
        QCOMPARE(out.entryList(QDir::Files, QDir::Name), (QStringList{"bob.csv", "bob.doc", "bob.ndjson", "bob.txt"}));
        QCOMPARE(localdbtest::readFile(out.filePath("bob.csv")).count('\n'), 4);
        QCOMPARE(QDir(out.filePath("bob-pdf")).entryList({"*.pdf"}), QStringList{"Bob.pdf"});
        QCOMPARE(QDir(out.filePath("bob-html")).entryList({"*.html"}), QStringList{"Bob.html"});
    }

    // "All" of a database: written while the worker reads the file, every
    // message in it (a conversation at a time for HTML and the evidence
    // package), and the window still holds only what it shows. A period
    // without messages writes nothing.
    void allOfADatabaseIsReadWhileItIsWritten_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("emptyPeriod");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("written");
        const QString exported = QStringLiteral("Successfully exported 4 Messages.");
        const QString noMessage = QStringLiteral("No message falls in the chosen period.");
        QTest::newRow("CSV") << Command::ExportAll << 2 << false << exported << QStringList{"all.csv"};
        QTest::newRow("HTML") << Command::ExportAll << 4 << false << exported
                              << QStringList{"all-html/Ann.html", "all-html/Bob.html"};
        QTest::newRow("HTML, empty period") << Command::ExportAll << 4 << true << noMessage << QStringList();
        QTest::newRow("evidence") << Command::ExportEvidence << 0 << false << exported
                                  << QStringList{"all/manifest.json"};
        QTest::newRow("evidence, empty period") << Command::ExportEvidence << 0 << true << noMessage << QStringList();
    }

    void allOfADatabaseIsReadWhileItIsWritten()
    {
        QFETCH(Command, command);
        QFETCH(int, filter);
        QFETCH(bool, emptyPeriod);
        QFETCH(QString, result);
        QFETCH(QStringList, written);
        writeDatabase(localDatabaseFolder("archive"),
                      {{"+15550001", "Bob", {"hi, there", "yes \"sure\"", "bye"}}, {"+15550002", "Ann", {"x"}}});
        auto window = std::make_unique<MainWindow>(quickOptions());
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        select(*window, database);
        const QString out = m_env->path(QStringLiteral("out"));
        const MessageDateRange period =
            emptyPeriod ? MessageDateRange::ofDays(QDate(1999, 1, 1), QDate(1999, 1, 2)) : MessageDateRange();
        window->setExportPathChooser([&out, filter, period](const QString &, const QStringList &) {
            return MainWindow::ExportChoice{QDir(out).filePath(QStringLiteral("all")), filter, period};
        });
        QVERIFY(QDir().mkpath(out));
        MessageBoxes::TestRecorder boxes;
        window->runCommand(command);
        QCOMPARE(boxes.lastText(), result);
        const QStringList pages =
            localdbtest::filesBelow(out).filter(QRegularExpression(QStringLiteral("\\.(csv|html|json)$")));
        QCOMPARE(pages, written);
        if (filter == 2)
            QCOMPARE(localdbtest::readFile(QDir(out).filePath(QStringLiteral("all.csv"))).count('\n'), 5);
        if (command == Command::ExportEvidence && !emptyPeriod) {
            const QJsonObject manifest =
                QJsonDocument::fromJson(localdbtest::readFile(QDir(out).filePath("all/manifest.json"))).object();
            QCOMPARE(manifest.value("source").toString(), QStringLiteral("local database archive"));
            QCOMPARE(manifest.value("messages").toArray().size(), 4);
        }
        QCOMPARE(static_cast<_AbsDBItemNode *>(database)->dataSet->messages.size(),
                 window->listModel()->rowCount());
    }

    // The save dialog carries the period: both ends ticked on the messages'
    // own days keep every message of the conversation.
    void saveDialogCarriesThePeriod()
    {
        auto window = windowShowingBob();
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("out"))));
        ModalDriver<QFileDialog> driver([this](QFileDialog &dialog) {
            auto *period = dialog.findChild<DateRangeBox *>();
            QVERIFY(period);
            for (QCheckBox *end : period->findChildren<QCheckBox *>())
                end->setChecked(true);
            dialog.selectNameFilter(dialog.nameFilters().at(2));
            // Typed as a user would: selectFile() leaves the name box alone
            // while it has the keyboard focus.
            auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(m_env->path(QStringLiteral("out/period.csv")));
            static_cast<QDialog &>(dialog).accept();
        });
        MessageBoxes::TestRecorder boxes;
        window->menuBarAction(Command::Export)->trigger();
        QCOMPARE(driver.answered(), 1);
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully exported 3 Messages."));
        QCOMPARE(localdbtest::readFile(m_env->path(QStringLiteral("out/period.csv"))).count('\n'), 4);
    }

    // A suffix added after the save dialog may name a file the dialog never
    // asked about: the window asks, and "No" opens the dialog again.
    void existingFileIsReplacedOnlyWhenConfirmed()
    {
        auto window = windowShowingBob();
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("out"))));
        const QString notes = m_env->path(QStringLiteral("out/notes.txt"));
        QFile existing(notes);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("my notes") == 8);
        existing.close();
        int asked = 0;
        window->setExportPathChooser([&](const QString &, const QStringList &) {
            ++asked;  // "notes" with the text filter, then Cancel
            return MainWindow::ExportChoice{asked == 1 ? m_env->path(QStringLiteral("out/notes")) : QString(), 0};
        });
        MessageBoxes::TestRecorder boxes(QMessageBox::No);
        window->runCommand(Command::Export);
        QCOMPARE(asked, 2);
        QCOMPARE(boxes.count(), 1);
        QVERIFY2(boxes.lastText().contains(QStringLiteral("notes.txt already exists")), qPrintable(boxes.lastText()));
        QCOMPARE(localdbtest::readFile(notes), QByteArray("my notes"));

        asked = 0;
        boxes.setAnswer(QMessageBox::Yes);
        window->runCommand(Command::Export);
        QCOMPARE(asked, 1);
        QVERIFY(localdbtest::readFile(notes).startsWith("Date"));
    }

    // File > Export for Evidence: a folder that holds something is replaced
    // only when confirmed ("No" opens the dialog again); the package names
    // the database it came from.
    void evidenceFolderIsReplacedOnlyWhenConfirmed()
    {
        auto window = windowShowingBob();
        QAction *action = window->menuBarAction(Command::ExportEvidence);
        QVERIFY(action);
        const QString folder = m_env->path(QStringLiteral("out/bundle"));
        QVERIFY(QDir().mkpath(folder));
        QFile existing(folder + QStringLiteral("/old.txt"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("kept") == 4);
        existing.close();
        int asked = 0;
        window->setExportPathChooser([&](const QString &, const QStringList &) {
            ++asked;  // the folder, then Cancel
            return MainWindow::ExportChoice{asked == 1 ? folder : QString(), 0};
        });
        MessageBoxes::TestRecorder boxes(QMessageBox::No);
        action->trigger();
        QCOMPARE(asked, 2);
        QVERIFY2(boxes.lastText().contains(QStringLiteral("bundle already exists")), qPrintable(boxes.lastText()));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"old.txt"});

        asked = 0;
        boxes.setAnswer(QMessageBox::Yes);
        action->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(boxes.lastText(), QStringLiteral("Successfully exported 3 Messages."));
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"manifest.json", "manifest.sha256", "messages.pdf"}));
        const QJsonObject manifest = QJsonDocument::fromJson(localdbtest::readFile(folder + "/manifest.json")).object();
        QCOMPARE(manifest.value("source").toString(), QStringLiteral("local database archive"));
        QCOMPARE(manifest.value("messages").toArray().size(), 3);
    }

    // The print of "All" of a database lays its pages out while it reads the
    // file: the window still holds only the conversation it shows.
    void printOfAllReadsAsItLaysOut()
    {
        auto window = windowShowingArchive();
        Node *database = childNamed(window->treeModel()->localDbRoot(), "archive");
        int pages = 0;
        ModalDriver<QPrintPreviewDialog> driver([&pages](QPrintPreviewDialog &preview) {
            pages = preview.findChild<QPrintPreviewWidget *>()->pageCount();
            preview.reject();
        });
        window->runCommand(Command::PrintAll);
        QCOMPARE(driver.answered(), 1);
        QCOMPARE(pages, 1);
        QCOMPARE(static_cast<_AbsDBItemNode *>(database)->dataSet->messages.size(),
                 window->listModel()->rowCount());
    }

    // Print shows the preview titled "Print Messages"; closing it ends the command.
    void printShowsThePreview()
    {
        auto window = windowShowingBob();
        QString title;
        ModalDriver<QPrintPreviewDialog> driver([&title](QPrintPreviewDialog &preview) {
            title = preview.windowTitle();
            preview.reject();
        });
        window->menuBarAction(Command::Print)->trigger();
        QCOMPARE(driver.answered(), 1);
        QCOMPARE(title, QStringLiteral("Print Messages"));
    }
};

QTEST_MAIN(TestMainWindowExport)
#include "tst_mainwindow_export.moc"
