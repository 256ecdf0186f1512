// The file exports checked by the programs that read them: CSV through
// Python's csv module, HTML through xmllint and its own links, PDF through
// pdftoppm; the fixed text layout; conversation order, target names, and
// what a cancelled export leaves behind.

#include "core/tst_bubble_fixtures.h"

#include "export/ExportMessagesThread.h"
#include "work/HeadlessProgress.h"
#include "export/LocalTimeOffsets.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <time.h>

namespace {

using Format = ExportMessagesThread::Format;

QString dataFolder()
{
    return QStringLiteral(FERRY_BINARY_DIR);
}

struct Run
{
    bool succeeded = false;
    QString error;
    QString result;
};

// Runs an export to its end; `setUp` may hook into the progress first.
Run runExport(const MsgMessageList &messages, const QString &path, Format format,
              const std::function<void(HeadlessProgress &)> &setUp = {})
{
    HeadlessProgress progress;
    if (setUp)
        setUp(progress);
    ExportMessagesThread worker(messages, path, format, &progress, nullptr, dataFolder());
    progress.runToEnd(worker);
    return {progress.succeeded(), progress.errorText(), progress.resultText()};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every file below `folder`, relative, sorted.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    const QDir root(folder);
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << root.relativeFilePath(it.next());
    files.sort();
    return files;
}

QString toolOutput(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return QStringLiteral("%1 did not finish").arg(program);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

bool hasTool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// A one-to-one chat with a Cyrillic contact name and a group of three.
struct MixedConversations
{
    ConversationBuilder build;
    _MsgHandle *anna = build.handle(QStringLiteral("+79161234567"), QStringLiteral("Анна"));
    _MsgHandle *omar = build.handle(QStringLiteral("+971501234567"), QStringLiteral("عمر"));
    _MsgHandle *bea = build.handle(QStringLiteral("+4915112345678"));
    _MsgChat *one = build.chat(QStringLiteral("+79161234567"), {anna}, 100);
    _MsgChat *group = build.chat(QStringLiteral("group-7f3a"), {omar, bea}, 200);
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void targetForFilter_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");
        QTest::newRow("text, no suffix") << "/d/x" << 0 << "/d/x.txt" << int(Format::FormatText);
        QTest::newRow("doc, no suffix") << "/d/x" << 1 << "/d/x.doc" << int(Format::FormatText);
        QTest::newRow("doc keeps its suffix") << "/d/x.text" << 1 << "/d/x.text" << int(Format::FormatText);
        QTest::newRow("csv") << "/d/y" << 2 << "/d/y.csv" << int(Format::FormatCsv);
        QTest::newRow("pdf folder") << "/d/report.pdf" << 3 << "/d/report-pdf" << int(Format::FormatPdf);
        QTest::newRow("html folder, first dot") << "/d/a.b.html" << 4 << "/d/a-html" << int(Format::FormatHtml);
        QTest::newRow("html, no suffix") << "/d/a" << 4 << "/d/a-html" << int(Format::FormatHtml);
        QTest::newRow("ndjson") << "/d/z" << 5 << "/d/z.ndjson" << int(Format::FormatNdjson);
    }

    void targetForFilter()
    {
        QFETCH(QString, chosen);
        QFETCH(int, filter);
        const auto target = ExportMessagesThread::targetFor(chosen, filter);
        QVERIFY(target);
        QTEST(target->path, "path");
        QTEST(int(target->format), "format");
        QVERIFY(!ExportMessagesThread::targetFor(QString(), filter));
    }

    // The cached zone offsets give the C library's local time on both sides
    // of daylight-saving changes, going forwards and backwards.
    void localTimesAcrossTransitions()
    {
        const QByteArray savedZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        LocalTimeOffsets offsets;
        const qint64 spring = QDateTime(QDate(2023, 3, 25), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 autumn = QDateTime(QDate(2023, 10, 30), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
        const QString format = QStringLiteral("yyyy-MM-ddThh:mm:ss");
        QStringList mismatches;
        for (qint64 step = 0; step < 2 * 24 * 12; ++step) {
            // 5-minute steps forwards over the spring change, alternating
            // with steps backwards over the autumn one.
            for (const qint64 t : {spring + step * 300, autumn - step * 300}) {
                const QString expected = QDateTime::fromSecsSinceEpoch(t, Qt::LocalTime).toString(format);
                const QString got = offsets.localDateTime(t).toString(format);
                if (got != expected)
                    mismatches << expected + " / " + got;
            }
        }
        qputenv("TZ", savedZone);
        if (savedZone.isEmpty())
            qunsetenv("TZ");
        tzset();
        QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.mid(0, 5).join(", ")));
    }

    // Conversations never interleave, even when chats share their newest date
    // or differ only in letter case; messages without a chat form one group.
    void conversationOrderKeepsConversationsTogether()
    {
        ConversationBuilder build;
        _MsgChat *a = build.chat(QStringLiteral("abc"), {build.handle("1")}, 500);
        _MsgChat *b = build.chat(QStringLiteral("xyz"), {build.handle("2")}, 500);
        _MsgChat *upperA = build.chat(QStringLiteral("ABC"), {build.handle("3")}, 100);
        _MsgChat *early = build.chat(QStringLiteral("early"), {build.handle("4")}, 50);
        for (int i = 0; i < 12; ++i) {
            _MsgChat *chats[] = {a, b, upperA, nullptr, early, b};
            build.message(chats[i % 6], i * 10, QString::number(i), false);
        }
        MsgMessageList list = build.list();
        ExportMessagesThread::conversationOrder(list);
        QStringList groups;
        for (const _MsgMessage *m : list) {
            const QString key = m->chat ? m->chat->chat_identifier.toLower() : QStringLiteral("-");
            if (groups.isEmpty() || groups.last() != key)
                groups << key;
        }
        QCOMPARE(groups, (QStringList{"-", "early", "abc", "xyz"}));
        for (qsizetype i = 1; i < list.size(); ++i) {
            if (list[i]->chat == list[i - 1]->chat)
                QVERIFY(list[i - 1]->date <= list[i]->date);
        }
    }

    // Header and columns padded to 30, 6 and 40; every kind of line break in
    // names and texts becomes a space, NUL goes; a group's sender and a
    // subject lead the text; emoji print as [EMOJI]; scripts pass unchanged.
    // The .doc file is the same text.
    void textLayoutPinned()
    {
        MixedConversations c;
        c.build.message(c.one, 0, QStringLiteral("Привет, как дела?"), false);
        c.build.message(c.one, 60, QStringLiteral("line one\r\nline two 😄"), true);
        c.build.message(c.group, 120, QStringLiteral("مرحبا بالعالم 你好"), false, c.omar);
        _MsgMessage *mms = c.build.message(c.one, 180, QStringLiteral("a\u2028b\u0085c\x0B" "d\x0C" "e") + QChar(0) + "f", false);
        mms->subject = QStringLiteral("Party\ntime");
        c.anna->_ct_name = QStringLiteral("Ан\nна");
        QTemporaryDir dir;
        const QString txt = dir.filePath("x.txt");
        const QString doc = dir.filePath("x.doc");
        QVERIFY(runExport(c.build.list(), txt, Format::FormatText).succeeded);
        QVERIFY(runExport(c.build.list(), doc, Format::FormatText).succeeded);

        const auto date = [](qint32 offset) {
            const QLocale locale = QLocale::system();
            return locale.toString(appleTimeToDateTime(ConversationBuilder::baseDate() + offset),
                                   locale.dateTimeFormat(QLocale::ShortFormat))
                .leftJustified(30);
        };
        const QString expected = QStringLiteral("Date                          Flag  Name                                    Message\n")
            + date(0) + QStringLiteral("From  Ан на                                   Привет, как дела?\n")
            + date(60) + QStringLiteral("To    Ан на                                   line one line two [EMOJI]\n")
            + date(120) + QStringLiteral("From  عمر, +4915112345678                     عمر: مرحبا بالعالم 你好\n")
            + date(180) + QStringLiteral("From  Ан на                                   <Subject:Party time> a b c d ef\n");
        QCOMPARE(QString::fromUtf8(readAll(txt)), expected);
        QCOMPARE(readAll(doc), readAll(txt));
        QVERIFY(!readAll(txt).startsWith("\xEF\xBB\xBF"));
    }

    // A standard reader gets every field back: quotes, commas, line breaks,
    // emoji and right-to-left text, a group's sender and a subject in the
    // columns after the first five; names stay on one line, NUL goes; the
    // file is strict UTF-8.
    void csvReadsBackWithPython()
    {
        if (!hasTool(QStringLiteral("python3")))
            QSKIP("python3 is not installed");
        MixedConversations c;
        const QStringList contents{
            QStringLiteral("He said \"hi\""), QStringLiteral("a, b, c"), QStringLiteral("two\nlines"),
            QStringLiteral("carriage\rreturn"), QStringLiteral("😄 emoji 👍"), QStringLiteral("שלום עולם, مرحبا"),
            QStringLiteral("plain"), QStringLiteral("nul") + QChar(0) + QStringLiteral("\u2028line")};
        c.group->chat_identifier = QStringLiteral("group\n7f3a");
        for (int i = 0; i < contents.size(); ++i)
            c.build.message(i % 2 ? c.group : c.one, i * 60, contents[i], i % 3 == 0, c.omar)->subject =
                i == 1 ? QStringLiteral("re, \"that\"") : QString();
        QTemporaryDir dir;
        const QString csv = dir.filePath("m.csv");
        QVERIFY(runExport(c.build.list(), csv, Format::FormatCsv).succeeded);

        int exitCode = -1;
        const QString json = toolOutput(QStringLiteral("python3"),
                                        {QStringLiteral(FERRY_SOURCE_DIR "/tests/core/csv_readback.py"), csv},
                                        &exitCode);
        QCOMPARE(exitCode, 0);
        const QJsonArray records = QJsonDocument::fromJson(json.toUtf8()).array();
        QCOMPARE(records.size(), contents.size() + 1);
        QCOMPARE(records.at(0).toVariant().toStringList(),
                 (QStringList{"date", "send", "person", "number", "content", "sender", "subject"}));
        QStringList expectedContents = contents;
        expectedContents.last() = QStringLiteral("nul\nline");
        for (int i = 0; i < contents.size(); ++i) {
            const QStringList fields = records.at(i + 1).toVariant().toStringList();
            const QString when = appleTimeToDateTime(ConversationBuilder::baseDate() + i * 60)
                                     .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            const bool sent = i % 3 == 0;
            const QStringList who = i % 2 ? QStringList{"group 7f3a", "group 7f3a"}
                                          : QStringList{"Анна", "+79161234567"};
            const QString sender = i % 2 && !sent ? QStringLiteral("عمر") : QString();
            const QString subject = i == 1 ? QStringLiteral("re, \"that\"") : QString();
            QCOMPARE(fields, (QStringList{when, sent ? "1" : "0", who[0], who[1], expectedContents[i], sender, subject}));
        }
    }

    // Python's json reads one object per message back: exact texts (quotes,
    // line breaks, emoji, right-to-left), the date in UTC, the sender of a
    // received message, and each attachment with its SHA-256.
    void ndjsonReadsBackWithPython()
    {
        if (!hasTool(QStringLiteral("python3")))
            QSKIP("python3 is not installed");
        QTemporaryDir sources;
        const QString photo = sources.filePath("photo.jpg");
        writeBytes(photo, "not really a photo");
        MixedConversations c;
        const QStringList texts{QStringLiteral("He said \"hi\"\nthen left 😄"), QStringLiteral("שלום, مرحبا")};
        c.build.message(c.one, 0, texts[0], true);
        _MsgMessage *received = c.build.message(c.group, 60, texts[1], false, c.omar);
        received->subject = QStringLiteral("Party");
        c.build.attachment(received, QStringLiteral("image/jpeg"), photo);
        c.build.attachment(received, QStringLiteral("image/jpeg"), sources.filePath("gone.jpg"));
        QTemporaryDir dir;
        const QString path = dir.filePath("m.ndjson");
        QVERIFY(runExport(c.build.list(), path, Format::FormatNdjson).succeeded);

        int exitCode = -1;
        const QString json = toolOutput(
            QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import json,sys; print(json.dumps([json.loads(l) for l in "
                            "open(sys.argv[1], encoding='utf-8', errors='strict')]))"),
             path},
            &exitCode);
        QCOMPARE(exitCode, 0);
        const QJsonArray records = QJsonDocument::fromJson(json.toUtf8()).array();
        QCOMPARE(records.size(), 2);
        const QJsonObject sent = records.at(0).toObject();
        QCOMPARE(sent.value("text").toString(), texts[0]);
        QCOMPARE(sent.value("direction").toString(), QStringLiteral("sent"));
        QCOMPARE(sent.value("date").toString(),
                 appleTimeToDateTime(ConversationBuilder::baseDate()).toUTC().toString(Qt::ISODate));
        QVERIFY(sent.value("date").toString().endsWith('Z'));
        const QJsonObject got = records.at(1).toObject();
        QCOMPARE(got.value("text").toString(), texts[1]);
        QCOMPARE(got.value("from").toString(), c.omar->id);
        QCOMPARE(got.value("subject").toString(), QStringLiteral("Party"));
        QCOMPARE(got.value("conversation").toString(), QStringLiteral("group-7f3a"));
        QCOMPARE(got.value("addresses").toArray().size(), 2);
        const QJsonArray attachments = got.value("attachments").toArray();
        QCOMPARE(attachments.size(), 2);
        QSet<QString> hashes;
        for (const QJsonValue &attachment : attachments)
            hashes << (attachment.toObject().value("sha256").isNull() ? QStringLiteral("null")
                                                                      : attachment.toObject().value("sha256").toString());
        QCOMPARE(hashes, (QSet<QString>{QString::fromLatin1(QCryptographicHash::hash("not really a photo",
                                                                                    QCryptographicHash::Sha256).toHex()),
                                        QStringLiteral("null")}));
    }

    // Every page is well-formed; every link stays in the export folder and
    // names a file that is there; copies never overwrite each other.
    void htmlPagesAreWellFormedAndSelfContained()
    {
        if (!hasTool(QStringLiteral("xmllint")))
            QSKIP("xmllint is not installed (package libxml2-utils)");
        QTemporaryDir sources;
        const QString photoA = sources.filePath("a/photo.jpg");
        const QString photoB = sources.filePath("b/photo.jpg");
        const QString odd = sources.filePath("c/odd #1 & <x>.png");
        const QString card = sources.filePath("c/contact.vcf");
        const QString note = sources.filePath("c/note.txt");
        writeBytes(photoA, ConversationBuilder::imageBytes(300, 200, "JPEG"));
        writeBytes(photoB, ConversationBuilder::imageBytes(200, 300, "JPEG", Qt::blue));
        writeBytes(odd, ConversationBuilder::imageBytes(40, 40, "PNG"));
        writeBytes(card, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë Ng\r\nTEL:+15550100\r\nEND:VCARD\r\n");
        writeBytes(note, "a text part </div> & more");

        MixedConversations c;
        c.build.message(c.one, 0, QStringLiteral("<b>not bold</b> & \"quoted\" 😄"), false);
        _MsgMessage *pictures = c.build.message(c.one, 30, QString(), true);
        c.build.attachment(pictures, QStringLiteral("image/jpeg"), photoA);
        c.build.attachment(pictures, QStringLiteral("image/jpeg"), photoB);
        c.build.attachment(pictures, QStringLiteral("IMAGE/png"), odd);
        _MsgMessage *others = c.build.message(c.group, 200, QStringLiteral("files"), false, c.bea);
        c.build.attachment(others, QStringLiteral("text/x-vCard"), card);
        c.build.attachment(others, QStringLiteral("text/plain"), note);
        c.build.attachment(others, QStringLiteral("video/mp4"), sources.filePath("gone.mp4"));
        c.build.attachment(others, QStringLiteral("image/jpeg"), sources.filePath("gone.jpg"));

        QTemporaryDir dir;
        const QString folder = dir.filePath("out-html");
        QVERIFY(runExport(c.build.list(), folder, Format::FormatHtml).succeeded);

        const QStringList pages = QDir(folder).entryList({"*.html"}, QDir::Files, QDir::Name);
        QCOMPARE(pages, (QStringList{"group-7f3a.html", "Анна (+79161234567).html"}));
        QVERIFY(QFileInfo::exists(folder + "/files/style.css"));
        QVERIFY(QFileInfo::exists(folder + "/files/bb1_05.png"));

        const QString root = QDir(folder).canonicalPath() + QLatin1Char('/');
        static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        QSet<QString> linked;
        for (const QString &page : pages) {
            int exitCode = -1;
            const QString complaint = toolOutput(QStringLiteral("xmllint"),
                                                 {"--noout", "--nonet", QDir(folder).filePath(page)}, &exitCode);
            QVERIFY2(exitCode == 0, qPrintable(page + ": " + complaint));
            const QString markup = QString::fromUtf8(readAll(QDir(folder).filePath(page)));
            for (auto it = link.globalMatch(markup); it.hasNext();) {
                const QString target = QUrl::fromPercentEncoding(it.next().captured(1).replace("&amp;", "&").toUtf8());
                if (target == QLatin1String("#"))
                    continue;
                QVERIFY2(!target.contains(':') && !target.startsWith('/'), qPrintable(target));
                const QString file = QFileInfo(QDir(folder).filePath(target)).canonicalFilePath();
                QVERIFY2(!file.isEmpty(), qPrintable("missing: " + target));
                QVERIFY2(file.startsWith(root), qPrintable(target));
                linked << QDir(folder).relativeFilePath(file);
            }
        }
        QVERIFY(readAll(QDir(folder).filePath(pages.last())).contains("&lt;b&gt;not bold&lt;/b&gt; &amp;"));
        QCOMPARE(QDir(folder + "/emoji").entryList(QDir::Files), QStringList{"1F604.png"});
        // Both photo.jpg copies and their thumbnails, the odd name, the card picture.
        for (const char *expected : {"files/photo.jpg", "files/photo(1).jpg", "files/photo_thumb.jpg",
                                     "files/photo_thumb(1).jpg", "files/odd #1 & x.png", "files/contact_card.jpg",
                                     "files/contact.vcf", "files/empty_photo.jpg", "files/style.css"})
            QVERIFY2(linked.contains(QLatin1String(expected)), expected);
        QVERIFY(readAll(folder + "/files/photo(1).jpg") == readAll(photoB)
                || readAll(folder + "/files/photo.jpg") == readAll(photoB));
    }

    // A date line opens every page and follows a gap of more than a minute.
    void htmlDateLines()
    {
        ConversationBuilder build;
        _MsgChat *first = build.chat(QStringLiteral("1"), {build.handle("1")}, 1);
        _MsgChat *second = build.chat(QStringLiteral("2"), {build.handle("2")}, 2);
        for (const qint32 offset : {0, 60, 121, 150})
            build.message(first, offset, QStringLiteral("m"), false);
        build.message(second, 151, QStringLiteral("m"), false);
        QTemporaryDir dir;
        QVERIFY(runExport(build.list(), dir.filePath("h"), Format::FormatHtml).succeeded);
        QCOMPARE(readAll(dir.filePath("h/1.html")).count("class=\"dt\""), 2);
        QCOMPARE(readAll(dir.filePath("h/2.html")).count("class=\"dt\""), 1);
    }

    // Names from phones are capped in bytes, between characters: 120 Chinese
    // characters, or pairs of UTF-16 units, still make a file name.
    void longNamesFitTheFileSystem_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        const QString chinese = QString(120, QChar(0x6C49));
        const QString pairs = QStringLiteral("a") + QString::fromUtf8("\xF0\xA0\x80\x80").repeated(70);
        QTest::newRow("html, chinese") << int(Format::FormatHtml) << chinese;
        QTest::newRow("pdf, chinese") << int(Format::FormatPdf) << chinese;
        QTest::newRow("html, surrogate pairs") << int(Format::FormatHtml) << pairs;
    }

    void longNamesFitTheFileSystem()
    {
        QFETCH(int, format);
        QFETCH(QString, name);
        ConversationBuilder build;
        _MsgChat *chat = build.chat(QStringLiteral("1"), {build.handle("+15550100", name)}, 1);
        build.message(chat, 0, QStringLiteral("hi"), false);
        build.message(chat, 10, QStringLiteral("again"), false);
        QTemporaryDir dir;
        const QString folder = dir.filePath("out");
        const Run run = runExport(build.list(), folder, Format(format));
        QVERIFY2(run.succeeded, qPrintable(run.error));
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QByteArray bytes = files.first().toUtf8();
        QVERIFY(bytes.size() <= 255);
        QVERIFY2(!files.first().contains(QChar::ReplacementCharacter) && QString::fromUtf8(bytes) == files.first(),
                 bytes.constData());
    }

    // GIF, BMP and WebP pictures show as their copies, never as the placeholder.
    void htmlShowsPicturesOfEveryFormat()
    {
        QTemporaryDir sources;
        const QList<QPair<QString, QByteArray>> pictures{
            {"moving.gif", QByteArray::fromBase64("R0lGODlhAQABAIAAAP8AAAAAACwAAAAAAQABAAACAkQBADs=")},
            {"drawn.bmp", ConversationBuilder::imageBytes(40, 30, "BMP")},
            {"modern.webp", ConversationBuilder::imageBytes(40, 30, "WEBP")}};
        ConversationBuilder build;
        _MsgChat *chat = build.chat(QStringLiteral("1"), {build.handle("1")}, 1);
        _MsgMessage *message = build.message(chat, 0, QString(), false);
        for (const auto &[name, bytes] : pictures) {
            QVERIFY(!bytes.isEmpty());
            writeBytes(sources.filePath(name), bytes);
            build.attachment(message, QStringLiteral("image/") + QFileInfo(name).suffix(), sources.filePath(name));
        }
        QTemporaryDir dir;
        const QString folder = dir.filePath("h");
        QVERIFY(runExport(build.list(), folder, Format::FormatHtml).succeeded);
        const QByteArray page = readAll(folder + "/1.html");
        QVERIFY(!page.contains("empty_photo"));
        for (const auto &picture : pictures)
            QVERIFY2(page.contains("<img src=\"files/" + picture.first.toUtf8() + "\""), qPrintable(picture.first));
    }

    // An attachment that cannot be read shows as the placeholder; the rest
    // of the export goes on and the result names that file.
    void htmlGoesOnPastAnUnreadableAttachment()
    {
        const QString unreadable = QStringLiteral("/proc/self/mem");  // opens, but every read at 0 fails
        if (!QFileInfo(unreadable).isFile())
            QSKIP("needs /proc/self/mem");
        QTemporaryDir sources;
        writeBytes(sources.filePath("photo.jpg"), ConversationBuilder::imageBytes(60, 40, "JPEG"));
        ConversationBuilder build;
        _MsgChat *chat = build.chat(QStringLiteral("1"), {build.handle("1")}, 1);
        _MsgMessage *message = build.message(chat, 0, QStringLiteral("two pictures"), false);
        build.attachment(message, QStringLiteral("image/jpeg"), unreadable);
        build.attachment(message, QStringLiteral("image/jpeg"), sources.filePath("photo.jpg"));
        build.message(chat, 10, QStringLiteral("after them"), false);
        QTemporaryDir dir;
        const QString folder = dir.filePath("h");
        const Run run = runExport(build.list(), folder, Format::FormatHtml);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QVERIFY2(run.result.contains(unreadable), qPrintable(run.result));
        const QByteArray page = readAll(folder + "/1.html");
        QVERIFY(page.contains("files/empty_photo.jpg") && page.contains("files/photo.jpg") && page.contains("after them"));
        QVERIFY(!QFileInfo::exists(folder + "/files/mem"));
    }

    // A received text that looks like page markup stays text: it names no
    // file the export copies, and the export goes through.
    void htmlStrangerTextCopiesNothing()
    {
        ConversationBuilder build;
        _MsgChat *chat = build.chat(QStringLiteral("1"), {build.handle("1")}, 1);
        build.message(chat, 0, QStringLiteral("look: src=\"emoji/../bubble/style.css\" ok"), false);
        build.message(chat, 10, QStringLiteral("<img src=\"emoji/../../../../etc/hostname\">"), false);
        QTemporaryDir dir;
        const QString folder = dir.filePath("h");
        const Run run = runExport(build.list(), folder, Format::FormatHtml);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"h"});
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"1.html", "files"}));
        QVERIFY(readAll(folder + "/1.html").contains("src=&quot;emoji/../bubble/style.css&quot; ok"));
    }

    // One PDF per conversation; pdftoppm renders every page, and every page
    // shows bubbles (the bubble pictures' colours, not just background).
    void pdfPagesRenderWithBubbles()
    {
        if (!hasTool(QStringLiteral("pdftoppm")))
            QSKIP("pdftoppm is not installed (package poppler-utils)");
        MixedConversations c;
        for (int i = 0; i < 60; ++i)
            c.build.message(c.one, i * 120, QStringLiteral("Message %1 – сообщение – رسالة").arg(i), i % 2);
        c.build.message(c.group, 9000, QStringLiteral("group"), false, c.omar);
        QTemporaryDir dir;
        const QString folder = dir.filePath("p");
        QVERIFY(runExport(c.build.list(), folder, Format::FormatPdf).succeeded);
        QCOMPARE(QDir(folder).entryList({"*.pdf"}, QDir::Files).size(), 2);

        const QString pdf = folder + "/Анна (+79161234567).pdf";
        int exitCode = -1;
        const QString output = toolOutput(QStringLiteral("pdftoppm"), {"-r", "48", "-png", pdf, dir.filePath("page")},
                                          &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
        const QStringList pngs = QDir(dir.path()).entryList({"page-*.png"}, QDir::Files, QDir::Name);
        // 60 messages of a date line and one bubble each fill five pages.
        QVERIFY2(pngs.size() >= 5 && pngs.size() <= 7, qPrintable(QString::number(pngs.size())));
        for (const QString &png : pngs) {
            const QImage page(dir.filePath(png));
            int background = 0;
            int other = 0;
            for (int y = 0; y < page.height(); y += 2) {
                for (int x = 0; x < page.width(); x += 2) {
                    const QRgb p = page.pixel(x, y);
                    if (qAbs(qRed(p) - 219) + qAbs(qGreen(p) - 226) + qAbs(qBlue(p) - 237) < 6)
                        ++background;
                    else if (p != qRgb(255, 255, 255))
                        ++other;
                }
            }
            QVERIFY2(background > 1000, qPrintable(png));
            QVERIFY2(other > 500, qPrintable(png));
        }
    }

    // A text longer than a page continues on the next pages instead of
    // running off the first one: pdftotext finds every line.
    void pdfKeepsEveryLineOfALongText()
    {
        if (!hasTool(QStringLiteral("pdftotext")))
            QSKIP("pdftotext is not installed (package poppler-utils)");
        QStringList lines;
        for (int i = 1; i <= 300; ++i)
            lines << QStringLiteral("line %1 of the statement").arg(i);
        ConversationBuilder build;
        build.message(build.chat(QStringLiteral("long"), {build.handle("1")}), 0, lines.join('\n'), false);
        QTemporaryDir dir;
        QVERIFY(runExport(build.list(), dir.filePath("p"), Format::FormatPdf).succeeded);
        int exitCode = -1;
        const QString text = toolOutput(QStringLiteral("pdftotext"), {dir.filePath("p/1.pdf"), QStringLiteral("-")},
                                        &exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(text.count(QLatin1Char('\f')) >= 4, qPrintable(QString::number(text.count(QLatin1Char('\f')))));
        for (const QString &line : lines)
            QVERIFY2(text.contains(line + QLatin1Char('\n')), qPrintable(line));
    }

    // A cancelled export takes back what it made and nothing else.
    void cancelRemovesOnlyWhatTheExportMade_data()
    {
        QTest::addColumn<bool>("folderExisted");
        QTest::newRow("new folder") << false;
        QTest::newRow("user's folder") << true;
    }

    void cancelRemovesOnlyWhatTheExportMade()
    {
        QFETCH(bool, folderExisted);
        ConversationBuilder build;
        for (int chat = 0; chat < 3; ++chat) {
            _MsgChat *c = build.chat(QString::number(chat), {build.handle(QString::number(chat))}, chat);
            build.chatter(c, 3000);
        }
        QTemporaryDir dir;
        const QString folder = dir.filePath("Documents");
        QStringList before;
        if (folderExisted) {
            writeBytes(folder + "/letter.txt", "mine");
            writeBytes(folder + "/files/mine.png", "mine too");
            writeBytes(folder + "/0.html", "an older page");
            before = filesBelow(folder);
        }
        const Run run = runExport(build.list(), folder, Format::FormatHtml, [](HeadlessProgress &progress) {
            QObject::connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress] {
                if (progress.progressText().startsWith(QLatin1String("Messages:")))
                    progress.cancel();
            });
        });
        QVERIFY(!run.succeeded);
        QVERIFY(run.error.isEmpty());
        if (folderExisted) {
            QCOMPARE(filesBelow(folder), before);
            QCOMPARE(readAll(folder + "/0.html"), QByteArray("an older page"));
        } else {
            QVERIFY(!QFileInfo::exists(folder));
        }
    }

    // A file that cannot be written is reported; an existing text file keeps
    // its content when the export fails or is cancelled.
    void failureKeepsTheFormerFile()
    {
        ConversationBuilder build;
        build.chatter(build.chat(QStringLiteral("1"), {build.handle("1")}), 3);
        QTemporaryDir dir;
        const Run blocked = runExport(build.list(), dir.filePath("missing/x.csv"), Format::FormatCsv);
        QVERIFY(!blocked.succeeded);
        QVERIFY(!blocked.error.isEmpty());

        const QString csv = dir.filePath("old.csv");
        writeBytes(csv, "keep me");
        const Run cancelled = runExport(build.list(), csv, Format::FormatCsv, [](HeadlessProgress &progress) {
            progress.cancel();
        });
        QVERIFY(!cancelled.succeeded);
        QCOMPARE(readAll(csv), QByteArray("keep me"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.csv"});
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
