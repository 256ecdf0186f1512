// The printed page layout: bubble sizes, where bubbles sit, page breaks and
// date lines that carry across them.

#include "core/tst_bubble_fixtures.h"

#include "export/MessagePagePainter.h"

#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString dataFolder()
{
    return QStringLiteral(FERRY_BINARY_DIR);
}

// An A4 PDF at screen resolution with margins of 20 points, like the export.
std::unique_ptr<QPdfWriter> a4Writer(const QString &path)
{
    auto writer = std::make_unique<QPdfWriter>(path);
    writer->setResolution(96);
    writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                      QPageLayout::Point));
    return writer;
}

} // namespace

class TestPagePainter : public QObject
{
    Q_OBJECT

private slots:
    void bubbleSizes_data()
    {
        QTest::addColumn<bool>("sent");
        QTest::newRow("received") << false;
        QTest::newRow("sent") << true;
    }

    // A short text gives the smallest bubble; a picture gets 50 x 30 around it
    // and keeps its own proportions.
    void bubbleSizes()
    {
        QFETCH(bool, sent);
        const MessagePagePainter pages(dataFolder());
        QCOMPARE(pages.makeTextBubble(QStringLiteral("ok"), 500, sent).size(), QSize(90, 52));
        QImage picture(100, 80, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QImage bubble = pages.makeImageBubble(picture, sent);
        QCOMPARE(bubble.size(), QSize(150, 110));
        const int left = sent ? 20 : 30;
        QCOMPARE(bubble.pixelColor(left + 50, 55), QColor(Qt::red));
        QVERIFY(bubble.pixelColor(left + 50, 55 - 41) != QColor(Qt::red));
        QVERIFY(bubble.pixelColor(left + 50, 55 + 41) != QColor(Qt::red));
        QVERIFY(pages.makeImageBubble(QImage(), sent).isNull());
        // A long word wraps instead of widening the bubble past its maximum.
        QVERIFY(pages.makeTextBubble(QString(400, QLatin1Char('x')), 300, sent).width() <= 300);
    }

    // Pages break when a bubble does not fit; a date line is drawn only when a
    // minute has passed since the last one, even across a page break.
    void pagesBreakAndDatesCarryOver()
    {
        ConversationBuilder build;
        _MsgChat *chat = build.chat(QStringLiteral("1"), {build.handle("1")});
        for (int i = 0; i < 40; ++i)
            build.message(chat, i * 5, QStringLiteral("m%1").arg(i), i % 2);
        QTemporaryDir dir;
        auto writer = a4Writer(dir.filePath("p.pdf"));
        MessagePagePainter pages(dataFolder());
        QVERIFY(pages.beginPages(*writer));
        const QRect content = pages.contentRect();
        QCOMPARE(content.topLeft(), QPoint(20, 20));

        int cursor = pages.cursorY();
        int page = 1;
        bool brokeOnce = false;
        for (const _MsgMessage *message : build.list()) {
            pages.drawMessage(*message);
            if (pages.pageNumber() != page) {
                // Only the bubble (52 + 10), no date line, at the top of the new page.
                QCOMPARE(pages.cursorY(), content.top() + 62);
                QVERIFY(cursor + 52 > content.bottom() + 1);
                page = pages.pageNumber();
                brokeOnce = true;
            } else {
                QVERIFY(pages.cursorY() <= content.bottom() + 1 + 10);
            }
            cursor = pages.cursorY();
        }
        pages.endPages();
        QVERIFY(brokeOnce);
    }
};

QTEST_MAIN(TestPagePainter)
#include "tst_pagepainter.moc"
