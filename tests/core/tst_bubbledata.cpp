#include "store/EmojiScanner.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

// The conversation page, print and the HTML export load their pictures from
// the "bubble" and "emoji" folders beside the executable. A missing file
// shows as a broken image, so the copies in the build tree are checked
// against what the page asks for.
class TestBubbleData : public QObject
{
    Q_OBJECT

private:
    static QString dataPath(const QString &relative)
    {
        return QDir(QStringLiteral(FERRY_BINARY_DIR)).filePath(relative);
    }

    // The picture the page would ask for in place of `text`.
    static QString emojiPictureFor(const QString &text)
    {
        QStringList keys;
        replaceEmoji(text, [&keys](const QString &key) {
            keys << key;
            return QString();
        });
        return keys.size() == 1 ? dataPath(QStringLiteral("emoji/%1.png").arg(keys.first())) : QString();
    }

    static void verifyEmojiPicture(const QString &text)
    {
        const QString picture = emojiPictureFor(text);
        QVERIFY2(!picture.isEmpty(), qPrintable("not one emoji: " + text));
        QImage image;
        QVERIFY2(image.load(picture), qPrintable("missing or unreadable: " + picture));
        QCOMPARE(image.size(), QSize(32, 32));
    }

private slots:
    void everyPrivateUseKeyHasAPicture()
    {
        for (char16_t unit = 0xE000; unit <= 0xE537; ++unit)
            verifyEmojiPicture(QString(QChar(unit)));
    }

    void everySingleUnitSymbolHasAPicture()
    {
        int symbols = 0;
        for (char32_t unit = 0x2000; unit < 0xE000; ++unit) {
            if (!isSingleUnitEmoji(char16_t(unit)))
                continue;
            verifyEmojiPicture(QString(QChar(char16_t(unit))));
            ++symbols;
        }
        QVERIFY(symbols >= 40);
    }

    void commonUnicodeEmojiHavePictures_data()
    {
        QTest::addColumn<char32_t>("first");
        QTest::addColumn<char32_t>("last");
        QTest::newRow("emoticons") << char32_t(0x1F600) << char32_t(0x1F64F);
        QTest::newRow("regional indicator letters") << char32_t(0x1F1E6) << char32_t(0x1F1FF);
        QTest::newRow("skin tones") << char32_t(0x1F3FB) << char32_t(0x1F3FF);
        QTest::newRow("hearts") << char32_t(0x1F493) << char32_t(0x1F49F);
        QTest::newRow("transport") << char32_t(0x1F680) << char32_t(0x1F6A4);
        QTest::newRow("thumbs up") << char32_t(0x1F44D) << char32_t(0x1F44D);
        QTest::newRow("party popper") << char32_t(0x1F389) << char32_t(0x1F389);
    }

    void commonUnicodeEmojiHavePictures()
    {
        QFETCH(char32_t, first);
        QFETCH(char32_t, last);
        for (char32_t cp = first; cp <= last; ++cp)
            verifyEmojiPicture(QString::fromUcs4(&cp, 1));
    }

    void privateUseCodesShowTheirEmoji()
    {
        // U+E415 is the old code of U+1F604 (smiling face with open mouth and
        // smiling eyes); both must show the same picture.
        QImage oldCode(dataPath(QStringLiteral("emoji/E415.png")));
        QImage unicode(dataPath(QStringLiteral("emoji/1F604.png")));
        QVERIFY(!oldCode.isNull());
        QCOMPARE(oldCode, unicode);
    }

    void bubblePiecesHaveTheBorderSizes_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<int>("left");
        QTest::newRow("received") << "bb1" << 28 << 29 << 24 << 40;
        QTest::newRow("sent") << "bb2" << 27 << 41 << 25 << 29;
    }

    void bubblePiecesHaveTheBorderSizes()
    {
        QFETCH(QString, prefix);
        QFETCH(int, top);
        QFETCH(int, right);
        QFETCH(int, bottom);
        QFETCH(int, left);
        const int widths[3] = {left, -1, right};   // -1: stretched, any size
        const int heights[3] = {top, -1, bottom};
        for (int piece = 0; piece < 9; ++piece) {
            const QString path = dataPath(QStringLiteral("bubble/%1_0%2.png").arg(prefix).arg(piece + 1));
            QImage image;
            QVERIFY2(image.load(path), qPrintable("missing or unreadable: " + path));
            if (widths[piece % 3] >= 0)
                QCOMPARE(image.width(), widths[piece % 3]);
            if (heights[piece / 3] >= 0)
                QCOMPARE(image.height(), heights[piece / 3]);
        }
    }

    void pagePicturesAndStyleSheetArePresent()
    {
        QImage placeholder;
        QVERIFY(placeholder.load(dataPath(QStringLiteral("bubble/empty_photo.jpg")), "JPEG"));
        QFile css(dataPath(QStringLiteral("bubble/style.css")));
        QVERIFY(css.open(QIODevice::ReadOnly));
        const QByteArray text = css.readAll();
        for (const char *cls : {".bb1", ".bb2", ".bb_bg", ".top_left", ".top_middle", ".top_right",
                                ".middle_left", ".middle_middle", ".middle_right", ".bottom_left",
                                ".bottom_middle", ".bottom_right", ".clear", ".ct_left", ".dt", ".sysif"})
            QVERIFY2(text.contains(cls), cls);
    }
};

QTEST_MAIN(TestBubbleData)
#include "tst_bubbledata.moc"
