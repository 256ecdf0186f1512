// The evidence package checked by the tools its recipient would use:
// sha256sum -c over the folder, pdfinfo and pdftotext over the PDF, a JSON
// reader over the manifest; and that it is never left half-written.

#include "core/tst_bubble_fixtures.h"

#include "export/ExportMessagesThread.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "work/HeadlessProgress.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Format = ExportMessagesThread::Format;

struct Run
{
    bool succeeded = false;
    QString error;
};

Run runEvidence(const MsgMessageList &messages, const QString &folder,
                const std::function<void(HeadlessProgress &)> &setUp = {})
{
    HeadlessProgress progress;
    if (setUp)
        setUp(progress);
    ExportMessagesThread worker(messages, folder, Format::FormatEvidence, &progress, nullptr,
                                QStringLiteral(FERRY_BINARY_DIR));
    worker.setEvidenceSource({QString(), QString(), QStringLiteral("Court bundle")});
    progress.runToEnd(worker);
    return {progress.succeeded(), progress.errorText()};
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ToolRun
{
    int exitCode = -1;
    QString output;
};

ToolRun runTool(const QString &program, const QStringList &arguments, const QString &folder = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {-1, program + QStringLiteral(" did not finish")};
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {exitCode, QString::fromUtf8(process.readAll())};
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A group of three with two senders, a one-to-one chat, a picture and two
// attachments whose stored names clash.
struct Fixture
{
    QTemporaryDir stored;
    ConversationBuilder build;
    _MsgHandle *omar = build.handle(QStringLiteral("+971501234567"), QStringLiteral("Omar Haddad"));
    _MsgHandle *bea = build.handle(QStringLiteral("+4915112345678"), QStringLiteral("Bea Lindqvist"));
    _MsgHandle *anna = build.handle(QStringLiteral("+79161234567"), QStringLiteral("Anna"));
    _MsgChat *group = build.chat(QStringLiteral("group-7f3a"), {omar, bea}, 200);
    _MsgChat *one = build.chat(QStringLiteral("+79161234567"), {anna}, 100);

    Fixture()
    {
        build.message(one, 0, QStringLiteral("See you at the notary"), false);
        build.message(one, 60, QStringLiteral("Agreed, 10 o'clock"), true);
        build.message(group, 120, QStringLiteral("The fence was broken on Monday"), false, omar);
        _MsgMessage *photo = build.message(group, 180, QStringLiteral("Photo of it"), false, bea);
        build.attachment(photo, QStringLiteral("image/png"),
                         storedFile("a/IMG.2023.01.05.png", ConversationBuilder::imageBytes(40, 30, "PNG")));
        _MsgMessage *second = build.message(group, 240, QString(), true);
        build.attachment(second, QStringLiteral("image/png"),
                         storedFile("b/IMG.2023.01.05.png", ConversationBuilder::imageBytes(30, 40, "PNG", Qt::blue)));
        // A name from a stranger's phone that would break a line of the sums.
        build.attachment(second, QStringLiteral("text/plain"), storedFile("c/odd\\name\nhere.txt", "note"));
        build.attachment(second, QStringLiteral("image/png"), stored.filePath(QStringLiteral("gone.png")));
    }

    QString storedFile(const QString &relative, const QByteArray &bytes)
    {
        const QString path = stored.filePath(relative);
        writeBytes(path, bytes);
        return path;
    }

    MsgMessageList inExportOrder() const
    {
        MsgMessageList messages = build.list();
        ExportMessagesThread::conversationOrder(messages);
        return messages;
    }
};

bool hasTools()
{
    for (const char *tool : {"sha256sum", "pdfinfo", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    return true;
}

} // namespace

class TestEvidence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!hasTools())
            QSKIP("sha256sum, pdfinfo and pdftotext are needed (coreutils, poppler-utils)");
    }

    // What a recipient checks: the sums, the PDF and its numbering, the rows.
    void packagePassesTheRecipientsChecks()
    {
        Fixture fixture;
        QTemporaryDir out;
        const QString folder = out.filePath(QStringLiteral("bundle"));
        const Run run = runEvidence(fixture.build.list(), folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"bundle"});

        const ToolRun check = runTool(QStringLiteral("sha256sum"), {"-c", "manifest.sha256"}, folder);
        QVERIFY2(check.exitCode == 0, qPrintable(check.output));
        QCOMPARE(check.output.count(QStringLiteral(": OK")), 5);  // PDF, three attachments, manifest.json

        const QString pdf = QDir(folder).filePath(QStringLiteral("messages.pdf"));
        const ToolRun info = runTool(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.exitCode == 0, qPrintable(info.output));
        const int pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info.output).captured(1).toInt();
        const ToolRun text = runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QCOMPARE(text.exitCode, 0);
        const QString shown = text.output.simplified();
        const auto totals = QRegularExpression(QStringLiteral("Page (\\d+) of (\\d+)")).globalMatch(shown);
        QSet<int> numbered;
        for (auto it = totals; it.hasNext();) {
            const QRegularExpressionMatch page = it.next();
            QCOMPARE(page.captured(2).toInt(), pages);
            numbered.insert(page.captured(1).toInt());
        }
        QCOMPARE(numbered.size(), pages);
        for (const QString &expected : {QStringLiteral("Source: local database Court bundle"),
                                        QStringLiteral("Message count: 5"), QStringLiteral("Exported: "),
                                        QStringLiteral("First message: "), QStringLiteral("Last message: "),
                                        QStringLiteral("Conversations: Anna (+79161234567); Omar Haddad"),
                                        QStringLiteral("Page 1 of "), QStringLiteral("No. 5, 2023-05-14T"),
                                        QStringLiteral("Omar Haddad The fence"),
                                        QStringLiteral("Bea Lindqvist Photo of it")})
            QVERIFY2(shown.contains(expected), qPrintable(expected + QStringLiteral(" not in: ") + shown));

        const QByteArray json = readAll(QDir(folder).filePath("manifest.json"));
        // Written a row at a time, it is still what a JSON writer makes of it.
        QCOMPARE(json, QJsonDocument::fromJson(json).toJson(QJsonDocument::Indented));
        const QJsonObject manifest = QJsonDocument::fromJson(json).object();
        const QJsonArray rows = manifest.value("messages").toArray();
        const MsgMessageList order = fixture.inExportOrder();
        QCOMPARE(rows.size(), order.size());
        QStringList attachmentNames;
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            QCOMPARE(row.value("number").toInt(), i + 1);
            QCOMPARE(row.value("text_sha256").toString(), sha256Hex(hashText(*order.at(i)).toUtf8()));
            QVERIFY(row.value("date_utc").toString().endsWith(QLatin1Char('Z')));
            QVERIFY(QRegularExpression(QStringLiteral("T\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"))
                        .match(row.value("date_local").toString())
                        .hasMatch());
            for (const QJsonValue &name : row.value("attachments").toArray())
                attachmentNames << name.toString();
        }
        QCOMPARE(attachmentNames, (QStringList{"attachments/IMG.2023.01.05.png", "attachments/IMG.2023.01.05(1).png",
                                               "attachments/oddnamehere.txt"}));
        // The missing one is named, not left out silently.
        QCOMPARE(rows.last().toObject().value("unreadable").toArray(), QJsonArray{"gone.png"});
    }

    void changedAttachmentFailsTheCheck()
    {
        Fixture fixture;
        QTemporaryDir out;
        const QString folder = out.filePath(QStringLiteral("bundle"));
        QVERIFY(runEvidence(fixture.build.list(), folder).succeeded);
        const QString picture = QDir(folder).filePath(QStringLiteral("attachments/IMG.2023.01.05.png"));
        QByteArray bytes = readAll(picture);
        QVERIFY(!bytes.isEmpty());
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 1);
        writeBytes(picture, bytes);
        const ToolRun check = runTool(QStringLiteral("sha256sum"), {"-c", "manifest.sha256"}, folder);
        QVERIFY(check.exitCode != 0);
        QVERIFY2(check.output.contains(QStringLiteral("IMG.2023.01.05.png: FAILED")), qPrintable(check.output));
    }

    // A folder holding something is replaced only after the question; an
    // empty one or none at all is simply used.
    void replacesOnlyAFolderThatHoldsSomething_data()
    {
        QTest::addColumn<QString>("existing");  // "", "folder", "folder with file", "file"
        QTest::addColumn<bool>("replaces");
        QTest::newRow("nothing there") << "" << false;
        QTest::newRow("empty folder") << "folder" << false;
        QTest::newRow("folder with a file") << "folder with file" << true;
        QTest::newRow("a file") << "file" << true;
    }

    void replacesOnlyAFolderThatHoldsSomething()
    {
        QFETCH(QString, existing);
        QFETCH(bool, replaces);
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("bundle"));
        if (existing == "file")
            writeBytes(target, "x");
        else if (existing == "folder")
            QVERIFY(QDir().mkpath(target));
        else if (existing == "folder with file")
            writeBytes(target + "/.hidden", "x");
        QCOMPARE(ExportMessagesThread::replacesFile({target, Format::FormatEvidence}), replaces);
    }

    // Cancelled or failed, a run leaves the place as it found it; a finished
    // one replaces the former package whole.
    void nothingHalfWritten()
    {
        Fixture fixture;
        QTemporaryDir out;
        const QString folder = out.filePath(QStringLiteral("bundle"));
        writeBytes(folder + "/old.txt", "the former package");

        const Run cancelled = runEvidence(fixture.build.list(), folder, [](HeadlessProgress &progress) {
            progress.cancel();  // seen at the first message, after the hidden folder was made
        });
        QVERIFY(!cancelled.succeeded);
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"bundle"});
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"old.txt"});

        const Run finished = runEvidence(fixture.build.list(), folder);
        QVERIFY2(finished.succeeded, qPrintable(finished.error));
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"bundle"});
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"manifest.json", "manifest.sha256", "messages.pdf"}));
    }
};

QTEST_MAIN(TestEvidence)
#include "tst_evidence.moc"
