// The conversation pages as markup: well-formed XHTML, 50 messages a page,
// date lines, sender names, subjects, emoji, pictures, cards, text parts, and
// message texts that stay text whatever they contain.

#include "core/tst_bubble_fixtures.h"

#include "app/AppFolders.h"
#include "store/AttachmentBody.h"
#include "store/MessageText.h"
#include "views/BubbleHtml.h"
#include "views/BubblePage.h"
#include "views/ContactCard.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// Empty when the markup parses as XML; else the parser's complaint.
QString xmlError(const QString &markup)
{
    QXmlStreamReader reader(markup);
    while (!reader.atEnd())
        reader.readNext();
    if (!reader.hasError())
        return QString();
    return QStringLiteral("%1 at line %2 column %3").arg(reader.errorString()).arg(reader.lineNumber()).arg(reader.columnNumber());
}

int occurrences(const QString &text, const QString &piece)
{
    return int(text.count(piece));
}

// Element `tag` with attribute class="cls": how many.
int classCount(const QString &markup, const QString &cls)
{
    return occurrences(markup, QStringLiteral("class=\"%1\"").arg(cls));
}

// The anchors of messages on a page, in order.
QStringList messageAnchors(const QString &markup)
{
    static const QRegularExpression anchor(QStringLiteral("<a name=\"(sms_\\d+)\"></a>"));
    QStringList names;
    for (auto it = anchor.globalMatch(markup); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QString kCells = QStringLiteral(
    "<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div><div class=\"bb_bg top_right\"></div>"
    "<div class=\"bb_bg middle_left\"></div><div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
    "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div><div class=\"bb_bg bottom_right\"></div>");

const QByteArray kVCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Dora Diaz\r\nTEL:+15550009\r\nEND:VCARD\r\n";

} // namespace

class TestBubblePage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(path("photo.png"), ConversationBuilder::imageBytes(300, 200, "PNG")));
        QVERIFY(writeFile(path("dora.vcf"), kVCard));
        static const char note[] = "first line\r\nsecond <line>\0after the NUL";
        QVERIFY(writeFile(path("note.txt"), QByteArray(note, sizeof(note) - 1)));
    }

    // --- shared text functions ---

    void textToBubbleHtml_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("plain") << "hello" << "hello";
        QTest::newRow("markup escaped") << "a<b>&c" << "a&lt;b&gt;&amp;c";
        QTest::newRow("quotes escaped") << "say \"hi\"" << "say &quot;hi&quot;";
        QTest::newRow("line breaks") << "one\r\ntwo\nthree" << "one<br/>two<br/>three";
        QTest::newRow("emoji astral") << QString::fromUtf8("ok \xF0\x9F\x98\x84") << QString::fromUtf8("ok <img src=\"emoji/1F604.png\" alt=\"\xF0\x9F\x98\x84\" />");
        QTest::newRow("emoji private use") << QString(QChar(0xE415))
                                             << QStringLiteral("<img src=\"emoji/E415.png\" alt=\"\uE415\" />");
        QTest::newRow("escaped entity stays text") << "&lt;" << "&amp;lt;";
        QTest::newRow("control characters dropped") << QStringLiteral("a\x01\x1F" "b\tc") << "ab\tc";
    }

    void textToBubbleHtml()
    {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(::textToBubbleHtml(text), html);
    }

    // A bubble takes its text's direction; with a spoken label a screen
    // reader announces who wrote it and when, and skips the visible name.
    void bubbleDivMarkup()
    {
        QCOMPARE(bubbleDiv(QStringLiteral("hi"), true, QString()),
                 QStringLiteral("<div class=\"bb2\" dir=\"auto\">") + kCells
                     + QStringLiteral("hi</div><div class=\"clear\"></div>"));
        QCOMPARE(bubbleDiv(QStringLiteral("hi"), false, QStringLiteral("Ann & <Bob>"), QStringLiteral("Ann & \"Bob\", 9:30")),
                 QStringLiteral("<div class=\"ct_left\" aria-hidden=\"true\">Ann &amp; &lt;Bob&gt;</div>"
                                "<div class=\"clear\"></div><div class=\"bb1\" dir=\"auto\" role=\"group\" "
                                "aria-label=\"Ann &amp; &quot;Bob&quot;, 9:30\">")
                     + kCells + QStringLiteral("hi</div><div class=\"clear\"></div>"));
    }

    void imageLinkMarkup()
    {
        const QString target = path("photo.png");
        QCOMPARE(imageLink(target, target, QStringLiteral("stype=\"x\""), QStringLiteral("Picture <1>")),
                 QStringLiteral("<a href=\"%1\"><img src=\"%1\" alt=\"Picture &lt;1&gt;\" stype=\"x\" /></a>")
                     .arg(fileUrlText(target)));
        QCOMPARE(imageLink(target, path("gone.png"), QString(), QString()),
                 QStringLiteral("<a href=\"%1\"><img src=\"bubble/empty_photo.jpg\" alt=\"\"  /></a>")
                     .arg(fileUrlText(target)));
        // A file name with markup characters stays inside its attribute.
        const QString odd = path("a&b\"c.png");
        const QString markup = imageLink(odd, odd, QString(), odd);
        QVERIFY2(xmlError(markup).isEmpty(), qPrintable(xmlError(markup)));
        QVERIFY(markup.contains(QStringLiteral("a&amp;b%22c.png")));
    }

    // --- pages ---

    void pagesOfFiftyMessages_data()
    {
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("previousLink");
        QTest::addColumn<bool>("nextLink");
        QTest::newRow("1 of 1") << 1 << 1 << 1 << 1 << false << false;
        QTest::newRow("50: one page") << 50 << 1 << 1 << 50 << false << false;
        QTest::newRow("51: page 1") << 51 << 2 << 1 << 50 << false << true;
        QTest::newRow("51: page 2") << 51 << 2 << 2 << 1 << true << false;
        QTest::newRow("120: middle page") << 120 << 3 << 2 << 50 << true << true;
        QTest::newRow("120: last page") << 120 << 3 << 3 << 20 << true << false;
    }

    void pagesOfFiftyMessages()
    {
        QFETCH(int, messages);
        QFETCH(int, pages);
        QFETCH(int, page);
        QFETCH(int, shown);
        QFETCH(bool, previousLink);
        QFETCH(bool, nextLink);
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), messages);
        QCOMPARE(bubblePageCount(messages), pages);

        const QString html = bubblePageHtml(b.list(), page);
        QVERIFY2(xmlError(html).isEmpty(), qPrintable(xmlError(html)));
        const QStringList anchors = messageAnchors(html);
        QCOMPARE(anchors.size(), shown);
        QCOMPARE(anchors.first(), messageAnchorName(*b.list().at((page - 1) * 50)));
        QCOMPARE(html.contains(QStringLiteral("<p><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>")), previousLink);
        QCOMPARE(html.contains(QStringLiteral("<p><a href=\"/next_page\">&gt;&gt;Next Page</a></p>")), nextLink);
        QVERIFY(html.contains(QStringLiteral("<a name=\"start\"></a>")));
        QVERIFY(html.endsWith(QStringLiteral("<a name=\"end\"></a></body></html>")));
    }

    void pageFrame()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 2);
        const QString html = bubblePageHtml(b.list(), 1);
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                                               "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
                                               "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>")));
        QVERIFY(html.contains(QStringLiteral("<title>Bubble</title><link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head>")));
        QVERIFY(!html.contains(QStringLiteral("<base")));
        const QString based = bubblePageHtml(b.list(), 1, QStringLiteral("file:///opt/app/"));
        QVERIFY(based.contains(QStringLiteral("<base href=\"file:///opt/app/\" /><link")));
        QVERIFY2(xmlError(based).isEmpty(), qPrintable(xmlError(based)));
    }

    void noSuchPage()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 3);
        QVERIFY(bubblePageHtml(b.list(), 0).isEmpty());
        QVERIFY(bubblePageHtml(b.list(), 2).isEmpty());
        QVERIFY(bubblePageHtml(MsgMessageList(), 1).isEmpty());
        QCOMPARE(bubblePageCount(0), 0);
        QCOMPARE(bubblePageOfPosition(0), 1);
        QCOMPARE(bubblePageOfPosition(49), 1);
        QCOMPARE(bubblePageOfPosition(50), 2);
        QCOMPARE(bubblePageOfPosition(120), 3);
    }

    void dateLines_data()
    {
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("dateLines");
        QTest::newRow("60 seconds: one line") << 60 << 1;
        QTest::newRow("61 seconds: two lines") << 61 << 2;
        QTest::newRow("same second") << 0 << 1;
    }

    void dateLines()
    {
        QFETCH(int, gap);
        QFETCH(int, dateLines);
        ConversationBuilder b;
        _MsgChat *c = b.chat("+1", {b.handle("+1")});
        _MsgMessage *first = b.message(c, 0, "one", false);
        b.message(c, gap, "two", true);
        const QString html = bubblePageHtml(b.list(), 1);
        QCOMPARE(classCount(html, "dt"), dateLines);
        const QString expected = readableDateTime(appleTimeToDateTime(first->date));
        QVERIFY(html.contains(QStringLiteral("<div class=\"dt\">%1</div>").arg(expected)));
    }

    void everyPageStartsWithADate()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 51, 1);
        QCOMPARE(classCount(bubblePageHtml(b.list(), 1), "dt"), 1);
        QCOMPARE(classCount(bubblePageHtml(b.list(), 2), "dt"), 1);
    }

    void groupSenderNames()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", "Ann");
        _MsgHandle *bob = b.handle("+2");
        _MsgChat *group = b.chat("g", {ann, bob});
        _MsgChat *single = b.chat("+1", {ann});
        b.message(group, 0, "from ann", false, ann);
        b.message(group, 1, "from bob", false, bob);
        b.message(group, 2, "from me", true);
        b.message(single, 3, "ann alone", false, ann);
        const QString html = bubblePageHtml(b.list(), 1);
        QCOMPARE(classCount(html, "ct_left"), 2);
        const QString annSaid = readableDateTime(appleTimeToDateTime(ConversationBuilder::baseDate()));
        QVERIFY(html.contains(QStringLiteral("<div class=\"ct_left\" aria-hidden=\"true\">Ann</div><div class=\"clear\"></div>"
                                             "<div class=\"bb1\" dir=\"auto\" role=\"group\" aria-label=\"Ann, %1\">")
                                  .arg(annSaid)));
        QVERIFY(html.contains(QStringLiteral("<div class=\"ct_left\" aria-hidden=\"true\">+2</div>")));
        // Without a name line a screen reader still hears who wrote it.
        QVERIFY(html.contains(QStringLiteral("aria-label=\"You, ")));
        QCOMPARE(html.count(QStringLiteral("aria-label=\"Ann, ")), 2);
        QCOMPARE(classCount(html, "bb1"), 3);
        QCOMPARE(classCount(html, "bb2"), 1);
    }

    void subjectLine()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, "a<b", false);
        m->subject = QStringLiteral("Hi");
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        QVERIFY(html.contains(kCells + QStringLiteral("&lt;Subject:Hi&gt;<br/>a&lt;b</div>")));
    }

    void bodyIsTrimmedAndWithoutMarkers()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QStringLiteral("  hi\uFFFC  "), true);
        qint64 last = 0;
        QVERIFY(messageBubblesHtml(*m, last).contains(kCells + QStringLiteral("hi</div>")));
    }

    void emojiPictures()
    {
        ConversationBuilder b;
        b.message(b.chat("+1", {b.handle("+1")}), 0, QString::fromUtf8("smile \xF0\x9F\x98\x84 and ") + QChar(0xE415), false);
        const QString html = bubblePageHtml(b.list(), 1);
        QVERIFY(html.contains(QString::fromUtf8("smile <img src=\"emoji/1F604.png\" alt=\"\xF0\x9F\x98\x84\" /> and "
                                                "<img src=\"emoji/E415.png\" alt=\"\xEE\x90\x95\" />")));
    }

    void systemEventLine()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", "Ann");
        _MsgMessage *event = b.message(b.chat("g", {ann, b.handle("+2")}), 0, QString(), false, ann);
        event->item_type = _MsgMessage::ItemParticipantLeft;
        qint64 last = 0;
        const QString html = messageBubblesHtml(*event, last);
        QVERIFY(html.startsWith(QStringLiteral("<a name=\"sms_1\"></a><div class=\"sysif\">Ann left the conversation.<br/>")));
        QCOMPARE(classCount(html, "bb1"), 0);
        QCOMPARE(classCount(html, "dt"), 0);
        QCOMPARE(last, 0);
    }

    void pictureWithoutTextGetsOnlyAPictureBubble()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), false);
        _MsgAttachment *picture = b.attachment(m, "image/png", path("photo.png"));
        m->text += QStringLiteral("  ");
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        QCOMPARE(classCount(html, "bb1"), 1);
        const QString thumbnail = attachmentThumbnail(*picture);
        QVERIFY(QFile::exists(thumbnail));
        QVERIFY(html.contains(QStringLiteral("<a href=\"%1\"><img src=\"%2\" alt=\"Picture photo.png\" "
                                             "stype=\"max-width:120px;max-height:120px\" /></a>")
                                  .arg(fileUrlText(path("photo.png")), fileUrlText(thumbnail))));
    }

    void missingPictureShowsThePlaceholder()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), false);
        b.attachment(m, "IMAGE/JPEG", path("gone.jpg"));
        qint64 last = 0;
        QVERIFY(messageBubblesHtml(*m, last).contains(QStringLiteral("<img src=\"bubble/empty_photo.jpg\" ")));
    }

    void messageWithoutAnythingGetsAnEmptyBubble()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), true);
        qint64 last = 0;
        QVERIFY(messageBubblesHtml(*m, last).contains(QStringLiteral("<div class=\"bb2\" dir=\"auto\" role=\"group\" aria-label=\"You, ")));
        QVERIFY(messageBubblesHtml(*m, last).endsWith(QStringLiteral("\">") + kCells
                                                      + QStringLiteral("</div><div class=\"clear\"></div>")));
    }

    void attachmentBubbles_data()
    {
        QTest::addColumn<QString>("mimeType");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("content");  // %1: the file URL
        QTest::newRow("video") << "video/mp4" << "clip.mp4" << "<a href=\"%1\">[VIDEO]</a>";
        QTest::newRow("audio") << "Audio/AMR" << "voice.amr" << "<a href=\"%1\">[AUDIO]</a>";
        QTest::newRow("other") << "application/pdf" << "doc.pdf" << "<a href=\"%1\">[ATTACHMENT]</a>";
        QTest::newRow("missing card") << "text/x-vCard" << "gone.vcf" << "<a href=\"%1\">[VCARD]</a>";
        QTest::newRow("text part") << "text/plain" << "note.txt" << "first line<br/>second &lt;line&gt;";
        QTest::newRow("text part, upper case") << "TEXT/PLAIN" << "note.txt" << "first line<br/>second &lt;line&gt;";
    }

    void attachmentBubbles()
    {
        QFETCH(QString, mimeType);
        QFETCH(QString, file);
        QFETCH(QString, content);
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), true);
        b.attachment(m, mimeType, path(file));
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        QCOMPARE(classCount(html, "bb2"), 1);
        QVERIFY2(html.contains(kCells + content.arg(fileUrlText(path(file))) + QStringLiteral("</div>")), qPrintable(html));
    }

    void missingTextPartGetsNoBubble()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QStringLiteral("words"), true);
        b.attachment(m, "text/plain", path("gone.txt"));
        qint64 last = 0;
        QCOMPARE(classCount(messageBubblesHtml(*m, last), "bb2"), 1);
    }

    void hugeTextPartIsCut()
    {
        QVERIFY(writeFile(path("huge.txt"), QByteArray(5 * 1024 * 1024, 'a')));
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), true);
        b.attachment(m, "text/plain", path("huge.txt"));
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        QVERIFY(html.contains(QString(4 * 1024 * 1024, QLatin1Char('a')) + QStringLiteral(" \u2026</div>")));
        QVERIFY(!html.contains(QString(4 * 1024 * 1024 + 1, QLatin1Char('a'))));
    }

    void contactCardPicture()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QString(), false);
        b.attachment(m, "text/vcard", path("dora.vcf"));
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        const QString card = renderContactCard(path("dora.vcf"));
        QVERIFY(!card.isEmpty());
        QVERIFY(html.contains(QStringLiteral("<a href=\"%1\"><img src=\"%2\" alt=\"Contact card dora.vcf\" "
                                             "stype=\"max-width:200px;max-height:200px\" /></a>")
                                  .arg(fileUrlText(path("dora.vcf")), fileUrlText(card))));
    }

    void attachmentsFollowTheTextInRowIdOrder()
    {
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1")}), 0, QStringLiteral("look"), true);
        b.attachment(m, "video/mp4", path("a.mp4"));
        b.attachment(m, "audio/amr", path("b.amr"));
        qint64 last = 0;
        const QString html = messageBubblesHtml(*m, last);
        const qsizetype text = html.indexOf(QStringLiteral("look"));
        const qsizetype video = html.indexOf(QStringLiteral("[VIDEO]"));
        const qsizetype audio = html.indexOf(QStringLiteral("[AUDIO]"));
        QVERIFY(text >= 0 && text < video && video < audio);
        QCOMPARE(classCount(html, "bb2"), 3);
    }

    // --- hostile content ---

    void everythingAtOnceIsWellFormed()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", "Ann <script>alert('x')</script> & co");
        _MsgHandle *bob = b.handle("+2", "Bob\x01");
        _MsgChat *group = b.chat("g", {ann, bob});
        group->display_name = QStringLiteral("<b>club</b>");
        b.message(group, 0, "<script>document.title='pwned'</script><img src=x onerror=alert(1)>", false, ann);
        _MsgMessage *withSubject = b.message(group, 100, "]]> <![CDATA[ &amp; &#0; \x02", false, bob);
        withSubject->subject = QStringLiteral("<i>\"quoted\"</i>");
        _MsgMessage *mms = b.message(group, 200, QString::fromUtf8("pic \xF0\x9F\x98\x84"), true);
        b.attachment(mms, "image/png", path("photo.png"));
        b.attachment(mms, "image/png", path("gone & lost.png"));
        b.attachment(mms, "text/vcard", path("dora.vcf"));
        b.attachment(mms, "text/plain", path("note.txt"));
        b.attachment(mms, "application/zip", path("odd \"name\" <x>.zip"));
        _MsgMessage *event = b.message(group, 300, QString(), false, ann);
        event->item_type = _MsgMessage::ItemConversationNamed;
        event->group_title = QStringLiteral("</div><script>");

        const QString html = bubblePageHtml(b.list(), 1);
        QVERIFY2(xmlError(html).isEmpty(), qPrintable(xmlError(html)));
        QVERIFY(!html.contains(QStringLiteral("<script")));
        QVERIFY(!html.contains(QStringLiteral("<b>")));
        QVERIFY(!html.contains(QStringLiteral("<i>")));
        QVERIFY(html.contains(QStringLiteral("&lt;img src=x onerror=alert(1)&gt;")));
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;document.title='pwned'&lt;/script&gt;")));
        // Every element the page has is one the program writes.
        QXmlStreamReader reader(html);
        const QSet<QString> allowed{"html", "head", "meta", "title", "link", "body", "a", "div", "p", "img", "br"};
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::StartElement)
                QVERIFY2(allowed.contains(reader.name().toString()), qPrintable(reader.name().toString()));
        }
    }
};

QTEST_MAIN(TestBubblePage)
#include "tst_bubblepage.moc"
