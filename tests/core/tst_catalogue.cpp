// The compiled-in resources: the message catalogue (and that every text the
// code hands to the translator is in it), the pictures and the style sheet.

#include "app/KeyTranslator.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const char *const kCataloguePath = ":/en.qm";

// Folders of the program's own sources; tests/ and tools/ are not scanned.
const QStringList kSourceFolders{"app",    "work",   "store", "country", "android", "views",
                                 "search", "import", "export", "ops",   "ui",      "cli"};

struct CodeLiteral
{
    QString location; // file:line
    QString text;
};

// Replaces comments and raw-string bodies by blanks (keeping line breaks) so
// that a tr() written in a comment or inside a raw string is not taken for
// code. Ordinary string and character literals are kept as they are: they
// hold the texts to collect, and comment markers inside them are not comments.
QString withoutComments(const QString &code)
{
    QString out = code;
    const qsizetype n = code.size();
    auto blank = [&out](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to; ++k) {
            if (out[k] != QLatin1Char('\n'))
                out[k] = QLatin1Char(' ');
        }
    };
    auto isIdentChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };

    qsizetype i = 0;
    while (i < n) {
        const QChar c = code[i];
        const QChar next = i + 1 < n ? code[i + 1] : QChar();
        if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
            qsizetype end = code.indexOf(QLatin1Char('\n'), i);
            if (end < 0)
                end = n;
            blank(i, end);
            i = end;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            qsizetype end = code.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? n : end + 2;
            blank(i, end);
            i = end;
        } else if (c == QLatin1Char('R') && next == QLatin1Char('"')
                   && (i == 0 || !isIdentChar(code[i - 1]) || code.mid(i - 2, 2) == QLatin1String("u8")
                       || code[i - 1] == QLatin1Char('u') || code[i - 1] == QLatin1Char('U')
                       || code[i - 1] == QLatin1Char('L'))) {
            const qsizetype open = code.indexOf(QLatin1Char('('), i + 2);
            if (open < 0)
                break;
            const QString closing = QLatin1Char(')') + code.mid(i + 2, open - i - 2) + QLatin1Char('"');
            qsizetype end = code.indexOf(closing, open);
            end = end < 0 ? n : end + closing.size();
            blank(i, end);
            i = end;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            qsizetype k = i + 1;
            while (k < n && code[k] != c && code[k] != QLatin1Char('\n'))
                k += code[k] == QLatin1Char('\\') ? 2 : 1;
            i = k + 1;
        } else {
            ++i;
        }
    }
    return out;
}

// The text of one or more adjacent C++ string literals ("a" "b" gives ab),
// with the usual escapes resolved; the bytes are taken as UTF-8.
QString literalText(const QString &literals)
{
    static const QRegularExpression piece(QStringLiteral("(?:u8)?\"((?:[^\"\\\\\\n]|\\\\.)*)\""));
    QByteArray bytes;
    auto it = piece.globalMatch(literals);
    while (it.hasNext()) {
        const QByteArray body = it.next().captured(1).toUtf8();
        for (qsizetype k = 0; k < body.size(); ++k) {
            if (body[k] != '\\' || k + 1 >= body.size()) {
                bytes += body[k];
                continue;
            }
            const char e = body[++k];
            switch (e) {
            case 'n': bytes += '\n'; break;
            case 't': bytes += '\t'; break;
            case 'r': bytes += '\r'; break;
            case '0': bytes += '\0'; break;
            case 'x': {
                qsizetype end = k + 1;
                while (end < body.size() && isxdigit(static_cast<unsigned char>(body[end])))
                    ++end;
                bytes += char(body.mid(k + 1, end - k - 1).toInt(nullptr, 16));
                k = end - 1;
                break;
            }
            default: bytes += e; break; // \" \\ \' \?
            }
        }
    }
    return QString::fromUtf8(bytes);
}

// Every string literal the code gives to the translator: tr("..."),
// translate("context", "..."), QT_TR_NOOP("...") and QT_TRANSLATE_NOOP("context", "...").
QList<CodeLiteral> translatedLiterals(const QString &fileName, const QString &code)
{
    static const QString lit = QStringLiteral("(?:u8)?\"(?:[^\"\\\\\\n]|\\\\.)*\"");
    static const QString lits = QStringLiteral("((?:%1\\s*)+)").arg(lit);
    static const QRegularExpression calls(
        QStringLiteral("\\b(?:tr|QT_TR_NOOP)\\s*\\(\\s*%1|\\b(?:translate|QT_TRANSLATE_NOOP)\\s*\\(\\s*%2\\s*,\\s*%1")
            .arg(lits, lit));

    const QString clean = withoutComments(code);
    QList<CodeLiteral> found;
    auto it = calls.globalMatch(clean);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString literals = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
        const qsizetype line = clean.left(m.capturedStart()).count(QLatin1Char('\n')) + 1;
        found.append({QStringLiteral("%1:%2").arg(fileName).arg(line), literalText(literals)});
    }
    return found;
}

struct CatalogueEntry
{
    QString context;
    QString source;
    QString translation;
};

// The messages of the catalogue's source file, in file order.
QList<CatalogueEntry> catalogueSource()
{
    QFile file(QStringLiteral(FERRY_SOURCE_DIR "/res/en.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<CatalogueEntry> entries;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            entries.append({context, xml.readElementText(), QString()});
        } else if (xml.name() == QLatin1String("translation") && !entries.isEmpty()) {
            entries.last().translation = xml.readElementText();
        }
    }
    return entries;
}

QStringList placeholdersIn(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%L?\\d+"));
    QStringList found;
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    return found;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    KeyTranslator translator;

    bool catalogueHas(const QString &source) const
    {
        return !translator.translate("any", source.toUtf8().constData()).isEmpty();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(translator.load(QString::fromLatin1(kCataloguePath)), "cannot load the catalogue");
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }

    void cleanupTestCase() { QCoreApplication::removeTranslator(&translator); }

    // Lookups ignore the caller's context: every class shares the one catalogue.
    void translatesFromAnyContext_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("english");
        QTest::newRow("tree root") << "MainWindow" << "IDS_ROOT_DEVICE" << "Devices";
        QTest::newRow("databases root") << "ItemModelMain" << "IDS_ROOT_LOCALDB" << "Local Databases";
        QTest::newRow("spelling kept") << "CountrySelForm" << "IDS_CANT_CONTINUE_WITHOUT_SEL_ONE_COUNTRY"
                                       << "Please select a cuntry code first to continue.";
        QTest::newRow("escaped characters") << "LocalDbSelForm" << "IDS_INVALID_LOCALDB_NAME"
                                            << "Invalid Local Database name(can't contain \\ / : * ? \" < > |).";
        QTest::newRow("chinese source") << "LocalDbSelForm" << QString::fromUtf8("确定") << "Confirm";
        QTest::newRow("counter text renamed") << "BackupSMSThread" << "SMS: %1/%2" << "Messages: %1/%2";
        QTest::newRow("menu entry") << "QObject" << "Export Messages to File" << "Export Messages to File";
        QTest::newRow("trailing blank kept") << "AndroidWIFIForm"
                                             << "If you haven't installed Ferrywright SMS Sync on Android phone, "
                                                "please go to the Market (Google Play) on your Android to search "
                                                "Ferrywright SMS Sync to download and install. "
                                             << "If you haven't installed Ferrywright SMS Sync on Android phone, "
                                                "please go to the Market (Google Play) on your Android to search "
                                                "Ferrywright SMS Sync to download and install. ";
        QTest::newRow("leading blank kept") << "MessageBoxes" << " for help." << " for help.";
    }

    void translatesFromAnyContext()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, english);
        QCOMPARE(QCoreApplication::translate(context.toUtf8().constData(), source.toUtf8().constData()), english);
    }

    void unknownTextFallsBackToItself()
    {
        QCOMPARE(QCoreApplication::translate("MainWindow", "IDS_NO_SUCH_KEY"), QStringLiteral("IDS_NO_SUCH_KEY"));
    }

    void placeholdersAreFilled_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two arguments") << "IDS_SUC_EXTRACT_%1_MEDIA_FILES_TO_%2" << QStringList{"3", "C:/out"}
                                       << "Successfully extacted 3 MMS attachment to C:/out.";
        QTest::newRow("key says %0, text says %1") << "IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0" << QStringList{"hello"}
                                                   << "Find no Message with keyword hello.";
        QTest::newRow("text says %0") << "IDS_DEL_LOCALDB_SUC" << QStringList{"Work"}
                                      << "Successfully Deleted Database Work.";
        QTest::newRow("question") << "IDS_CONFIRM_SEL_COUNTRY_%1" << QStringList{"Germany (+49)"}
                                  << "Confirm to select Germany (+49)?";
    }

    void placeholdersAreFilled()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QString text = QCoreApplication::translate("Any", key.toUtf8().constData());
        for (const QString &arg : args)
            text = text.arg(arg);
        QCOMPARE(text, expected);
    }

    // The compiled catalogue holds exactly what en.ts says, all in the one
    // context the translator reads, with every identifier given an English
    // text and placeholders kept wherever the source has them.
    void compiledCatalogueMatchesSource()
    {
        const QList<CatalogueEntry> entries = catalogueSource();
        QVERIFY2(entries.size() > 40, "en.ts not found or nearly empty");
        // The one text whose English wording has no place for its argument.
        const QStringList argumentIgnored{"IDS_ANDROID_%1_CANT_READ_MMC_NUMBER"};
        QSet<QString> seen;
        QStringList problems;
        for (const CatalogueEntry &e : entries) {
            if (e.context != QLatin1String(KeyTranslator::kContext))
                problems << QStringLiteral("%1: context %2").arg(e.source, e.context);
            if (seen.contains(e.source))
                problems << QStringLiteral("%1: listed twice").arg(e.source);
            seen.insert(e.source);
            if (translator.translate("x", e.source.toUtf8().constData()) != e.translation)
                problems << QStringLiteral("%1: compiled text differs").arg(e.source);
            if (e.translation.startsWith(QLatin1String("IDS_")))
                problems << QStringLiteral("%1: no English text").arg(e.source);
            if (!placeholdersIn(e.source).isEmpty() && placeholdersIn(e.translation).isEmpty()
                && !argumentIgnored.contains(e.source))
                problems << QStringLiteral("%1: placeholder lost").arg(e.source);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void scannerFindsTranslatedLiterals()
    {
        const QString code = QStringLiteral(
            "label->setText(tr(\"IDS_A\"));\n"
            "// tr(\"IDS_IN_COMMENT\")\n"
            "/* QT_TR_NOOP(\"IDS_IN_BLOCK\") */ auto u = QUrl(\"http://x//y\");\n"
            "QString s = QCoreApplication::translate(\"Ctx\", \"Say \\\"hi\\\"\");\n"
            "const char *k = QT_TR_NOOP(\"IDS_\" \"JOINED\");\n"
            "QObject::tr(u8\"确定\");\n"
            "ctr(\"NOT_ME\"); tr(variable); auto r = R\"(// tr(\"NOT_RAW\"))\"; tr(\"IDS_AFTER_RAW\");\n");
        QStringList texts;
        for (const CodeLiteral &l : translatedLiterals(QStringLiteral("x.cpp"), code))
            texts << l.text;
        QCOMPARE(texts, (QStringList{"IDS_A", "Say \"hi\"", "IDS_JOINED", QString::fromUtf8("确定"),
                                     "IDS_AFTER_RAW"}));
        QCOMPARE(translatedLiterals(QStringLiteral("x.cpp"), code).first().location, QStringLiteral("x.cpp:1"));
    }

    // A text handed to the translator but missing from the catalogue would
    // show its identifier (IDS_...) to the user.
    void everyTranslatedLiteralIsCatalogued()
    {
        const QDir root(QStringLiteral(FERRY_SOURCE_DIR));
        QStringList missing;
        int scanned = 0;
        for (const QString &folder : kSourceFolders) {
            QDirIterator it(root.filePath(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
                const QString code = QString::fromUtf8(file.readAll());
                for (const CodeLiteral &l : translatedLiterals(root.relativeFilePath(file.fileName()), code)) {
                    ++scanned;
                    if (!catalogueHas(l.text))
                        missing << QStringLiteral("%1: \"%2\"").arg(l.location, l.text);
                }
            }
        }
        QVERIFY2(scanned > 0, "no translated text found in the sources");
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("texts missing from res/en.ts:\n") + missing.join(QLatin1Char('\n'))));
    }

    void picturesLoad_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("minSize"); // the size where it is shown, so it is never stretched
        const QSize toolbar(52, 52), tree(18, 18);
        for (const char *name : {"backup", "a2a", "db2a", "extract_media", "export", "print", "delete"})
            QTest::newRow(name) << QStringLiteral(":res/%1.png").arg(QLatin1String(name)) << toolbar;
        for (const char *name : {"open_db_folder", "exit", "help", "unmount", "android", "contact", "database",
                                 "databases", "devices", "group", "iphone"})
            QTest::newRow(name) << QStringLiteral(":res/%1.png").arg(QLatin1String(name)) << tree;
        for (const char *name : {"search", "imsg-send", "imsg-rec", "icon_sms-sent", "icon_sms-receive"})
            QTest::newRow(name) << QStringLiteral(":/res/%1.png").arg(QLatin1String(name)) << tree;
        QTest::newRow("application icon") << ":main" << QSize(64, 64);
        QTest::newRow("application icon, slash form") << ":/main" << QSize(64, 64);
        QTest::newRow("main window background") << ":main_bg.jpg" << QSize(1000, 680);
        QTest::newRow("dialog background") << ":sub_bg.jpg" << QSize(404, 398);
    }

    void picturesLoad()
    {
        QFETCH(QString, path);
        QFETCH(QSize, minSize);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QVERIFY2(image.width() >= minSize.width() && image.height() >= minSize.height(),
                 qPrintable(QStringLiteral("%1 is %2x%3").arg(path).arg(image.width()).arg(image.height())));
    }

    void otherResourcesPresent_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("expectedStart");
        QTest::newRow("catalogue") << ":/en.qm" << QByteArray();
        QTest::newRow("schema script") << ":res/localmsgdb_ddl.sql" << QByteArray("CREATE");
        QTest::newRow("agent package") << ":/res/com.ferrywright.smssync.apk" << QByteArray();
        QTest::newRow("country database") << ":res/countries.db" << QByteArray("SQLite format 3");
        QTest::newRow("style sheet") << ":style.css" << QByteArray();
    }

    void otherResourcesPresent()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, expectedStart);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray data = file.readAll();
        QVERIFY(!data.isEmpty());
        QVERIFY(data.startsWith(expectedStart));
    }

    void styleSheetNamesItsWidgetsAndPictures()
    {
        QFile file(QStringLiteral(":/style.css"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString sheet = QString::fromLatin1(file.readAll());
        for (const char *name : {"lbSMSCount", "lbTitle", "lbConversation", "lbChatName", "treeViewDS", "treeViewSMS",
                                 "webViewSMS", "txtHandleKeyword", "txtSMSKeyword", "ProgressForm", "CountrySelForm",
                                 "QMessageBox", "MainWindow"})
            QVERIFY2(sheet.contains(QLatin1String(name)), name);

        static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
        QStringList pictures;
        auto it = url.globalMatch(sheet);
        while (it.hasNext())
            pictures << it.next().captured(1).trimmed();
        QCOMPARE(pictures, (QStringList{":/sub_bg.jpg", ":/main_bg.jpg"}));
        for (const QString &picture : pictures)
            QVERIFY2(!QImage(picture).isNull(), qPrintable(picture));
        QCOMPARE(sheet.count(QLatin1Char('{')), sheet.count(QLatin1Char('}')));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
