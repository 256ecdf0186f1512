#include "views/VCard.h"
#include "views/VCardParser.h"

#include <QtTest>

// The vCard reader sees contacts written by every kind of phone, so each
// line-level rule (folding, transfer encodings, escapes, rejection) is pinned
// here, together with the entry collection on top of it.
class TestVCard : public QObject
{
    Q_OBJECT

private:
    static QByteArray card(const QByteArray &body)
    {
        return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
    }

    // The first property called `name` of the first entry.
    static VCardProperty property(const QList<VCardEntry> &entries, const QString &name)
    {
        if (entries.isEmpty())
            return VCardProperty();
        for (const VCardProperty &p : entries.first())
            if (p.name == name)
                return p;
        return VCardProperty();
    }

    static QByteArray valueOf(const QByteArray &vcard, const QString &name)
    {
        return property(parseVCards(vcard), name).value;
    }

    // Base64 text folded the way phones write photos: short lines, each
    // continuation line indented by a blank.
    static QByteArray foldedBase64(const QByteArray &data, int lineLength)
    {
        QByteArray text = data.toBase64();
        while (text.endsWith('='))
            text.chop(1);
        QByteArray folded;
        for (int i = 0; i < text.size(); i += lineLength)
            folded += (i ? "\r\n " : "") + text.mid(i, lineLength);
        return folded;
    }

private slots:
    void values_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("plain") << QByteArray("FN:John Doe\r\n") << "FN" << QByteArray("John Doe");
        QTest::newRow("leading blanks of a value dropped")
            << QByteArray("FN:   John\r\n") << "FN" << QByteArray("John");
        QTest::newRow("bare line feeds") << QByteArray("FN:John\n") << "FN" << QByteArray("John");
        QTest::newRow("folded line joins with one blank")
            << QByteArray("N:Doe;John\r\n Jr\r\n") << "N" << QByteArray("Doe;John Jr");
        QTest::newRow("tab folds too") << QByteArray("N:Doe\r\n\tJr\r\n") << "N" << QByteArray("Doe Jr");
        QTest::newRow("empty CRLF line counts as folding")
            << QByteArray("NOTE:one\r\n\r\ntwo\r\n") << "NOTE" << QByteArray("one two");
        QTest::newRow("quoted-printable UTF-8")
            << QByteArray("NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\n") << "NOTE" << QByteArray("caf\xC3\xA9");
        QTest::newRow("quoted-printable as bare parameter")
            << QByteArray("NOTE;QUOTED-PRINTABLE:=41\r\n") << "NOTE" << QByteArray("A");
        QTest::newRow("quoted-printable lower-case hex")
            << QByteArray("NOTE;ENCODING=quoted-printable:=c3=a9\r\n") << "NOTE" << QByteArray("\xC3\xA9");
        QTest::newRow("quoted-printable unreadable pair gives NUL")
            << QByteArray("NOTE;QUOTED-PRINTABLE:a=ZZb\r\n") << "NOTE" << QByteArray("a\0b", 3);
        QTest::newRow("quoted-printable soft break before a folded line")
            << QByteArray("NOTE;QUOTED-PRINTABLE:abc=\r\n def\r\n") << "NOTE" << QByteArray("abc def");
        QTest::newRow("quoted-printable soft break joins an unindented line")
            << QByteArray("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=\r\n=A0=E4=B8=89\r\nTEL:1\r\n")
            << "FN" << QByteArray("\xE5\xBC\xA0\xE4\xB8\x89");
        QTest::newRow("line after a soft break is still read")
            << QByteArray("FN;QUOTED-PRINTABLE:a=\r\nb\r\nTEL:12\r\n") << "TEL" << QByteArray("12");
        QTest::newRow("8bit kept as is")
            << QByteArray("FN;ENCODING=8BIT:caf\xC3\xA9=41\r\n") << "FN" << QByteArray("caf\xC3\xA9=41");
        QTest::newRow("base64 short form B")
            << QByteArray("NOTE;ENCODING=b:SGVsbG8=\r\n") << "NOTE" << QByteArray("Hello");
        QTest::newRow("base64 incomplete last quartet")
            << QByteArray("NOTE;BASE64:SGVsbG8\r\n") << "NOTE" << QByteArray("Hello");
        QTest::newRow("base64 blanks inside ignored")
            << QByteArray("NOTE;BASE64:SGVs bG8=\r\n") << "NOTE" << QByteArray("Hello");
        QTest::newRow("later encoding parameter wins")
            << QByteArray("NOTE;BASE64;ENCODING=QUOTED-PRINTABLE:=41\r\n") << "NOTE" << QByteArray("A");
        QTest::newRow("ENCODING without value keeps the raw text")
            << QByteArray("NOTE;ENCODING:=41\r\n") << "NOTE" << QByteArray("=41");
        QTest::newRow("line break before the colon continues the parameters")
            << QByteArray("TEL;TYPE=HOME\r\n;CELL:555\r\n") << "TEL" << QByteArray("555");
    }

    void values()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, name);
        QFETCH(QByteArray, expected);
        QCOMPARE(valueOf(card(body), name), expected);
    }

    void base64PhotoOverFoldedLines_data()
    {
        QTest::addColumn<QByteArray>("afterPhoto");
        QTest::newRow("next property on its own line") << QByteArray("TEL:1\r\n");
        // vCard 2.1 writers end the photo with an empty line.
        QTest::newRow("blank line after the data") << QByteArray("\r\nTEL:1\r\n");
    }

    void base64PhotoOverFoldedLines()
    {
        QFETCH(QByteArray, afterPhoto);
        QByteArray jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01", 17);
        for (int i = 0; i < 200; ++i)
            jpeg.append(char(i * 7));
        QVERIFY(jpeg.toBase64().endsWith('='));   // so the last quartet arrives incomplete
        const QByteArray vcard =
            card("FN:Ann\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:" + foldedBase64(jpeg, 20) + "\r\n" + afterPhoto);

        const QList<VCardEntry> entries = parseVCards(vcard);
        QCOMPARE(property(entries, "PHOTO").value, jpeg);
        QCOMPARE(property(entries, "TEL").value, QByteArray("1"));
        QCOMPARE(property(entries, "PHOTO").params.value("TYPE"), QStringLiteral("JPEG"));
    }

    void parameters_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("expected");

        QTest::newRow("escaped semicolon") << QByteArray("ORG;TYPE=a\\;b:X\r\n") << "TYPE" << "a;b";
        QTest::newRow("escaped backslash") << QByteArray("ORG;TYPE=a\\\\b:X\r\n") << "TYPE" << "a\\b";
        QTest::newRow("escape before other character is dropped")
            << QByteArray("ORG;TYPE=a\\b:X\r\n") << "TYPE" << "ab";
        QTest::newRow("without value") << QByteArray("ORG;WORK:X\r\n") << "WORK" << "";
        QTest::newRow("repeated name, last wins") << QByteArray("ORG;T=1;T=2:X\r\n") << "T" << "2";
        QTest::newRow("blanks in parameters ignored") << QByteArray("ORG; T = a b :X\r\n") << "T" << "ab";
        QTest::newRow("name case kept") << QByteArray("ORG;type=x:X\r\n") << "type" << "x";
    }

    void parameters()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, param);
        QFETCH(QString, expected);
        const VCardProperty org = property(parseVCards(card(line)), "ORG");
        QVERIFY(org.params.contains(param));
        QCOMPARE(org.params.value(param), expected);
        QCOMPARE(org.value, QByteArray("X"));
    }

    void entries_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("fnPerEntry");

        const QByteArray two = card("FN:A\r\n") + card("FN:B\r\n");
        QTest::newRow("two entries") << two << QStringList{"A", "B"};
        QTest::newRow("lower-case BEGIN gives nothing")
            << QByteArray("begin:vcard\r\nFN:A\r\nend:vcard\r\n") << QStringList{};
        QTest::newRow("lines outside BEGIN ignored")
            << QByteArray("FN:X\r\n") + card("FN:A\r\n") + "FN:Y\r\n" << QStringList{"A"};
        QTest::newRow("empty input") << QByteArray() << QStringList{};
        QTest::newRow("no trailing line break")
            << QByteArray("BEGIN:VCARD\r\nFN:A") << QStringList{"A"};
        // Rejection stops the reader; what was read before stays.
        QTest::newRow("empty parameter value rejects the rest")
            << card("FN:A\r\nTEL;TYPE=:123\r\n") + card("FN:B\r\n") << QStringList{"A"};
        QTest::newRow("colon before a parameter name rejects")
            << card("FN:A\r\nTEL;:123\r\n") + card("FN:B\r\n") << QStringList{"A"};
        QTest::newRow("invalid base64 rejects")
            << card("FN:A\r\nPHOTO;BASE64:ab*d\r\n") + card("FN:B\r\n") << QStringList{"A"};
    }

    void entries()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, fnPerEntry);
        QStringList names;
        for (const VCardEntry &entry : parseVCards(input)) {
            QString fn;
            for (const VCardProperty &p : entry)
                if (p.name == QLatin1String("FN"))
                    fn = QString::fromLatin1(p.value);
            names << fn;
        }
        QCOMPARE(names, fnPerEntry);
    }

    void beginAndEndValuesAreNotProperties()
    {
        const QList<VCardEntry> entries = parseVCards(card("FN:A\r\n"));
        QCOMPARE(entries.size(), 1);
        QStringList names;
        for (const VCardProperty &p : entries.first())
            names << p.name;
        QCOMPARE(names, (QStringList{"VERSION", "FN"}));
    }

    void propertyText_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");

        QTest::newRow("CHARSET=UTF-8") << QByteArray("FN;CHARSET=UTF-8:Jos\xC3\xA9\r\n") << QString::fromUtf8("José");
        QTest::newRow("CHARSET=ISO-8859-1") << QByteArray("FN;CHARSET=ISO-8859-1:Jos\xE9\r\n") << QString::fromUtf8("José");
        QTest::newRow("quoted-printable in CHARSET")
            << QByteArray("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=B8=89\r\n")
            << QString::fromUtf8("张三");
        QTest::newRow("CHARSET=GBK") << QByteArray("FN;CHARSET=GBK:\xD5\xC5\xC8\xFD\r\n") << QString::fromUtf8("张三");
        QTest::newRow("no CHARSET reads the local code page")
            << QByteArray("FN:Jos\xC3\xA9\r\n") << QString::fromLocal8Bit("Jos\xC3\xA9");
        QTest::newRow("unknown CHARSET reads the local code page")
            << QByteArray("FN;CHARSET=NO-SUCH-SET:Jos\xC3\xA9\r\n") << QString::fromLocal8Bit("Jos\xC3\xA9");
        QTest::newRow("lower-case key is not CHARSET")
            << QByteArray("FN;charset=ISO-8859-1:Jos\xC3\xA9\r\n") << QString::fromLocal8Bit("Jos\xC3\xA9");
    }

    void propertyText()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QCOMPARE(::propertyText(property(parseVCards(card(line)), "FN")), expected);
    }

    // Input arriving in pieces must read exactly like the whole input at once.
    void pieceByPieceEqualsWhole_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("folding") << card("N:Doe;John\r\n Jr\r\nNOTE:a\r\n\r\nb\r\n");
        QTest::newRow("quoted-printable soft breaks") << card("NOTE;QUOTED-PRINTABLE:=41=\r\n=42=\r\n c\r\n");
        QTest::newRow("base64") << card("PHOTO;BASE64:SGVs\r\n bG8\r\n\r\nTEL:1\r\n");
        QTest::newRow("parameters") << card("ORG;TYPE=a\\;b\r\n;X=1:Y\r\n");
    }

    void pieceByPieceEqualsWhole()
    {
        QFETCH(QByteArray, input);
        QList<QByteArray> whole;
        QList<QByteArray> pieces;
        const auto recorder = [](QList<QByteArray> &log) {
            return VCardParser(
                [&log](const QByteArray &name, const QList<VCardParser::Param> &params) {
                    QByteArray line = "P:" + name;
                    for (const auto &p : params)
                        line += ";" + p.name + (p.value ? "=" + *p.value : QByteArray());
                    log << line;
                },
                [&log](const QByteArray *value) { log << (value ? "V:" + *value : QByteArray("END")); });
        };
        VCardParser wholeParser = recorder(whole);
        QVERIFY(wholeParser.feed(input, true));
        VCardParser pieceParser = recorder(pieces);
        for (char c : input)
            QVERIFY(pieceParser.feed(QByteArray(1, c), false));
        QVERIFY(pieceParser.feed(QByteArray(), true));
        QCOMPARE(pieces, whole);
        QVERIFY(!whole.isEmpty());
    }

    void rejectedParserIgnoresLaterInput()
    {
        int properties = 0;
        VCardParser parser([&](const QByteArray &, const QList<VCardParser::Param> &) { ++properties; }, {});
        QVERIFY(!parser.feed("A;:1\r\n", false));
        QVERIFY(parser.rejected());
        QVERIFY(!parser.feed("B:2\r\n", true));
        QCOMPARE(properties, 0);
    }
};

QTEST_MAIN(TestVCard)
#include "tst_vcard.moc"
