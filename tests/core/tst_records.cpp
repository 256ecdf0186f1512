#include "store/AppleTime.h"
#include "store/AttachmentBody.h"
#include "store/EmojiScanner.h"
#include "store/MessageIds.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QCryptographicHash>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString md5Lower(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// Records live in a set, as in the program; the fixture builds small graphs.
struct Graph {
    MsgDataSet set;

    _MsgHandle *handle(qint64 rowid, const QString &id, const QString &name = QString())
    {
        _MsgHandle *h = set.ensureHandle(rowid);
        h->id = id;
        h->_ct_name = name;
        return h;
    }
    _MsgChat *chat(qint64 rowid, const QList<_MsgHandle *> &handles)
    {
        _MsgChat *c = set.ensureChat(rowid);
        for (_MsgHandle *h : handles)
            c->handles.insert(QString::number(h->rowid), h);
        return c;
    }
    _MsgMessage *message(qint64 rowid, _MsgChat *chat, _MsgHandle *handle)
    {
        _MsgMessage *m = set.ensureMessage(rowid);
        m->guid = QStringLiteral("GUID-%1").arg(rowid);
        m->chat = chat;
        m->handle = handle;
        m->handle_id = handle ? handle->rowid : 0;
        m->sortKey = rowid;
        if (chat)
            chat->messages.insert(QString::number(rowid), m);
        return m;
    }
    _MsgAttachment *attach(_MsgMessage *m, qint64 rowid, const QString &filename,
                           const QString &mime = QStringLiteral("image/jpeg"))
    {
        _MsgAttachment *a = set.ensureAttachment(rowid);
        a->filename = filename;
        a->mime_type = mime;
        m->attachments.insert(QString::number(rowid), a);
        return a;
    }
};

qint32 localAppleTime(int year, int month, int day, int hour, int minute)
{
    return dateTimeToAppleTime(QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::LocalTime));
}

QString pictureOf(const QString &key)
{
    return QStringLiteral("<img src=\"emoji/%1.png\" />").arg(key);
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // identifiers
    void newGuidShape();
    void guidFromBytesKnownInputs_data();
    void guidFromBytesKnownInputs();

    // content hash
    void logicHashIsByteExact();
    void logicHashWithoutHandleOrAttachments();
    void logicHashIgnoresGuidOfOrdinaryMessages();
    void logicHashChangesWithOneSecond();
    void groupEventHashesOnlyItsGuid();
    void attachmentNamesIgnoreOrderAndCase();

    // display texts
    void handleAndChatNames();
    void senderLabels();
    void ordinaryDisplayTextTagsAttachments();
    void eventDisplayTexts_data();
    void eventDisplayTexts();
    void readableDatesSpeakTheUsersLanguage_data();
    void readableDatesSpeakTheUsersLanguage();
    void plainTextReplacesEmoji();

    // emoji
    void emojiKeys_data();
    void emojiKeys();
    void emojiLeavesOtherTextAlone();

    // ordering
    void messageLessThanExample();
    void messageLessThanFallsBackToDate();
    void sortMessagesBothWays();
    void sortedAttachmentsByRowid();

    // attachment body and thumbnails
    void attributedBodyLayout();
    void attributedBodyOtherGuidLengths_data();
    void attributedBodyOtherGuidLengths();
    void thumbnails_data();
    void thumbnails();

    // dates and records
    void appleTimeConversion();
    void initialValues();
    void dataSetKeepsReplacedRecordsAlive();
};

void TestRecords::newGuidShape()
{
    static const QRegularExpression shape(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString a = newGuid();
    QVERIFY2(shape.match(a).hasMatch(), qPrintable(a));
    QVERIFY(a != newGuid());
}

void TestRecords::guidFromBytesKnownInputs_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("guid");
    // MD5("abc") = 900150983cd24fb0d6963f7d28e17f72, MD5("") = d41d8cd98f00b204e9800998ecf8427e
    QTest::newRow("abc") << QByteArray("abc") << "90015098-3CD2-4FB0-D696-3F7D28E17F72";
    QTest::newRow("empty") << QByteArray() << "D41D8CD9-8F00-B204-E980-0998ECF8427E";
}

void TestRecords::guidFromBytesKnownInputs()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, guid);
    QCOMPARE(guidFromBytes(input), guid);
}

void TestRecords::logicHashIsByteExact()
{
    Graph g;
    _MsgHandle *h = g.handle(1, QStringLiteral("+4915112345678"));
    _MsgMessage *m = g.message(1, g.chat(1, {h}), h);
    m->date = 0x12345678;
    m->is_from_me = 0x101;  // only the low byte counts
    m->text = QStringLiteral("Hi \uFFFC there \u00E9\uFFFC");
    g.attach(m, 7, QStringLiteral("~/Library/SMS/Attachments/ab/cd/G1/Photo.JPG"));
    g.attach(m, 3, QStringLiteral("~/Library/SMS/Attachments/ef/01/G2/b.png"));
    g.attach(m, 5, QString());  // no file name: left out

    const QByteArray expected = QByteArray("+4915112345678")
                                + QByteArray("\x78\x56\x34\x12", 4)  // date, little-endian
                                + QByteArray("\x01", 1)              // is_from_me
                                + QByteArray("Hi  there \xC3\xA9")   // text without U+FFFC
                                + QByteArray("b.png") + QByteArray("photo.jpg");
    QCOMPARE(logicHashInput(*m), expected);
    QCOMPARE(logicHash(*m), md5Lower(expected));
    QCOMPARE(logicHash(*m).size(), 32);
}

void TestRecords::logicHashWithoutHandleOrAttachments()
{
    _MsgMessage m;
    m.date = -1;
    m.text = QStringLiteral("x");
    QCOMPARE(logicHashInput(m), QByteArray("\xFF\xFF\xFF\xFF\x00x", 6));
    QCOMPARE(logicHash(m), md5Lower(QByteArray("\xFF\xFF\xFF\xFF\x00x", 6)));
}

void TestRecords::logicHashIgnoresGuidOfOrdinaryMessages()
{
    Graph g;
    _MsgHandle *h = g.handle(1, QStringLiteral("5551234"));
    _MsgChat *c = g.chat(1, {h});
    _MsgMessage *a = g.message(1, c, h);
    _MsgMessage *b = g.message(2, c, h);
    for (_MsgMessage *m : {a, b}) {
        m->date = 600000000;
        m->text = QStringLiteral("same text");
    }
    a->guid = newGuid();
    b->guid = newGuid();
    QCOMPARE(logicHash(*a), logicHash(*b));
}

void TestRecords::logicHashChangesWithOneSecond()
{
    _MsgMessage a;
    a.date = 600000000;
    a.text = QStringLiteral("t");
    _MsgMessage b = a;
    b.date += 1;
    QVERIFY(logicHash(a) != logicHash(b));
    b.date = a.date;
    b.is_from_me = 1;
    QVERIFY(logicHash(a) != logicHash(b));
}

void TestRecords::groupEventHashesOnlyItsGuid()
{
    Graph g;
    _MsgHandle *h = g.handle(1, QStringLiteral("5551234"));
    _MsgMessage *m = g.message(1, g.chat(1, {h}), h);
    m->item_type = 2;
    m->guid = QStringLiteral("EVENT-\u00C4");
    m->date = 123;
    m->text = QStringLiteral("ignored");
    QCOMPARE(logicHash(*m), md5Lower(QByteArray("EVENT-\xC3\x84")));
    m->date = 456;
    QCOMPARE(logicHash(*m), md5Lower(QByteArray("EVENT-\xC3\x84")));
}

void TestRecords::attachmentNamesIgnoreOrderAndCase()
{
    Graph g;
    _MsgMessage *a = g.message(1, nullptr, nullptr);
    _MsgMessage *b = g.message(2, nullptr, nullptr);
    g.attach(a, 1, QStringLiteral("~/x/1/Zeta.PNG"));
    g.attach(a, 2, QStringLiteral("~/x/2/alpha.jpg"));
    g.attach(b, 3, QStringLiteral("~/y/9/ALPHA.JPG"));
    g.attach(b, 4, QStringLiteral("other\\dir\\zeta.png"));
    QCOMPARE(logicHash(*a), logicHash(*b));
    g.attach(b, 5, QStringLiteral("~/y/9/third.gif"));
    QVERIFY(logicHash(*a) != logicHash(*b));
}

void TestRecords::handleAndChatNames()
{
    Graph g;
    _MsgHandle *named = g.handle(1, QStringLiteral("+111"), QStringLiteral("Ann"));
    _MsgHandle *bare = g.handle(2, QStringLiteral("+222"));
    QCOMPARE(handleDisplayName(*named, true), QStringLiteral("Ann (+111)"));
    QCOMPARE(handleDisplayName(*named, false), QStringLiteral("Ann"));
    QCOMPARE(handleDisplayName(*bare, true), QStringLiteral("+222"));

    _MsgChat *group = g.chat(1, {named, bare});
    QCOMPARE(chatDisplayName(*group, true), QStringLiteral("Ann (+111), +222"));
    QCOMPARE(chatDisplayName(*group, false), QStringLiteral("Ann, +222"));
    group->display_name = QStringLiteral("Team");
    QCOMPARE(chatDisplayName(*group, true), QStringLiteral("Team"));

    QCOMPARE(chatDisplayName(*g.chat(2, {}), false), QStringLiteral("Unknown"));
}

void TestRecords::senderLabels()
{
    Graph g;
    _MsgHandle *ann = g.handle(1, QStringLiteral("+111"), QStringLiteral("Ann"));
    _MsgHandle *bob = g.handle(2, QStringLiteral("+222"));
    _MsgChat *single = g.chat(1, {ann});
    _MsgChat *group = g.chat(2, {ann, bob});

    QCOMPARE(messageSenderLabel(*g.message(1, nullptr, ann)), QStringLiteral("unknown"));
    QCOMPARE(messageSenderLabel(*g.message(2, single, ann)), QStringLiteral("Ann (+111)"));
    QCOMPARE(messageSenderLabel(*g.message(3, group, bob)), QStringLiteral("Ann (+111), +222 (+222)"));
    QCOMPARE(messageSenderLabel(*g.message(4, group, ann)), QStringLiteral("Ann (+111), +222 (Ann)"));
    QCOMPARE(messageSenderLabel(*g.message(5, group, nullptr)), QStringLiteral("Ann (+111), +222"));
}

void TestRecords::ordinaryDisplayTextTagsAttachments()
{
    Graph g;
    _MsgMessage *m = g.message(1, nullptr, nullptr);
    m->text = QStringLiteral("  Look\uFFFC\uFFFC");
    g.attach(m, 1, QStringLiteral("a"), QStringLiteral("IMAGE/png"));
    g.attach(m, 2, QStringLiteral("b"), QStringLiteral("video/mp4"));
    g.attach(m, 3, QStringLiteral("c"), QStringLiteral("audio/amr"));
    g.attach(m, 4, QStringLiteral("d"), QStringLiteral("text/X-VCARD"));
    g.attach(m, 5, QStringLiteral("e"), QStringLiteral("text/vcard"));
    g.attach(m, 6, QStringLiteral("f"), QStringLiteral("application/pdf"));
    QCOMPARE(messageDisplayText(*m),
             QStringLiteral("Look [IMAGE] [VIDEO] [AUDIO] [VCARD] [VCARD] [ATTA]"));

    _MsgMessage empty;
    empty.text = QStringLiteral("\uFFFC");
    QCOMPARE(messageDisplayText(empty), QString());
}

void TestRecords::eventDisplayTexts_data()
{
    QTest::addColumn<int>("itemType");
    QTest::addColumn<bool>("withHandle");
    QTest::addColumn<int>("shareStatus");
    QTest::addColumn<QString>("expected");

    const QString d = readableDateTime(appleTimeToDateTime(localAppleTime(2020, 3, 5, 14, 7)));
    QTest::newRow("1 added") << 1 << true << 0 << "Ann Added +222 to the conversation.\n" + d;
    QTest::newRow("1 added by owner") << 1 << false << 0 << "You Added +222 to the conversation.\n" + d;
    QTest::newRow("2 named") << 2 << true << 0 << "Ann named the conversation \"Trip %1\".\n" + d;
    QTest::newRow("3 left") << 3 << true << 0 << "Ann left the conversation.\n" + d;
    QTest::newRow("3 owner left") << 3 << false << 0 << "You left the conversation.\n" + d;
    QTest::newRow("4 started") << 4 << true << 0 << "Ann started sharing location with +222.\n" + d;
    QTest::newRow("4 stopped") << 4 << true << 2 << "Ann stopped sharing location with +222.\n" + d;
    QTest::newRow("other") << 9 << true << 0 << "System Information.\n" + d;
}

void TestRecords::eventDisplayTexts()
{
    QFETCH(int, itemType);
    QFETCH(bool, withHandle);
    QFETCH(int, shareStatus);
    QFETCH(QString, expected);

    Graph g;
    _MsgHandle *ann = g.handle(1, QStringLiteral("+111"), QStringLiteral("Ann"));
    _MsgHandle *bob = g.handle(2, QStringLiteral("+222"));
    _MsgMessage *m = g.message(1, g.chat(1, {ann, bob}), withHandle ? ann : nullptr);
    m->item_type = itemType;
    m->otherHandle = bob;
    m->other_handle = 2;
    m->group_title = QStringLiteral("Trip %1");
    m->share_status = shareStatus;
    m->date = localAppleTime(2020, 3, 5, 14, 7);
    QCOMPARE(messageDisplayText(*m), expected);
}

void TestRecords::readableDatesSpeakTheUsersLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("American English") << "en_US" << "5 Mar 2020 2:07 PM";
    QTest::newRow("German") << "de_DE" << "5 März 2020 14:07";
    QTest::newRow("French") << "fr_FR" << "5 mars 2020 14:07";
}

// Month names and the clock follow the user's locale, not English.
void TestRecords::readableDatesSpeakTheUsersLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString text = readableDateTime(QDateTime(QDate(2020, 3, 5), QTime(14, 7)));
    QLocale::setDefault(before);
    QCOMPARE(text, expected);
}

void TestRecords::plainTextReplacesEmoji()
{
    _MsgMessage m;
    m.text = QStringLiteral("ok \U0001F604 and \uE415!");
    QCOMPARE(messagePlainText(m), QStringLiteral("ok [EMOJI] and [EMOJI]!"));
}

void TestRecords::emojiKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("private use E415") << "a\uE415b" << "a" + pictureOf("E415") + "b";
    QTest::newRow("private use bounds") << "\uE000\uE537\uE538" << pictureOf("E000") + pictureOf("E537") + "\uE538";
    QTest::newRow("symbol 203C") << "\u203C" << pictureOf("203C");
    QTest::newRow("symbol 3030") << "x\u3030" << "x" + pictureOf("3030");
    QTest::newRow("pair 1F604") << "\U0001F604" << pictureOf("1F604");
    QTest::newRow("pair 1F1E9 (D83C)") << "\U0001F1E9" << pictureOf("1F1E9");
    QTest::newRow("adjacent") << "\U0001F604\uE415\U0001F604" << pictureOf("1F604") + pictureOf("E415") + pictureOf("1F604");
}

void TestRecords::emojiKeys()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(replaceEmoji(text, pictureOf), expected);
}

void TestRecords::emojiLeavesOtherTextAlone()
{
    // Other planes, plain symbols and broken surrogates pass unchanged.
    const QString text = QStringLiteral("\U0001F914 \u2713 caf\u00E9 ") + QChar(0xD83D) + QStringLiteral("a")
                         + QChar(0xD83C);
    QCOMPARE(replaceEmoji(text, pictureOf), text);
    QCOMPARE(emojiKey(0xE415), QStringLiteral("E415"));
    QCOMPARE(emojiKey(0x1F604), QStringLiteral("1F604"));
}

void TestRecords::messageLessThanExample()
{
    // 100 seconds apart, sortKeys 3 apart: store order wins even against the dates.
    _MsgMessage a;
    a.sortKey = 10;
    a.date = 1000;
    _MsgMessage b;
    b.sortKey = 13;
    b.date = 900;
    QVERIFY(messageLessThan(&a, &b));
    QVERIFY(!messageLessThan(&b, &a));
    QVERIFY(messageGreaterThan(&b, &a));
    QVERIFY(!messageLessThan(&a, &a));
    QVERIFY(!messageGreaterThan(&a, &a));
}

void TestRecords::messageLessThanFallsBackToDate()
{
    _MsgMessage a;
    a.sortKey = 10;
    a.date = 1000;
    _MsgMessage b;
    b.sortKey = 31;  // more than 20 apart
    b.date = 999;
    QVERIFY(messageLessThan(&b, &a));
    b.sortKey = 13;
    b.date = 879;  // more than 120 seconds apart
    QVERIFY(messageLessThan(&b, &a));
    b.date = 880;  // exactly 120: store order
    QVERIFY(messageLessThan(&a, &b));
}

void TestRecords::sortMessagesBothWays()
{
    Graph g;
    MsgMessageList list;
    const int dates[] = {5000, 100, 3000, 90, 7000};
    for (int i = 0; i < 5; ++i) {
        _MsgMessage *m = g.message(i * 100 + 1, nullptr, nullptr);
        m->date = dates[i];
        list.append(m);
    }
    sortMessages(list);
    QList<int> order;
    for (const _MsgMessage *m : list)
        order.append(m->date);
    QCOMPARE(order, (QList<int>{90, 100, 3000, 5000, 7000}));
    sortMessages(list, true);
    order.clear();
    for (const _MsgMessage *m : list)
        order.append(m->date);
    QCOMPARE(order, (QList<int>{7000, 5000, 3000, 100, 90}));
}

void TestRecords::sortedAttachmentsByRowid()
{
    Graph g;
    _MsgMessage *m = g.message(1, nullptr, nullptr);
    g.attach(m, 10, QStringLiteral("x"));
    g.attach(m, 9, QStringLiteral("y"));
    g.attach(m, 100, QStringLiteral("z"));
    QCOMPARE(m->attachments.firstKey(), QStringLiteral("10"));  // text order differs
    QList<qint64> rowids;
    for (const _MsgAttachment *a : sortedAttachments(*m))
        rowids.append(a->rowid);
    QCOMPARE(rowids, (QList<qint64>{9, 10, 100}));
}

void TestRecords::attributedBodyLayout()
{
    const QString guid = QStringLiteral("0123ABCD-4567-89EF-0123-456789ABCDEF");
    const QByteArray body = attachmentAttributedBody(guid);
    QCOMPARE(body.size(), 200 + 36 + 72);
    QVERIFY(body.startsWith(QByteArray("\x04\x0B" "streamtyped")));
    QCOMPARE(quint8(body.at(199)), quint8(36));
    QCOMPARE(body.mid(200, 36), guid.toLatin1());
    QVERIFY(body.mid(140, 59).contains("__kIMFileTransferGUIDAttributeName"));
    QVERIFY(body.mid(236).contains("__kIMMessagePartAttributeName"));
    QVERIFY(body.endsWith(QByteArray("\x86\x86\x86")));
    // The string's single character U+FFFC.
    QVERIFY(body.left(200).contains(QByteArray("\x01\x2B\x03\xEF\xBF\xBC")));
}

void TestRecords::attributedBodyOtherGuidLengths_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("lengthBytes");
    QTest::newRow("short") << 10 << QByteArray("\x0A");
    QTest::newRow("127") << 127 << QByteArray("\x7F");
    QTest::newRow("128") << 128 << QByteArray("\x81\x80\x00", 3);
    QTest::newRow("300") << 300 << QByteArray("\x81\x2C\x01", 3);
}

void TestRecords::attributedBodyOtherGuidLengths()
{
    QFETCH(int, length);
    QFETCH(QByteArray, lengthBytes);
    const QString guid(length, QLatin1Char('G'));
    const QByteArray body = attachmentAttributedBody(guid);
    QCOMPARE(body.mid(199, lengthBytes.size()), lengthBytes);
    QCOMPARE(body.mid(199 + lengthBytes.size(), length), guid.toLatin1());
    QCOMPARE(body.size(), 199 + lengthBytes.size() + length + 72);
}

void TestRecords::thumbnails_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("thumbnail");
    QTest::newRow("landscape JPEG") << "JPEG" << QSize(300, 150) << QSize(120, 60);
    QTest::newRow("portrait PNG") << "PNG" << QSize(50, 200) << QSize(30, 120);
    QTest::newRow("small JPEG grows") << "JPEG" << QSize(60, 40) << QSize(120, 80);
    QTest::newRow("GIF") << "GIF" << QSize(1, 1) << QSize(120, 120);
    QTest::newRow("BMP") << "BMP" << QSize(120, 240) << QSize(60, 120);
    QTest::newRow("WebP") << "WEBP" << QSize(300, 300) << QSize(120, 120);
    QTest::newRow("not an image") << "" << QSize() << QSize();
}

void TestRecords::thumbnails()
{
    QFETCH(QString, format);
    QFETCH(QSize, source);
    QFETCH(QSize, thumbnail);

    QTemporaryDir dir;
    _MsgAttachment attachment;
    attachment.localPath = dir.filePath(QStringLiteral("picture.bin"));  // suffix says nothing
    if (format.isEmpty()) {
        QFile file(attachment.localPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plain text, not a picture");
    } else if (format == QLatin1String("GIF")) {
        // Qt reads GIF but cannot write it: a one-pixel picture made by hand.
        QFile file(attachment.localPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromBase64("R0lGODlhAQABAIAAAP8AAAAAACwAAAAAAQABAAACAkQBADs="));
    } else {
        QImage image(source, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(attachment.localPath, format.toLatin1().constData()));
    }

    const QString path = attachmentThumbnail(attachment);
    QCOMPARE(path, QDir(QDir::tempPath()).filePath(md5Lower(attachment.localPath.toUtf8()) + QStringLiteral(".thumb")));
    if (format.isEmpty()) {
        QVERIFY(!QFile::exists(path));
        return;
    }
    QVERIFY(QFile::exists(path));
    QImage made;
    QVERIFY(made.load(path, format == QLatin1String("JPEG") ? "JPEG" : "PNG"));
    QCOMPARE(made.size(), thumbnail);
    // A second call reuses the file.
    const QDateTime written = QFileInfo(path).lastModified();
    QCOMPARE(attachmentThumbnail(attachment), path);
    QCOMPARE(QFileInfo(path).lastModified(), written);
    QFile::remove(path);
}

void TestRecords::appleTimeConversion()
{
    QCOMPARE(appleTimeToDateTime(0).toUTC(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(appleTimeToDateTime(0).timeSpec(), Qt::LocalTime);
    QCOMPARE(appleTimeToDateTime(600000000).toSecsSinceEpoch(), qint64(978307200) + 600000000);
    QCOMPARE(dateTimeToAppleTime(appleTimeToDateTime(-5)), -5);
    QCOMPARE(dateTimeToAppleTime(QDateTime()), 0);
    QCOMPARE(unixTimeToAppleTime(Q_INT64_C(978307200) + Q_INT64_C(5000000000)),
             std::numeric_limits<qint32>::max());
    QCOMPARE(unixTimeToAppleTime(std::numeric_limits<qint64>::min()), std::numeric_limits<qint32>::min());
}

void TestRecords::initialValues()
{
    const _MsgMessage m;
    QCOMPARE(m.version, 10);
    QCOMPARE(m.other_handle, -1);
    QCOMPARE(m.item_type, 0);
    QVERIFY(!m.handle && !m.chat && !m.otherHandle && m.attachments.isEmpty());
    const _MsgChat c;
    QCOMPARE(c.style, 45);
    QCOMPARE(c.state, 3);
    QCOMPARE(c.service_name, QStringLiteral("SMS"));
    QCOMPARE(c.account_login, QStringLiteral("E:"));
    QCOMPARE(_MsgHandle().service, QStringLiteral("SMS"));
    QCOMPARE(_MsgAttachment().transfer_state, 5);
    QCOMPARE(_MsgAttachment().start_date, 0);
}

void TestRecords::dataSetKeepsReplacedRecordsAlive()
{
    MsgDataSetPtr set(new MsgDataSet);
    _MsgChat *first = set->ensureChat(5);
    QCOMPARE(first->rowid, 5);
    QCOMPARE(set->ensureChat(5), first);
    first->guid = QStringLiteral("old");

    auto *second = new _MsgChat;
    second->rowid = 5;
    set->addChat(second);
    QCOMPARE(set->chat(5), second);
    QCOMPARE(first->guid, QStringLiteral("old"));  // still valid
    QCOMPARE(set->chats.size(), 1);
    set->addChat(second);  // same record again: nothing changes
    QCOMPARE(set->chat(5), second);
    QVERIFY(!set->chat(6));
    QVERIFY(!set->isEmpty());
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
