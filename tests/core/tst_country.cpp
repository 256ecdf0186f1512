#include "TemporaryHome.h"
#include "app/AppFolders.h"
#include "country/Country.h"
#include "country/CountryLibDb.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <stdexcept>

// Normalisation decides which messages end up in one conversation, so its
// rules are pinned twice: on a hand-made India row and on the shipped data.
class TestCountry : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryHome> home;

    static Country india()
    {
        return Country(QStringLiteral("IN"), QStringLiteral("India"), QStringLiteral("Bharat"),
                       QStringLiteral("91"), QStringLiteral("404,405"), QStringLiteral("10"),
                       QStringLiteral("[7-9]\\d{9}"));
    }

    static QString writeFile(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return file.errorString();
        file.write(content);
        return QString();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QSet<QString> column(CountryLibDb &db, const QString &sql)
    {
        QSet<QString> values;
        Sqlite3Cursor cursor = db.queryThrow(sql);
        while (cursor.moveNext())
            values.insert(cursor.getText(0));
        return values;
    }

    static void addNormaliseExamples()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("national mobile") << "9876543210" << "+919876543210";
        QTest::newRow("trunk zero") << "09876543210" << "+919876543210";
        QTest::newRow("calling code without plus") << "919876543210" << "+919876543210";
        QTest::newRow("international with separators") << "+91 98765-43210" << "+919876543210";
        QTest::newRow("not mobile") << "2223334444" << "2223334444";
        QTest::newRow("sender name") << "AmazonIN" << "amazonin";
        QTest::newRow("e-mail sender kept whole") << "Bob.Smith+News@Example.COM"
                                                  << "bob.smith+news@example.com";
        QTest::newRow("brackets and blanks") << "(98765) 432-10" << "+919876543210";
        QTest::newRow("plus anywhere is kept") << "9876+543210" << "9876+543210";
    }

private slots:
    void init()
    {
        home = std::make_unique<TemporaryHome>();
        CountryLibDb::setResourcePathForTests(QString());
    }

    void cleanup()
    {
        CountryLibDb::setResourcePathForTests(QString());
        home.reset();
    }

    // ---------------------------------------------------------- rules on a known row

    void normaliseIndia_data() { addNormaliseExamples(); }
    void normaliseIndia()
    {
        QFETCH(QString, number);
        QFETCH(QString, expected);
        QCOMPARE(india().normalise(number), expected);
    }

    void withoutCountryNumbersAreOnlyCleaned_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("landline") << "(030) 12-34" << "0301234";
        QTest::newRow("mobile-looking") << "9876543210" << "9876543210";
        QTest::newRow("international") << "+49 30 1234" << "+49301234";
        QTest::newRow("sender name") << "DHL" << "dhl";
    }
    void withoutCountryNumbersAreOnlyCleaned()
    {
        QFETCH(QString, number);
        QFETCH(QString, expected);
        QCOMPARE(Country().normalise(number), expected);
    }

    // Senders that carry no Latin letter and no digit must not all collapse
    // into one empty address.
    void sendersWithoutDigitsStayApart_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cyrillic name") << QStringLiteral("Сбербанк") << QStringLiteral("сбербанк");
        QTest::newRow("greek capitals") << QStringLiteral("ΟΤΕ") << QStringLiteral("οτε");
        QTest::newRow("symbols only") << " *** " << "***";
        QTest::newRow("empty") << "" << "";
    }
    void sendersWithoutDigitsStayApart()
    {
        QFETCH(QString, number);
        QFETCH(QString, expected);
        QCOMPARE(india().normalise(number), expected);
    }

    void decimalDigitsOfOtherScriptsCount()
    {
        // Arabic-Indic and full-width digits, as some phones store them.
        QCOMPARE(india().normalise(QStringLiteral("٩٨٧٦٥٤٣٢١٠")), QStringLiteral("+919876543210"));
        QCOMPARE(india().normalise(QStringLiteral("０９８７６５４３２１０")), QStringLiteral("+919876543210"));
    }

    void mobilePatternMatchesWholeNumbersOnly_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("mobile");
        QTest::newRow("first alternative") << "630123456" << true;
        QTest::newRow("last alternative") << "751234567" << true;
        QTest::newRow("middle alternative inside a longer number") << "0612345678" << false;
        QTest::newRow("last alternative with a tail") << "7512345679" << false;
        QTest::newRow("trailing line break") << "751234567\n" << false;
    }
    void mobilePatternMatchesWholeNumbersOnly()
    {
        QFETCH(QString, number);
        QFETCH(bool, mobile);
        const Country france(QStringLiteral("FR"), QStringLiteral("France"), QStringLiteral("France"),
                             QStringLiteral("33"), QStringLiteral("208"), QStringLiteral("9"),
                             QStringLiteral("63[0-8]\\d{6}|69[157-9]\\d{6}|6[0-24-8]\\d{7}|7[5-9]\\d{7}"));
        QCOMPARE(france.isMobile(number), mobile);
    }

    void emptyPatternIsNeverMobile()
    {
        const Country noPattern(QStringLiteral("TA"), QStringLiteral("Tristan da Cunha"), QString(),
                                QStringLiteral("290"), QString(), QStringLiteral("4"), QString());
        QVERIFY(noPattern.mobilePattern().isEmpty());
        QVERIFY(!noPattern.isMobile(QStringLiteral("8999")));
        QCOMPARE(noPattern.normalise(QStringLiteral("8999")), QStringLiteral("8999"));
        QCOMPARE(noPattern.normalise(QStringLiteral("2908999")), QStringLiteral("+2908999"));
    }

    void validLengthsReadDecimalEntries_data()
    {
        QTest::addColumn<QString>("lengths");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("valid");
        QTest::newRow("single") << "10" << 10 << true;
        QTest::newRow("second of two") << "10,11" << 11 << true;
        QTest::newRow("not listed") << "10,11" << 9 << false;
        QTest::newRow("blanks around entries") << "7, 8 ,9" << 8 << true;
        QTest::newRow("leading zero is decimal") << "09" << 9 << true;
        QTest::newRow("empty list") << "" << 0 << false;
    }
    void validLengthsReadDecimalEntries()
    {
        QFETCH(QString, lengths);
        QFETCH(int, length);
        QFETCH(bool, valid);
        const Country country(QStringLiteral("XX"), QString(), QString(), QStringLiteral("1"),
                              QString(), lengths, QString());
        QCOMPARE(country.isValidLength(length), valid);
    }

    // ---------------------------------------------------------- the shipped reference data

    void shippedDataIsComplete()
    {
        CountryLibDb db;
        db.ensureOpen();
        QVERIFY(column(db, QStringLiteral("select sn from countries")).size() >= 230);
        QVERIFY(column(db, QStringLiteral("select mmc from mmc_sn")).size() >= 230);
        QCOMPARE(column(db, QStringLiteral("select sn from countries where numc is null or numc=''")).size(), 0);
        QCOMPARE(column(db, QStringLiteral("select name from sqlite_master where type='index' and name in "
                                           "('index_countries_pnum','index_mmc_sn')")).size(), 2);
        // Every code of mmc_sn leads to a country row.
        QCOMPARE(column(db, QStringLiteral("select m.mmc from mmc_sn m left join countries c "
                                           "on m.sn=c.sn where c.sn is null")).size(), 0);
    }

    void everyPatternAndLengthListIsUsable()
    {
        CountryLibDb db;
        db.ensureOpen();
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select sn, r1, numc from countries"));
        while (cursor.moveNext()) {
            const QString sn = cursor.getText(0);
            const QRegularExpression rx(cursor.getText(1));
            QVERIFY2(rx.isValid(), qPrintable(sn + QStringLiteral(": ") + rx.errorString()));
            for (const QString &entry : cursor.getText(2).split(QLatin1Char(','))) {
                bool ok = false;
                entry.toInt(&ok, 10);
                QVERIFY2(ok, qPrintable(sn));
            }
        }
    }

    // A country chosen from the list is the country used afterwards, calling
    // code and all, even where its first mobile code belongs to another.
    void everyChoiceLeadsToItsOwnCountry()
    {
        CountryLibDb db;
        QStringList wrong;
        int byLetters = 0;
        for (const CountryLibDb::SelectionEntry &entry : db.selectionList()) {
            byLetters += entry.mobileCode.size() == 2 ? 1 : 0;
            CountryLibDb chosen(entry.mobileCode);
            const Country country = chosen.current();
            if (country.name() != entry.name || country.callingCode() != entry.callingCode)
                wrong.append(QStringLiteral("%1 (+%2) -> %3 (+%4)")
                                 .arg(entry.name, entry.callingCode, country.name(), country.callingCode()));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
        QVERIFY(byLetters >= 22);
        QCOMPARE(CountryLibDb(QStringLiteral("MQ")).current().callingCode(), QStringLiteral("596"));
        QCOMPARE(CountryLibDb(QStringLiteral("404")).current().sn(), QStringLiteral("IN"));  // stored codes still work
    }

    void tellingRowsAgree_data()
    {
        QTest::addColumn<QString>("sn");
        QTest::addColumn<QString>("callingCode");
        QTest::addColumn<QString>("firstMobileCode");
        QTest::addColumn<QString>("name");
        QTest::newRow("India") << "IN" << "91" << "404" << "India";
        QTest::newRow("Brazil") << "BR" << "55" << "724" << "Brazil";
        QTest::newRow("France") << "FR" << "33" << "208" << "France";
        QTest::newRow("China") << "CN" << "86" << "460" << "China";
        QTest::newRow("Germany") << "DE" << "49" << "262" << "Germany";
    }
    void tellingRowsAgree()
    {
        QFETCH(QString, sn);
        QFETCH(QString, callingCode);
        QFETCH(QString, firstMobileCode);
        QFETCH(QString, name);
        CountryLibDb db;
        bool found = false;
        const Country country = db.countryBySn(sn, &found);
        QVERIFY(found);
        QCOMPARE(country.callingCode(), callingCode);
        QCOMPARE(country.mobileCodes().section(QLatin1Char(','), 0, 0), firstMobileCode);
        QCOMPARE(country.name(), name);
        QVERIFY(!country.localName().isEmpty());
        QCOMPARE(db.countryByMmc(firstMobileCode).sn(), sn);
    }

    void shippedIndiaNormalises_data() { addNormaliseExamples(); }
    void shippedIndiaNormalises()
    {
        QFETCH(QString, number);
        QFETCH(QString, expected);
        CountryLibDb db(QStringLiteral("404"));
        QCOMPARE(db.current().sn(), QStringLiteral("IN"));
        QCOMPARE(db.normalise(number), expected);
    }

    void sharedCallingCodesKeepTheirOwnRows_data()
    {
        QTest::addColumn<QString>("sn");
        QTest::addColumn<QString>("callingCode");
        QTest::addColumn<QString>("mobile");
        QTest::newRow("US") << "US" << "1" << "2015550123";
        QTest::newRow("Canada") << "CA" << "1" << "5062345678";
        QTest::newRow("Russia") << "RU" << "7" << "9123456789";
        QTest::newRow("Kazakhstan") << "KZ" << "7" << "7710009998";
        QTest::newRow("Jersey") << "JE" << "44" << "7797712345";
        QTest::newRow("Christmas Island") << "CX" << "61" << "412345678";
        QTest::newRow("Mayotte") << "YT" << "262" << "639012345";
        QTest::newRow("Saint Martin") << "MF" << "590" << "690001234";
        QTest::newRow("Curacao") << "CW" << "599" << "95181234";
    }
    void sharedCallingCodesKeepTheirOwnRows()
    {
        QFETCH(QString, sn);
        QFETCH(QString, callingCode);
        QFETCH(QString, mobile);
        CountryLibDb db;
        const Country country = db.countryBySn(sn);
        QCOMPARE(country.sn(), sn);
        QCOMPARE(country.callingCode(), callingCode);
        QVERIFY2(country.isMobile(mobile), qPrintable(country.mobilePattern()));
        QCOMPARE(country.normalise(mobile), QStringLiteral("+") + callingCode + mobile);
    }

    // Numbers that already carry the calling code are completed whatever
    // their kind, which needs the lengths of every number type.
    void callingCodeCompletesLandlines_data()
    {
        QTest::addColumn<QString>("mmc");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Berlin") << "262" << "49 30 123456" << "+4930123456";
        QTest::newRow("Paris") << "208" << "33 1 23 45 67 89" << "+33123456789";
        QTest::newRow("Berlin national stays") << "262" << "030 123456" << "030123456";
    }
    void callingCodeCompletesLandlines()
    {
        QFETCH(QString, mmc);
        QFETCH(QString, number);
        QFETCH(QString, expected);
        CountryLibDb db(mmc);
        QCOMPARE(db.normalise(number), expected);
    }

    void lookupsOfUnknownCodesReturnTheCurrentCountry()
    {
        CountryLibDb db(QStringLiteral("208"));
        bool found = true;
        QCOMPARE(db.countryByMmc(QStringLiteral("999"), &found).sn(), QStringLiteral("FR"));
        QVERIFY(!found);
        found = true;
        QCOMPARE(db.countryBySn(QStringLiteral("ZZ"), &found).sn(), QStringLiteral("FR"));
        QVERIFY(!found);
        QCOMPARE(db.countryBySn(QStringLiteral("de"), &found).sn(), QStringLiteral("DE"));
        QVERIFY(found);
    }

    void unknownOrEmptyCodeLeavesNoCountry_data()
    {
        QTest::addColumn<QString>("mmc");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown") << "999";
    }
    void unknownOrEmptyCodeLeavesNoCountry()
    {
        QFETCH(QString, mmc);
        CountryLibDb db(mmc);
        QVERIFY(db.current().isEmpty());
        QVERIFY(db.current().mobilePattern().isEmpty());
        QCOMPARE(db.normalise(QStringLiteral("(030) 12-34")), QStringLiteral("0301234"));
    }

    void selectionListIsByEnglishName()
    {
        CountryLibDb db;
        const QList<CountryLibDb::SelectionEntry> list = db.selectionList();
        QVERIFY(list.size() >= 230);
        for (int i = 1; i < list.size(); ++i)
            QVERIFY(list[i - 1].name.toUtf8() <= list[i].name.toUtf8());
        const auto india = std::find_if(list.cbegin(), list.cend(), [](const auto &e) {
            return e.name == QLatin1String("India");
        });
        QVERIFY(india != list.cend());
        QCOMPARE(india->callingCode, QStringLiteral("91"));
        QCOMPARE(india->mobileCode, QStringLiteral("404"));
        for (const CountryLibDb::SelectionEntry &entry : list)
            QVERIFY2(entry.mobileCode.size() == 3 || entry.mobileCode.size() == 2, qPrintable(entry.name));
    }

    // ---------------------------------------------------------- the copy in the data root

    void firstUseCopiesTheResource()
    {
        const QString path = CountryLibDb::localPath();
        QVERIFY(!QFileInfo::exists(path));
        CountryLibDb db;
        db.ensureOpen();
        QVERIFY(db.isOpen());
        QCOMPARE(QFileInfo(path).absolutePath(), dataRootDir().absolutePath());
        QCOMPARE(readFile(path), readFile(QStringLiteral(":res/countries.db")));
    }

    void staleCopyIsReplaced()
    {
        const QString path = CountryLibDb::localPath();
        QCOMPARE(writeFile(path, "left by an older version"), QString());
        CountryLibDb db(QStringLiteral("404"));
        QCOMPARE(db.current().sn(), QStringLiteral("IN"));
        QCOMPARE(readFile(path), readFile(QStringLiteral(":res/countries.db")));
    }

    void missingResourceIsAnError()
    {
        CountryLibDb::setResourcePathForTests(home->filePath(QStringLiteral("no-such.db")));
        CountryLibDb db;
        try {
            db.ensureOpen();
            QFAIL("no error");
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("can not find :res/countries.db."));
        }
        QVERIFY(!db.isOpen());
    }

    void missingResourceStillOpensAnExistingCopy()
    {
        { CountryLibDb first; first.ensureOpen(); }
        CountryLibDb::setResourcePathForTests(home->filePath(QStringLiteral("no-such.db")));
        CountryLibDb db(QStringLiteral("208"));
        QCOMPARE(db.current().sn(), QStringLiteral("FR"));
    }

    void uncreatableCopyIsAnError()
    {
        // A home below a plain file: the data root cannot exist.
        const QString blocker = home->filePath(QStringLiteral("file"));
        QCOMPARE(writeFile(blocker, "x"), QString());
        qputenv("HOME", (blocker + QStringLiteral("/home")).toUtf8());
        resetDataRootCacheForTests();
        CountryLibDb db;
        try {
            db.ensureOpen();
            QFAIL("no error");
        } catch (const std::runtime_error &e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith(QStringLiteral("can not create ") + CountryLibDb::localPath()
                                     + QStringLiteral(". ")), qPrintable(text));
            QVERIFY(text.size() > QStringLiteral("can not create . ").size() + CountryLibDb::localPath().size());
        }
    }
};

QTEST_GUILESS_MAIN(TestCountry)
#include "tst_country.moc"
