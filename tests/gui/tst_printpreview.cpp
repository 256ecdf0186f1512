// The print preview: many pages are laid out only when the user wants them,
// and the period chosen in its tool bar narrows what is printed.

#include "core/tst_bubble_fixtures.h"
#include "gui/tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "export/MMSPrinter.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "views/DateRangeBox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

namespace {

constexpr qint32 kDay = 24 * 60 * 60;

// Texts of ten lines: a handful of messages fill a page.
ConversationBuilder longConversation(int firstDay, int lastDay)
{
    ConversationBuilder build;
    _MsgChat *chat = build.chat(QStringLiteral("+15550100"), {build.handle(QStringLiteral("+15550100"))});
    const QString text = QStringList(10, QStringLiteral("a line of the message")).join(QLatin1Char('\n'));
    for (int i = 0; i < 40; ++i)
        build.message(chat, firstDay * kDay + i * 120, text, i % 2);
    for (int i = 0; i < 4; ++i)
        build.message(chat, lastDay * kDay + i * 120, text, i % 2);
    return build;
}

int pagesOf(QPrintPreviewDialog &preview)
{
    return preview.findChild<QPrintPreviewWidget *>()->pageCount();
}

// What `print` lays out for its preview, laid out into the PDF file `pdf`
// instead: the text of its pages, which a form feed separates.
QString printedText(const QString &pdf, const std::function<void(MMSPrinter &)> &print)
{
    MMSPrinter printer(nullptr, QStringLiteral(FERRY_BINARY_DIR));
    windowtest::ModalDriver<QPrintPreviewDialog> driver([&](QPrintPreviewDialog &preview) {
        QPrinter file(QPrinter::ScreenResolution);
        file.setOutputFormat(QPrinter::PdfFormat);
        file.setOutputFileName(pdf);
        printer.onPaintRequested(&file);
        preview.reject();
    });
    print(printer);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    return text.waitForFinished(60000) ? QString::fromUtf8(text.readAllStandardOutput()) : QString();
}

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

private slots:
    void manyPagesAskFirst_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("go on") << true;
        QTest::newRow("stop") << false;
    }

    // Past the limit the layout stops to ask; "No" closes the preview with
    // no more pages laid out, "Yes" lays out every page and asks no more.
    void manyPagesAskFirst()
    {
        QFETCH(bool, goOn);
        const ConversationBuilder build = longConversation(0, 1);
        MMSPrinter printer(nullptr, QStringLiteral(FERRY_BINARY_DIR));
        printer.setPagesBeforeAsking(3);
        MessageBoxes::TestRecorder boxes(goOn ? QMessageBox::Yes : QMessageBox::No);
        int shownPages = -1;
        windowtest::ModalDriver<QPrintPreviewDialog> driver([&shownPages](QPrintPreviewDialog &preview) {
            shownPages = pagesOf(preview);
            preview.reject();
        });
        printer.print(build.list());
        QCOMPARE(boxes.count(), 1);
        QVERIFY2(boxes.lastText().contains(QStringLiteral("already has 4 pages")), qPrintable(boxes.lastText()));
        if (goOn)
            QVERIFY2(shownPages > 4, qPrintable(QString::number(shownPages)));
        else
            QVERIFY2(shownPages <= 4, qPrintable(QString::number(shownPages)));
    }

    // A database printed while it is read three messages at a time gives
    // the pages the loaded messages give.
    void databaseReadInChunksPrintsTheLoadedPages()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is needed (poppler-utils)");
        QTemporaryDir stored;
        const QString folder = stored.filePath(QStringLiteral("archive"));
        const QString text = QStringList(10, QStringLiteral("a line of the message")).join(QLatin1Char('\n'));
        windowtest::writeDatabase(folder, {{"+15550001", "Bob", QStringList(8, text) << "how are you", 500000000},
                                           {"+15550002", "Ann", QStringList(6, text) << "bye", 500003600}});
        MsgDataSet set;
        IOS6MessageDb(folder, QString()).messages(set, 0);
        const MsgMessageList loaded = set.messages.values();

        const QString fromList = printedText(stored.filePath(QStringLiteral("loaded.pdf")),
                                             [&loaded](MMSPrinter &printer) { printer.print(loaded); });
        const QString fromChunks =
            printedText(stored.filePath(QStringLiteral("chunked.pdf")), [&](MMSPrinter &printer) {
                printer.print(std::make_unique<MessageChunkReader>(folder, QString(), 3), loaded);
            });
        QVERIFY2(fromList.count(QLatin1Char('\f')) > 1, qPrintable(fromList));
        QCOMPARE(fromChunks, fromList);
    }

    // Ticking "From" on the last day lays the preview out again with only
    // that day's messages.
    void periodNarrowsThePreview()
    {
        const ConversationBuilder build = longConversation(0, 3);
        MMSPrinter printer(nullptr, QStringLiteral(FERRY_BINARY_DIR));
        int allPages = 0;
        int periodPages = 0;
        windowtest::ModalDriver<QPrintPreviewDialog> driver([&](QPrintPreviewDialog &preview) {
            allPages = pagesOf(preview);
            auto *period = preview.findChild<DateRangeBox *>();
            QVERIFY(period);
            const QDate lastDay = appleTimeToDateTime(ConversationBuilder::baseDate() + 3 * kDay).date();
            period->findChildren<QDateEdit *>().constFirst()->setDate(lastDay);
            period->findChildren<QCheckBox *>().constFirst()->setChecked(true);
            QTRY_VERIFY(pagesOf(preview) < allPages);
            periodPages = pagesOf(preview);
            preview.reject();
        });
        printer.print(build.list());
        QCOMPARE(driver.answered(), 1);
        QVERIFY(allPages > 4);
        QCOMPARE(periodPages, 1);
    }
};

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
