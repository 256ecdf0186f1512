// The conversation pane in a real (headless) web view: paging, scrolling to a
// message, page and attachment links, pages too large for an in-memory load,
// and content from strangers that must stay inert text.

#include "app/WebEngineProcess.h"

#include "core/tst_bubble_fixtures.h"

#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "app/MessageBoxes.h"
#include "views/BubblePage.h"
#include "views/BubbleViewMgr.h"
#include "views/BubbleWebPage.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

constexpr int kTimeout = 60000;
const QString kDataFolder = QStringLiteral(FERRY_BINARY_DIR);

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs the event loop until `done()` holds or the time-out passes. Unlike
// QTest::qWaitFor it never sleeps, so the engine's many small steps run at
// full speed.
template <typename Predicate>
bool spinUntil(Predicate done, int timeout = kTimeout)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, &done] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return done();
}

// Runs a script in the program's own script world (page scripts are off) and
// waits for its result.
QVariant evaluate(QWebEnginePage *page, const QString &script)
{
    struct Result
    {
        bool done = false;
        QVariant value;
    };
    auto result = std::make_shared<Result>();
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [result](const QVariant &value) {
        result->value = value;
        result->done = true;
    });
    spinUntil([&result] { return result->done; });
    return result->value;
}

QString plainText(QWebEnginePage *page)
{
    auto text = std::make_shared<std::optional<QString>>();
    page->toPlainText([text](const QString &t) { *text = t; });
    spinUntil([&text] { return text->has_value(); });
    return text->value_or(QString());
}

// The centre of the first element matching `selector`, in view coordinates,
// after scrolling it into sight.
QPoint elementCentre(QWebEnginePage *page, const QString &selector)
{
    const QVariantList box = evaluate(page, QStringLiteral(
                                                "(function(){var e=document.querySelector('%1');"
                                                "if(!e)return [];e.scrollIntoView(false);"
                                                "var r=e.getBoundingClientRect();"
                                                "return [r.left+r.width/2, r.top+r.height/2];})()")
                                                .arg(selector))
                                 .toList();
    if (box.size() != 2)
        return QPoint(-1, -1);
    return QPoint(qRound(box.at(0).toDouble()), qRound(box.at(1).toDouble()));
}

void click(QWebEngineView &view, const QPoint &pos)
{
    QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, pos);
}

// A picture that looks like a photo in the screenshot.
QImage samplePhoto()
{
    QImage photo(480, 320, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 0, 320);
    sky.setColorAt(0, QColor(90, 150, 220));
    sky.setColorAt(1, QColor(200, 225, 245));
    painter.fillRect(photo.rect(), sky);
    painter.setBrush(QColor(250, 210, 80));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(370, 80), 40, 40);
    painter.setBrush(QColor(110, 100, 90));
    painter.drawPolygon(QPolygon({QPoint(0, 320), QPoint(140, 120), QPoint(260, 230), QPoint(330, 170), QPoint(480, 320)}));
    return photo;
}

const QByteArray kVCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Dora Diaz\r\nTITLE:Guide\r\nORG:Rock Co\r\n"
                          "TEL;CELL:+1 555 0100 9\r\nEMAIL:dora@example.org\r\nEND:VCARD\r\n";

// A view with a manager driving it, shown off screen.
struct Pane
{
    QWebEngineView view;
    BubbleViewMgr manager;
    // Pages shown; a link the page refuses to follow ends as a failed load,
    // which is not counted.
    int loads = 0;

    explicit Pane(QSize size = QSize(380, 600))
    {
        manager.setAppFolder(kDataFolder);
        manager.attachView(&view);
        QObject::connect(&view, &QWebEngineView::loadFinished, &view, [this](bool ok) { loads += ok ? 1 : 0; });
        view.resize(size);
        view.show();
    }

    QWebEnginePage *page() const { return view.page(); }

    // Waits until `count` pages have been shown since the pane was made.
    bool waitForLoad(int count)
    {
        return spinUntil([this, count] { return loads >= count; }) && loads == count;
    }

    qreal scrollY() const { return view.page()->scrollPosition().y(); }
};

} // namespace

class TestBubbleView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QByteArray savedHome;
    KeyTranslator translator;

    QString path(const QString &name) const { return dir.filePath(name); }

    // The screenshot conversation: a group chat with text, emoji, a picture, a
    // contact card and replies, spread over two days.
    void buildGroupChat(ConversationBuilder &b)
    {
        _MsgHandle *ann = b.handle("+15550001", "Ann Lee");
        _MsgHandle *bob = b.handle("+15550002", "Bob Stone");
        _MsgChat *club = b.chat("club", {ann, bob});
        club->display_name = QStringLiteral("Climbing club");
        b.message(club, 0, QString::fromUtf8("Anyone up for the crag on Saturday? \xF0\x9F\x98\x84"), false, ann);
        b.message(club, 40, QString::fromUtf8("Count me in \xF0\x9F\x91\x8D"), false, bob);
        b.message(club, 95, QString::fromUtf8("Yes! Leaving at 8, I can take two people \xF0\x9F\x8E\x89"), true);
        _MsgMessage *picture = b.message(club, 86400, QStringLiteral("The wall from the car park"), false, ann);
        b.attachment(picture, "image/jpeg", path("crag.jpg"));
        _MsgMessage *card = b.message(club, 86430, QString(), false, bob);
        b.attachment(card, "text/x-vCard", path("dora.vcf"));
        b.message(club, 86500, QStringLiteral("Dora has a spare rope, call her"), false, bob);
        b.message(club, 86560, QStringLiteral("Thanks, I'll ring her tonight"), true);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&translator);
        QVERIFY(QFile::exists(kDataFolder + QStringLiteral("/bubble/style.css")));
        QVERIFY(samplePhoto().save(path("crag.jpg"), "JPEG"));
        QVERIFY(writeFile(path("dora.vcf"), kVCard));
        QVERIFY(writeFile(path("report.txt"), "quarterly figures"));
        QVERIFY(writeFile(path("photo.JPG"), ConversationBuilder::imageBytes(20, 20, "JPEG")));
        QVERIFY(writeFile(path("README"), "no suffix"));
        QVERIFY(writeFile(path("x.exe."), "MZ"));
        QVERIFY(writeFile(path("odd.pe"), "a piece of a listed suffix"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("home")));
        savedHome = qgetenv("HOME");
        qputenv("HOME", path("home").toUtf8());
    }

    void cleanupTestCase()
    {
        qputenv("HOME", savedHome);
    }

    // --- paging ---

    void pagesThroughAConversation()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 120);
        Pane pane;
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));
        QCOMPARE(pane.manager.currentPage(), 1);
        QCOMPARE(pane.manager.pageCount(), 3);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("start"));
        QVERIFY(plainText(pane.page()).contains(QStringLiteral("message 50")));
        QVERIFY(!plainText(pane.page()).contains(QStringLiteral("message 51")));

        const QString firstPage = pane.manager.pageHtml();
        pane.manager.previousPage();
        QCOMPARE(pane.manager.currentPage(), 1);
        QCOMPARE(pane.manager.pageHtml(), firstPage);

        pane.manager.nextPage();
        QCOMPARE(pane.manager.currentPage(), 2);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("start"));
        QVERIFY(pane.waitForLoad(2));
        QVERIFY(plainText(pane.page()).contains(QStringLiteral("message 51")));

        pane.manager.lastPage();
        QCOMPARE(pane.manager.currentPage(), 3);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("end"));
        QVERIFY(pane.waitForLoad(3));
        // Going back to the end of a page shows its last messages.
        QTRY_VERIFY_WITH_TIMEOUT(pane.scrollY() > 0, kTimeout);

        const QString lastPage = pane.manager.pageHtml();
        pane.manager.nextPage();
        QCOMPARE(pane.manager.currentPage(), 3);
        QCOMPARE(pane.manager.pageHtml(), lastPage);

        pane.manager.previousPage();
        QCOMPARE(pane.manager.currentPage(), 2);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("end"));
        pane.manager.firstPage();
        QCOMPARE(pane.manager.currentPage(), 1);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("start"));
    }

    void scrollToPosShowsTheMessage()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 200);
        Pane pane;
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));

        pane.manager.scrollToPos(120);
        QCOMPARE(pane.manager.currentPage(), 3);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("sms_121"));
        QVERIFY(pane.waitForLoad(2));
        QVERIFY(pane.manager.pageHtml().contains(QStringLiteral("<a name=\"sms_121\"></a>")));

        // Another message of the same page only scrolls.
        const qreal before = pane.scrollY();
        QSignalSpy started(pane.page(), &QWebEnginePage::loadStarted);
        pane.manager.scrollToPos(140);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("sms_141"));
        QTRY_VERIFY_WITH_TIMEOUT(pane.scrollY() > before + 100, kTimeout);
        QCOMPARE(started.size(), 0);
        QCOMPARE(pane.loads, 2);

        pane.manager.scrollToPos(-1);
        pane.manager.scrollToPos(200);
        QCOMPARE(pane.manager.currentPage(), 3);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("sms_141"));
    }

    void emptyListShowsNothing()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 3);
        Pane pane;
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));
        pane.manager.showBubble({});
        QCOMPARE(pane.manager.currentPage(), 0);
        QCOMPARE(pane.manager.pageCount(), 0);
        QVERIFY(pane.manager.pageHtml().isEmpty());
        QVERIFY(pane.waitForLoad(2));
        QCOMPARE(plainText(pane.page()).trimmed(), QString());
        pane.manager.nextPage();
        pane.manager.renderPage(1);
        QCOMPARE(pane.manager.currentPage(), 0);
    }

    // --- links ---

    void pageLinksAreFollowedByTheProgram()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 51);
        Pane pane;
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));

        const QPoint next = elementCentre(pane.page(), QStringLiteral("a[href=\"/next_page\"]"));
        QVERIFY(next.x() >= 0);
        click(pane.view, next);
        QTRY_COMPARE_WITH_TIMEOUT(pane.manager.currentPage(), 2, kTimeout);
        QVERIFY(pane.waitForLoad(2));

        const QPoint previous = elementCentre(pane.page(), QStringLiteral("a[href=\"/pre_page\"]"));
        QVERIFY(previous.x() >= 0);
        click(pane.view, previous);
        QTRY_COMPARE_WITH_TIMEOUT(pane.manager.currentPage(), 1, kTimeout);
        QCOMPARE(pane.manager.anchor(), QStringLiteral("end"));
    }

    void clickingAPictureOpensIt()
    {
        ConversationBuilder b;
        _MsgChat *c = b.chat("+1", {b.handle("+1")});
        b.chatter(c, 30);
        _MsgMessage *m = b.message(c, 3600, QString(), false);
        b.attachment(m, "image/jpeg", path("crag.jpg"));
        Pane pane;
        QStringList opened;
        pane.manager.setFileOpener([&opened](const QString &file) { opened << file; });
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(pane.page(), QStringLiteral("document.images[0].naturalWidth")).toInt() > 0,
                                 kTimeout);
        elementCentre(pane.page(), QStringLiteral("a img"));
        QTRY_VERIFY_WITH_TIMEOUT(pane.scrollY() > 1000, kTimeout);
        QTest::qWait(500);  // let the reported position settle
        const qreal scrolled = pane.scrollY();
        click(pane.view, elementCentre(pane.page(), QStringLiteral("a img")));
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList{path("crag.jpg")}, kTimeout);
        // The page stays where the user was.
        QTest::qWait(500);
        QCOMPARE(pane.scrollY(), scrolled);
        QCOMPARE(pane.loads, 1);
    }

    void fileLinks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("opened");
        QTest::newRow("picture, upper-case suffix") << "photo.JPG" << true;
        QTest::newRow("no suffix") << "README" << true;
        QTest::newRow("piece of a listed suffix") << "odd.pe" << true;
        QTest::newRow("text file is saved") << "report.txt" << false;
        QTest::newRow("trailing dot is saved") << "x.exe." << false;
    }

    void fileLinks()
    {
        QFETCH(QString, file);
        QFETCH(bool, opened);
        BubbleViewMgr manager;
        QStringList openedFiles;
        QStringList asked;
        manager.setFileOpener([&openedFiles](const QString &f) { openedFiles << f; });
        manager.setSavePathChooser([&asked](const QString &caption, const QString &proposed) {
            asked << caption << proposed;
            return QString();
        });
        MessageBoxes::TestRecorder boxes;
        manager.onLinkClicked(QUrl::fromLocalFile(path(file)));
        if (opened) {
            QCOMPARE(openedFiles, QStringList{path(file)});
            QVERIFY(asked.isEmpty());
        } else {
            QVERIFY(openedFiles.isEmpty());
            QCOMPARE(asked, (QStringList{QStringLiteral("Save Attachment"), QDir::home().filePath(file)}));
        }
        QCOMPARE(boxes.count(), 0);
    }

    void missingFileIsReported()
    {
        BubbleViewMgr manager;
        bool touched = false;
        manager.setFileOpener([&touched](const QString &) { touched = true; });
        manager.setSavePathChooser([&touched](const QString &, const QString &) {
            touched = true;
            return QString();
        });
        MessageBoxes::TestRecorder boxes;
        const QString gone = path("gone <b>.jpg");
        manager.onLinkClicked(QUrl::fromLocalFile(gone));
        QVERIFY(!touched);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Warning);
        QCOMPARE(boxes.lastText(), QStringLiteral("can not find %1.").arg(gone.toHtmlEscaped()));
    }

    void savingACopy_data()
    {
        QTest::addColumn<QString>("target");  // relative to the temporary folder
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<QMessageBox::Icon>("box");
        QTest::newRow("new file") << "copies/report-copy.txt" << false << QMessageBox::Information;
        QTest::newRow("replaces a file") << "copies/old.txt" << true << QMessageBox::Information;
        QTest::newRow("folder missing") << "nowhere/report.txt" << false << QMessageBox::Critical;
        QTest::newRow("cancelled") << "" << false << QMessageBox::NoIcon;
    }

    void savingACopy()
    {
        QFETCH(QString, target);
        QFETCH(bool, targetExists);
        QFETCH(QMessageBox::Icon, box);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("copies")));
        const QString targetPath = target.isEmpty() ? QString() : path(target);
        if (targetExists)
            QVERIFY(writeFile(targetPath, "older and longer content"));
        BubbleViewMgr manager;
        manager.setSavePathChooser([targetPath](const QString &, const QString &) { return targetPath; });
        MessageBoxes::TestRecorder boxes;
        manager.onLinkClicked(QUrl::fromLocalFile(path("report.txt")));

        QCOMPARE(boxes.lastIcon(), box);
        QCOMPARE(boxes.count(), box == QMessageBox::NoIcon ? 0 : 1);
        if (box == QMessageBox::Information) {
            QCOMPARE(boxes.lastText(), QStringLiteral("Attachment saved successfully."));
            QFile copy(targetPath);
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), QByteArray("quarterly figures"));
        } else if (box == QMessageBox::Critical) {
            QVERIFY(boxes.lastText().contains(QStringLiteral("Failed to save attachment.")));
            // and why, in the system's words
            const QString text = boxes.lastText();
            QVERIFY2(text.contains(QStringLiteral("No such file or directory")), qPrintable(text));
            QVERIFY2(text.contains(targetPath), qPrintable(text));
        }
    }

    void savingOntoTheAttachmentKeepsIt()
    {
        BubbleViewMgr manager;
        const QString original = path("report.txt");
        manager.setSavePathChooser([original](const QString &, const QString &) { return original; });
        MessageBoxes::TestRecorder boxes;
        manager.onLinkClicked(QUrl::fromLocalFile(original));
        QFile file(original);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("quarterly figures"));
        QCOMPARE(boxes.lastIcon(), QMessageBox::Information);
    }

    void otherLinksAreIgnored()
    {
        BubbleViewMgr manager;
        bool touched = false;
        manager.setFileOpener([&touched](const QString &) { touched = true; });
        MessageBoxes::TestRecorder boxes;
        manager.onLinkClicked(QUrl(QStringLiteral("http://127.0.0.1:9/photo.jpg")));
        manager.onLinkClicked(QUrl(QStringLiteral("mailto:ann@example.org")));
        QVERIFY(!touched);
        QCOMPARE(boxes.count(), 0);
    }

    // --- content from strangers ---

    void markupInAMessageStaysText()
    {
        const QString hostile = QStringLiteral(
            "<script>document.title='pwned'</script><b>bold</b>"
            "<img src=x onerror=\"document.title='img'\"><a href=\"http://127.0.0.1:9/\">link</a>");
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", QStringLiteral("<i>Ann</i>"));
        b.message(b.chat("g", {ann, b.handle("+2")}), 0, hostile, false, ann);
        Pane pane;
        QVERIFY(!pane.page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        QVERIFY(!pane.page()->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls));
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));
        QTRY_VERIFY_WITH_TIMEOUT(plainText(pane.page()).contains(hostile), kTimeout);
        QVERIFY(plainText(pane.page()).contains(QStringLiteral("<i>Ann</i>")));
        QCOMPARE(pane.page()->title(), QStringLiteral("Bubble"));
        const QString counts = evaluate(pane.page(), QStringLiteral(
                                                         "[document.getElementsByTagName('script').length,"
                                                         "document.getElementsByTagName('b').length,"
                                                         "document.getElementsByTagName('i').length,"
                                                         "document.querySelectorAll('a[href^=\"http\"]').length,"
                                                         "document.images.length].join(',')"))
                                   .toString();
        QCOMPARE(counts, QStringLiteral("0,0,0,0,0"));
    }

    void noRemoteRequests()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
        const QString html = QStringLiteral(
                                 "<html><head><link rel=\"stylesheet\" href=\"%1s.css\"/></head>"
                                 "<body><img src=\"%1x.png\"/></body></html>")
                                 .arg(remote);
        const QUrl base = QUrl::fromLocalFile(kDataFolder + QLatin1Char('/'));

        // Control: an ordinary page does reach the server.
        {
            QWebEngineView view;
            QWebEnginePage ordinary;
            view.setPage(&ordinary);
            ordinary.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
            view.show();
            ordinary.setHtml(html, base);
            // The engine needs the event loop: wait without blocking it.
            QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kTimeout);
        }
        QTcpServer quiet;
        QVERIFY(quiet.listen(QHostAddress::LocalHost));
        const QString quietHtml = QString(html).replace(remote, QStringLiteral("http://127.0.0.1:%1/").arg(quiet.serverPort()));

        QWebEngineView view;
        BubbleWebPage page;
        view.setPage(&page);
        view.show();
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.setHtml(quietHtml, base);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), kTimeout);
        QTest::qWait(2000);
        QVERIFY(!quiet.hasPendingConnections());
    }

    void aPageBeyondTwoMegabytesStillShows()
    {
        ConversationBuilder b;
        _MsgChat *c = b.chat("+1", {b.handle("+1")});
        b.message(c, 0, QStringLiteral("short"), true);
        // Escaped, every "<" takes four characters, and more when URL-encoded.
        b.message(c, 10, QString(600000, QLatin1Char('<')) + QStringLiteral("END"), false);
        Pane pane;
        pane.manager.showBubble(b.list());
        QVERIFY(pane.manager.lastPageFromFile());
        QVERIFY(pane.waitForLoad(1));
        QCOMPARE(pane.page()->title(), QStringLiteral("Bubble"));
        QTRY_VERIFY_WITH_TIMEOUT(plainText(pane.page()).contains(QStringLiteral("<<<END")), kTimeout);
        // Relative addresses still reach the data folder: the style sheet applies.
        QCOMPARE(evaluate(pane.page(), QStringLiteral("getComputedStyle(document.querySelector('.bb2')).cssFloat"))
                     .toString(),
                 QStringLiteral("right"));

        pane.manager.showBubble(MsgMessageList{b.list().first()});
        QVERIFY(!pane.manager.lastPageFromFile());
        QVERIFY(pane.waitForLoad(2));
        QCOMPARE(evaluate(pane.page(), QStringLiteral("getComputedStyle(document.querySelector('.bb2')).cssFloat"))
                     .toString(),
                 QStringLiteral("right"));
    }

    // --- look ---

    void readsLikeAChat()
    {
        ConversationBuilder b;
        buildGroupChat(b);
        Pane pane(QSize(400, 820));
        pane.manager.showBubble(b.list());
        QVERIFY(pane.waitForLoad(1));
        QWebEnginePage *page = pane.page();
        // Every picture arrived: emoji, photo thumbnail, contact card.
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(page, QStringLiteral("Array.prototype.every.call(document.images, function(i){return i.complete && i.naturalWidth>0;})"))
                .toBool(),
            true, kTimeout);
        QCOMPARE(evaluate(page, QStringLiteral("document.images.length")).toInt(), 5);
        QCOMPARE(evaluate(page, QStringLiteral("document.querySelector('img[src$=\".jpg\"]:not([src^=\"bubble\"])').naturalWidth")).toInt(), 200);

        // Received bubbles hug the left edge, sent ones the right; the names sit
        // above received bubbles and dates are centred between them.
        const int width = evaluate(page, QStringLiteral("document.body.clientWidth")).toInt();
        QVERIFY(width > 300);
        const QVariantList left = evaluate(page, QStringLiteral("Array.prototype.map.call(document.querySelectorAll('.bb1'), function(e){return e.getBoundingClientRect().left;})")).toList();
        const QVariantList right = evaluate(page, QStringLiteral("Array.prototype.map.call(document.querySelectorAll('.bb2'), function(e){return e.getBoundingClientRect().right;})")).toList();
        QCOMPARE(left.size(), 6);
        QCOMPARE(right.size(), 2);
        for (const QVariant &x : left)
            QVERIFY2(x.toDouble() < width * 0.1, qPrintable(QString::number(x.toDouble())));
        for (const QVariant &x : right)
            QVERIFY2(x.toDouble() > width * 0.9, qPrintable(QString::number(x.toDouble())));
        QCOMPARE(evaluate(page, QStringLiteral("document.querySelectorAll('.dt').length")).toInt(), 4);
        QCOMPARE(evaluate(page, QStringLiteral("getComputedStyle(document.querySelector('.dt')).textAlign")).toString(),
                 QStringLiteral("center"));
        QCOMPARE(evaluate(page, QStringLiteral("document.querySelectorAll('.ct_left').length")).toInt(), 6);
        // Bubbles do not overlap: each starts below the one before.
        QVERIFY(evaluate(page, QStringLiteral(
                                   "(function(){var b=document.querySelectorAll('.bb1,.bb2'),y=-1;"
                                   "for(var i=0;i<b.length;++i){var r=b[i].getBoundingClientRect();"
                                   "if(r.top<y-0.5)return false;y=r.bottom;}return true;})()"))
                    .toBool());

        // Rendered: the page background shows (a blank grab is white).
        QTRY_COMPARE_WITH_TIMEOUT(pane.view.grab().toImage().pixelColor(2, 2), QColor(219, 226, 237), kTimeout);
        const QString shots = qEnvironmentVariable("FERRY_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QVERIFY(QDir().mkpath(shots));
            QTest::qWait(500);
            QVERIFY(pane.view.grab().save(QDir(shots).filePath(QStringLiteral("conversation.png"))));
        }
    }
};

int main(int argc, char *argv[])
{
    prepareWebEngineProcess(true);
    QApplication app(argc, argv);
    TestBubbleView test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bubbleview.moc"
