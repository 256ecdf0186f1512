#include "views/ContactCard.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

// The contact card is what a user sees of a vCard attachment: what it takes
// from the vCard, how it is drawn, and that it is made once per file.
class TestVCardCard : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *tempRoot = nullptr;
    QByteArray savedTmpDir;

    static QByteArray card(const QByteArray &body)
    {
        return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
    }

    static ContactCardInfo infoOf(const QByteArray &vcard)
    {
        const QList<VCardEntry> entries = parseVCards(vcard);
        return entries.isEmpty() ? ContactCardInfo() : contactCardInfo(entries.first());
    }

    static QByteArray phones(int count)
    {
        QByteArray lines;
        for (int i = 1; i <= count; ++i)
            lines += "TEL;CELL:+1 555 010" + QByteArray::number(i) + "\r\n";
        return lines;
    }

    static QImage cardFor(const QByteArray &body) { return drawContactCard(infoOf(card("FN:Jane Roe\r\n" + body))); }

    QString writeFile(const QString &name, const QByteArray &content) const
    {
        const QString path = tempRoot->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(content);
        return path;
    }

    static QByteArray pngPhoto()
    {
        QImage photo(40, 40, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "PNG");
        return bytes;
    }

    static bool near(QColor a, QColor b, int tolerance)
    {
        return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
            && qAbs(a.blue() - b.blue()) <= tolerance;
    }

private slots:
    void init()
    {
        tempRoot = new QTemporaryDir;
        QVERIFY(tempRoot->isValid());
        savedTmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", tempRoot->path().toUtf8());
    }

    void cleanup()
    {
        qputenv("TMPDIR", savedTmpDir);
        delete tempRoot;
        tempRoot = nullptr;
    }

    void infoTakesTheKnownProperties()
    {
        const ContactCardInfo info = infoOf(card("fn:Old Name\r\n"
                                                 "FN;CHARSET=UTF-8:Jos\xC3\xA9 Roe\r\n"
                                                 "TEL:1\r\nTel:2\r\n"
                                                 "EMAIL;INTERNET:jose@example.org\r\n"
                                                 "ADR;HOME:;;1 Main St;Town;;12345;\r\n"
                                                 "TITLE:Engineer\r\nORG:Acme;Lab\r\n"
                                                 "BDAY:1980-05-17\r\n"
                                                 "PHOTO;ENCODING=BASE64:SGVsbG8=\r\n"));
        QCOMPARE(info.name, QString::fromUtf8("José Roe"));   // the later FN replaces the earlier
        QCOMPARE(info.phones, (QStringList{"1", "2"}));
        QCOMPARE(info.email, QStringLiteral("jose@example.org"));
        QCOMPARE(info.address, QStringLiteral(";;1 Main St;Town;;12345;"));
        QCOMPARE(info.title, QStringLiteral("Engineer"));
        QCOMPARE(info.organisation, QStringLiteral("Acme;Lab"));
        QCOMPARE(info.birthday, QStringLiteral("1980-05-17"));
        QCOMPARE(info.photo, QByteArray("Hello"));
    }

    void infoKeepsEveryPhone()
    {
        QCOMPARE(infoOf(card(phones(5))).phones.size(), 5);
    }

    void birthdayText_data()
    {
        QTest::addColumn<QString>("bday");
        QTest::addColumn<QString>("expected");
        const QString may17 = QLocale::system().toString(QDate(1980, 5, 17), QLocale::ShortFormat);
        QTest::newRow("extended date") << "1980-05-17" << may17;
        QTest::newRow("date and time") << "1980-05-17T08:30:00" << may17;
        QTest::newRow("basic date") << "19800517" << may17;
        QTest::newRow("not a date is shown as written") << "May 17" << "May 17";
    }

    void birthdayText()
    {
        QFETCH(QString, bday);
        QFETCH(QString, expected);
        QCOMPARE(birthdayDisplayText(bday), expected);
    }

    void cardHasSizeBackgroundAndFrame()
    {
        const QImage image = cardFor(QByteArray());
        QCOMPARE(image.size(), QSize(kContactCardWidth, kContactCardHeight));
        const QColor frame(185, 185, 187);
        QCOMPARE(image.pixelColor(0, 0), frame);
        QCOMPARE(image.pixelColor(100, 0), frame);
        QCOMPARE(image.pixelColor(kContactCardWidth - 1, 45), frame);
        QCOMPARE(image.pixelColor(100, kContactCardHeight - 1), frame);
        QCOMPARE(image.pixelColor(195, 85), QColor(219, 226, 237));
    }

    void onlyTheFirstFourPhonesAreDrawn()
    {
        const QImage four = cardFor(phones(4));
        QCOMPARE(cardFor(phones(5)), four);
        QVERIFY(cardFor(phones(3)) != four);   // a phone line does show on the card
    }

    void photoIsDrawnOrFallsBack()
    {
        const QImage withPhoto = cardFor("PHOTO;ENCODING=BASE64;TYPE=PNG:" + pngPhoto().toBase64() + "\r\n");
        QVERIFY(near(withPhoto.pixelColor(20, 20), Qt::red, 10));
        // Bytes that are no picture draw the same as no photo at all.
        QCOMPARE(cardFor("PHOTO;ENCODING=BASE64:SGVsbG8=\r\n"), cardFor(QByteArray()));
    }

    void wrappedValueStaysInItsColumn()
    {
        QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        QFont font;
        font.setPixelSize(11);
        const int used = drawLabeledText(painter, font, 10, 10, 120, QStringLiteral("Address:"),
                                         QStringLiteral("1 Long Street Name; Some Town; Region 12345; Country"),
                                         false);
        painter.end();
        QVERIFY(used > QFontMetrics(font).height());   // wrapped onto several lines
        for (int x = 131; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                QCOMPARE(image.pixelColor(x, y), QColor(Qt::white));
    }

    void singleLineValueStaysOnTheLabelLineAndInTheColumn()
    {
        QImage image(300, 50, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        QFont font;
        font.setPixelSize(11);
        const int labelOnly = drawLabeledText(painter, font, 0, 0, 137, QStringLiteral("Phone:"), QString(), true);
        QVERIFY(labelOnly > 0);
        QCOMPARE(drawLabeledText(painter, font, 0, 0, 137, QStringLiteral("Phone:"),
                                 QStringLiteral("+1 555 0100 and much more text than fits"), true),
                 labelOnly);
        painter.end();
        for (int x = 136; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                QCOMPARE(image.pixelColor(x, y), QColor(Qt::white));
    }

    void renderWritesAJpegInTheTemporaryFolder()
    {
        const QString vcard = writeFile(QStringLiteral("a.vcf"), card("FN:Ann\r\nTEL:1\r\n"));
        const QString path = renderContactCard(vcard);
        QCOMPARE(path, contactCardPath(vcard));
        QVERIFY(path.startsWith(tempRoot->path()));
        QVERIFY(path.endsWith(QStringLiteral(".jpg")));
        QImage saved;
        QVERIFY(saved.load(path, "JPEG"));
        QCOMPARE(saved.size(), QSize(kContactCardWidth, kContactCardHeight));
    }

    void renderServesTheCacheWithoutReadingAgain()
    {
        const QString vcard = writeFile(QStringLiteral("b.vcf"), card("FN:Ann\r\n"));
        const QString first = renderContactCard(vcard);
        QVERIFY(!first.isEmpty());
        QVERIFY(QFile::remove(vcard));
        QCOMPARE(renderContactCard(vcard), first);
    }

    void renderGivesNothingForUnusableFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("lower-case BEGIN") << QByteArray("begin:vcard\r\nFN:A\r\nend:vcard\r\n") << true;
        QTest::newRow("no BEGIN") << QByteArray("FN:A\r\n") << true;
    }

    void renderGivesNothingForUnusableFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        const QString vcard = exists ? writeFile(QStringLiteral("c.vcf"), content)
                                     : tempRoot->filePath(QStringLiteral("none.vcf"));
        QCOMPARE(renderContactCard(vcard), QString());
        QVERIFY(!QFile::exists(contactCardPath(vcard)));
    }

    void cardUsesTheFirstEntry()
    {
        const QByteArray two = card("FN:First\r\n") + card("FN:Second\r\n");
        QCOMPARE(infoOf(two).name, QStringLiteral("First"));
    }
};

QTEST_MAIN(TestVCardCard)
#include "tst_vcardcard.moc"
