// Backup, attachment extraction and deletion as their workers do them: what
// reaches the disk, and that a cancelled run leaves nothing behind.

#include "app/KeyTranslator.h"
#include "ops/AttachmentExtractThread.h"
#include "ops/BackupSMSThread.h"
#include "ops/DeleteMMSThread.h"
#include "export/ExportMessagesThread.h"
#include "store/AppleTime.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "work/HeadlessProgress.h"

#include "core/CrashPoints.h"
#include "core/tst_localdb_fixtures.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <memory>

using namespace localdbtest;

namespace {

// Takes a worker's reports on the worker's own thread (direct calls), so a
// cancel lands exactly between two items.
class InlineReporter : public QObject, public ProgressReporter
{
    Q_OBJECT
public:
    // `cancelAtReport`: the progress report after which the user cancels (0: never).
    explicit InlineReporter(int cancelAtReport = 0) : m_cancelAt(cancelAtReport) {}
    QObject *reportReceiver() override { return this; }

    QString result;
    QString error;
    bool succeeded = false;

public slots:
    void updateProgress(const QString &, int, const QString &)
    {
        if (++m_reports == m_cancelAt)
            setFailed(true);
    }
    void errorOccurred(const QString &info)
    {
        error = info;
        setFailed(true);
    }
    void succeed(const QString &text)
    {
        result = text;
        succeeded = true;
    }
    void tipsWait(const QString &) {}

private:
    int m_cancelAt;
    int m_reports = 0;
};

void runInline(QThread &worker, InlineReporter &reporter)
{
    reporter.moveToThread(&worker);
    worker.start();
    worker.wait();
}

MsgMessageList loadAll(const QString &folder, MsgDataSetPtr &set)
{
    set = MsgDataSetPtr::create();
    IOS6MessageDb db(folder, QString());
    db.messages(*set, 0);
    return set->messages.values();
}

QString attachmentsFolder(const QString &folder)
{
    return folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments");
}

// Every file below `folder` with its content (a PDF's without its creation
// date, which each run sets anew), and with its modification time when the
// files carry their messages' dates.
QStringList filesWithContents(const QString &folder, bool withDates = false)
{
    QStringList described;
    for (const QString &file : filesBelow(folder)) {
        const QString path = QDir(folder).filePath(file);
        QByteArray content = readFile(path);
        if (file.endsWith(QLatin1String(".pdf")))
            content = content.size() > 0 ? QByteArray::number(content.count("/Type /Page")) : QByteArray();
        described.append(QStringLiteral("%1 %2 %3")
                             .arg(file)
                             .arg(withDates ? QFileInfo(path).lastModified().toSecsSinceEpoch() : 0)
                             .arg(QString::fromLatin1(content.toHex())));
    }
    return described;
}

// The text of a PDF as pdftotext reads it.
QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    return process.waitForFinished(60000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// An evidence package without what differs from run to run: the moment of
// the export (in the manifest and on the cover) and the sums of the two
// files that show it.
QStringList evidenceContents(const QString &folder)
{
    const QDir package(folder);
    QByteArray manifest = readFile(package.filePath(QStringLiteral("manifest.json")));
    const QJsonObject parsed = QJsonDocument::fromJson(manifest).object();
    for (const char *key : {"exported_local", "exported_utc"})
        manifest.replace(parsed.value(QLatin1String(key)).toString().toUtf8(), "(moment)");
    for (const QJsonValue &file : parsed.value(QStringLiteral("files")).toArray()) {
        if (file.toObject().value(QStringLiteral("path")).toString() == QLatin1String("messages.pdf"))
            manifest.replace(file.toObject().value(QStringLiteral("sha256")).toString().toUtf8(), "(sum)");
    }
    QStringList sums = QString::fromUtf8(readFile(package.filePath(QStringLiteral("manifest.sha256")))).split('\n');
    sums.removeIf([](const QString &line) {
        return line.endsWith(QLatin1String("  messages.pdf")) || line.endsWith(QLatin1String("  manifest.json"));
    });
    QString cover = pdfText(package.filePath(QStringLiteral("messages.pdf")));
    cover.replace(QRegularExpression(QStringLiteral("Exported: [^\n]*")), QStringLiteral("Exported: (moment)"));
    return QStringList{QString::fromUtf8(manifest), cover} + sums
        + filesWithContents(package.filePath(QStringLiteral("attachments")));
}

} // namespace

class TestMessageOps : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;
    KeyTranslator m_translator;

    // Two conversations; three pictures, two of them sharing one file name.
    void fillPhone(SetBuilder &b)
    {
        const QString first = env->path(QStringLiteral("src/1.jpg"));
        const QString second = env->path(QStringLiteral("src/2.jpg"));
        const QString card = env->path(QStringLiteral("src/c.vcf"));
        writeFile(first, "first picture");
        writeFile(second, "second picture");
        writeFile(card, "BEGIN:VCARD");
        _MsgHandle *ann = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *bob = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *withAnn = b.chat(QStringLiteral("SMS;-;+919876543210"), {ann});
        _MsgChat *withBob = b.chat(QStringLiteral("SMS;-;+919876543211"), {bob});
        b.message(withAnn, ann, 100, QStringLiteral("hi"));
        b.attachment(b.message(withAnn, ann, 160, QStringLiteral("look")), first, QStringLiteral("photo.jpg"));
        b.attachment(b.message(withBob, bob, 220, QStringLiteral("and this")), second, QStringLiteral("photo.jpg"));
        b.attachment(b.message(withBob, bob, 280, QString()), card, QStringLiteral("Ann: card?.vcf"));
        b.message(withBob, bob, 340, QStringLiteral("Привет \U0001F600"), true);
    }

    void backup(const MsgMessageList &messages, const QString &folder, InlineReporter &reporter)
    {
        BackupSMSThread worker(messages, folder, QString(), &reporter);
        runInline(worker, reporter);
    }

    // A local database holding fillPhone's messages; empty when the backup failed.
    QString filledSource()
    {
        SetBuilder phone;
        fillPhone(phone);
        const QString source = env->newFolder(QStringLiteral("Phone"));
        InlineReporter filled;
        backup(phone.messages(), source, filled);
        return filled.succeeded ? source : QString();
    }

private slots:
    void initTestCase()
    {
        crashpoints::installShim();  // before the first connection
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }
    void init() { env = std::make_unique<Environment>(); }
    void cleanup() { env.reset(); }

    void backupTwiceAddsNothing()
    {
        SetBuilder phone;
        fillPhone(phone);
        const QString folder = env->newFolder(QStringLiteral("Phone_Backup"));
        InlineReporter first;
        backup(phone.messages(), folder, first);
        QVERIFY2(first.succeeded, qPrintable(first.error));
        QCOMPARE(first.result, QStringLiteral("Successfully Backup 5 Messages to local Database."));
        const QMap<QString, qint64> counts = RawDb(smsDbPath(folder)).counts();
        QCOMPARE(counts.value("message"), qint64(5));
        QCOMPARE(counts.value("attachment"), qint64(3));
        const QStringList files = filesBelow(folder);

        InlineReporter second;
        backup(phone.messages(), folder, second);
        QVERIFY(second.succeeded);
        QCOMPARE(RawDb(smsDbPath(folder)).counts(), counts);
        QCOMPARE(filesBelow(folder), files);
        MsgDataSetPtr set;
        QByteArrayList stored;
        for (const _MsgMessage *message : loadAll(folder, set)) {
            for (const _MsgAttachment *attachment : message->attachments)
                stored.append(readFile(attachment->localPath));
        }
        std::sort(stored.begin(), stored.end());
        QCOMPARE(stored, (QByteArrayList{"BEGIN:VCARD", "first picture", "second picture"}));
    }

    // A backup of a whole database read a few messages at a time writes
    // what the backup of the loaded database wrote, in the same order.
    void backupReadInChunksEqualsTheLoadedOne()
    {
        const QString source = filledSource();
        QVERIFY(!source.isEmpty());

        MsgDataSetPtr set;
        const QString loaded = env->newFolder(QStringLiteral("Loaded"));
        InlineReporter fromList;
        backup(loadAll(source, set), loaded, fromList);
        const QString chunked = env->newFolder(QStringLiteral("Chunked"));
        InlineReporter fromChunks;
        BackupSMSThread worker(std::make_unique<MessageChunkReader>(source, QString(), 2), chunked, QString(),
                               &fromChunks);
        runInline(worker, fromChunks);
        QVERIFY2(fromChunks.succeeded, qPrintable(fromChunks.error));
        QCOMPARE(fromChunks.result, fromList.result);

        const QString rows = QStringLiteral(
            "select m.guid || '|' || ifnull(m.text, '') || '|' || m.date || '|' || "
            "(select group_concat(a.transfer_name) from message_attachment_join ma join attachment a "
            "on a.rowid = ma.attachment_id where ma.message_id = m.rowid) from message m order by m.rowid");
        QCOMPARE(RawDb(smsDbPath(chunked)).column(rows), RawDb(smsDbPath(loaded)).column(rows));
        QCOMPARE(RawDb(smsDbPath(chunked)).counts(), RawDb(smsDbPath(loaded)).counts());
        QCOMPARE(filesBelow(attachmentsFolder(chunked)).size(), filesBelow(attachmentsFolder(loaded)).size());
    }

    // An export of a whole database written while it is read a few messages
    // (or one conversation) at a time is what the loaded messages gave.
    void exportReadInChunksEqualsTheLoadedOne_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("text") << int(ExportMessagesThread::FormatText);
        QTest::newRow("CSV") << int(ExportMessagesThread::FormatCsv);
        QTest::newRow("NDJSON") << int(ExportMessagesThread::FormatNdjson);
        QTest::newRow("HTML") << int(ExportMessagesThread::FormatHtml);
        QTest::newRow("PDF") << int(ExportMessagesThread::FormatPdf);
    }

    void exportReadInChunksEqualsTheLoadedOne()
    {
        QFETCH(int, format);
        const QString source = filledSource();
        QVERIFY(!source.isEmpty());

        MsgDataSetPtr set;
        const QString loaded = env->path(QStringLiteral("loaded.out"));
        HeadlessProgress fromList;
        ExportMessagesThread listWorker(loadAll(source, set), loaded, ExportMessagesThread::Format(format), &fromList);
        fromList.runToEnd(listWorker);
        QVERIFY(fromList.succeeded());
        const QString chunked = env->path(QStringLiteral("chunked.out"));
        HeadlessProgress fromChunks;
        ExportMessagesThread chunkWorker(std::make_unique<MessageChunkReader>(source, QString(), 3), MessageDateRange(),
                                         chunked, ExportMessagesThread::Format(format), &fromChunks);
        fromChunks.runToEnd(chunkWorker);
        QVERIFY2(fromChunks.succeeded(), qPrintable(fromChunks.errorText()));
        QCOMPARE(fromChunks.resultText(), fromList.resultText());
        if (QFileInfo(loaded).isDir()) {
            QCOMPARE(filesWithContents(chunked), filesWithContents(loaded));
        } else {
            QVERIFY(!readFile(loaded).isEmpty());
            QCOMPARE(readFile(chunked), readFile(loaded));
        }
    }

    // An evidence package of a whole database read a few conversations at a
    // time numbers, copies, sums and draws what the loaded messages gave.
    void evidenceReadInChunksEqualsTheLoadedOne()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is needed (poppler-utils)");
        const QString source = filledSource();
        QVERIFY(!source.isEmpty());
        const EvidenceSource named{QString(), QString(), QStringLiteral("Phone")};
        MsgDataSetPtr set;
        const QString loaded = env->path(QStringLiteral("loaded"));
        HeadlessProgress fromList;
        ExportMessagesThread listWorker(loadAll(source, set), loaded, ExportMessagesThread::FormatEvidence, &fromList,
                                        nullptr, QStringLiteral(FERRY_BINARY_DIR));
        listWorker.setEvidenceSource(named);
        fromList.runToEnd(listWorker);
        QVERIFY2(fromList.succeeded(), qPrintable(fromList.errorText()));
        const QString chunked = env->path(QStringLiteral("chunked"));
        HeadlessProgress fromChunks;
        ExportMessagesThread chunkWorker(std::make_unique<MessageChunkReader>(source, QString(), 2), MessageDateRange(),
                                         chunked, ExportMessagesThread::FormatEvidence, &fromChunks, nullptr,
                                         QStringLiteral(FERRY_BINARY_DIR));
        chunkWorker.setEvidenceSource(named);
        fromChunks.runToEnd(chunkWorker);
        QVERIFY2(fromChunks.succeeded(), qPrintable(fromChunks.errorText()));
        QCOMPARE(fromChunks.resultText(), fromList.resultText());
        QCOMPARE(QDir(chunked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"attachments", "manifest.json", "manifest.sha256", "messages.pdf"}));
        const QStringList contents = evidenceContents(chunked);
        QVERIFY2(contents.at(1).contains(QStringLiteral("Message count: 5")), qPrintable(contents.at(1)));
        QCOMPARE(contents, evidenceContents(loaded));
    }

    // Attachments of a whole database copied while it is read a few messages
    // at a time: the names, dates and contents the loaded messages gave.
    void extractionReadInChunksEqualsTheLoadedOne()
    {
        const QString source = filledSource();
        QVERIFY(!source.isEmpty());
        MsgDataSetPtr set;
        const QString loaded = env->path(QStringLiteral("loaded"));
        InlineReporter fromList;
        AttachmentExtractThread listWorker(&fromList, loadAll(source, set), loaded);
        runInline(listWorker, fromList);
        QVERIFY(fromList.succeeded);
        const QString chunked = env->path(QStringLiteral("chunked"));
        InlineReporter fromChunks;
        AttachmentExtractThread chunkWorker(&fromChunks, std::make_unique<MessageChunkReader>(source, QString(), 2),
                                            chunked);
        runInline(chunkWorker, fromChunks);
        QVERIFY2(fromChunks.succeeded, qPrintable(fromChunks.error));
        QCOMPARE(chunkWorker.extractedCount(), 3);
        QCOMPARE(filesWithContents(chunked, true), filesWithContents(loaded, true));
    }

    void cancelledBackupLeavesTheTargetAsItWas_data()
    {
        QTest::addColumn<bool>("newDatabase");
        QTest::newRow("database") << false;
        QTest::newRow("new database") << true;
    }

    void cancelledBackupLeavesTheTargetAsItWas()
    {
        QFETCH(bool, newDatabase);
        SetBuilder phone;
        fillPhone(phone);
        const QString folder = env->newFolder(QStringLiteral("Target"));
        if (!newDatabase) {
            InlineReporter earlier;
            backup(phone.messages().mid(0, 1), folder, earlier);
        }
        const QStringList dump = newDatabase ? QStringList() : RawDb(smsDbPath(folder)).dump();
        const QStringList files = filesBelow(folder);

        InlineReporter cancelling(2);  // the run's start, then message 1: written, then cancelled
        backup(phone.messages(), folder, cancelling);
        QVERIFY(!cancelling.succeeded);
        QVERIFY(cancelling.error.isEmpty());
        QCOMPARE(QFileInfo::exists(folder), !newDatabase);  // a new database does not come about at all
        if (!newDatabase)
            QCOMPARE(RawDb(smsDbPath(folder)).dump(), dump);
        QCOMPARE(filesBelow(folder), files);
    }

    // Cancel pressed just as the run commits comes too late to stop it: the
    // run has succeeded and says so, and keeps all it did, files included.
    void cancelDuringTheCommitStillSucceeds_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("backup into a new database") << "new";
        QTest::newRow("backup into a database") << "backup";
        QTest::newRow("deletion") << "delete";
    }

    void cancelDuringTheCommitStillSucceeds()
    {
        QFETCH(QString, operation);
        SetBuilder phone;
        fillPhone(phone);
        const QString folder = env->newFolder(QStringLiteral("Target"));
        // The run's own commit comes after those that make a new database.
        int commit = 1;
        if (operation == "new") {
            commit += crashpoints::countCommits(
                [this] { IOS6MessageDb(env->newFolder(QStringLiteral("Scratch")), QString()).ensureWritable(); });
        } else {
            InlineReporter earlier;
            backup(operation == "delete" ? phone.messages() : phone.messages().mid(0, 1), folder, earlier);
        }
        MsgDataSetPtr set;
        const MsgMessageList stored = operation == "delete" ? loadAll(folder, set) : MsgMessageList();
        HeadlessProgress progress;
        std::unique_ptr<QThread> worker;
        if (operation == "delete")
            worker = std::make_unique<DeleteMMSThread>(folder, stored, &progress);
        else
            worker = std::make_unique<BackupSMSThread>(phone.messages(), folder, QString(), &progress);

        crashpoints::atCommit(
            commit, [&progress] { QMetaObject::invokeMethod(&progress, &HeadlessProgress::cancel, Qt::BlockingQueuedConnection); },
            [&] { progress.runToEnd(*worker); });
        QCOMPARE(progress.result(), HeadlessProgress::Rejected);  // the cancel did end the progress
        QVERIFY(progress.succeeded());
        const bool deleted = operation == "delete";
        QCOMPARE(progress.resultText(), deleted ? QStringLiteral("Successfully Deleted 5 Messages.")
                                                : QStringLiteral("Successfully Backup 5 Messages to local Database."));
        QCOMPARE(RawDb(smsDbPath(folder)).scalar("select count(*) from message"), qint64(deleted ? 0 : 5));
        QCOMPARE(filesBelow(attachmentsFolder(folder)).size(), deleted ? 0 : 3);
    }

    // Messages can share one attachment row (the same attachment merged for
    // two messages) or one file (two rows naming the same path): a file goes
    // only with the last row naming it.
    void deletionKeepsFilesOthersStillUse()
    {
        const QString shared = env->path(QStringLiteral("src/shared.jpg"));
        const QString own = env->path(QStringLiteral("src/own.jpg"));
        writeFile(shared, "shared");
        writeFile(own, "own");
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        _MsgChat *other = b.chat(QStringLiteral("other"), {h});
        const QString path = QStringLiteral("~/Library/SMS/Attachments/aa/bb/X/shared.jpg");
        _MsgAttachment *row = b.attachment(b.message(c, h, 10, QStringLiteral("a")), shared, "shared.jpg", path);
        _MsgMessage *sameRow = b.message(c, h, 20, QStringLiteral("b"));
        sameRow->attachments.insert(QString::number(row->rowid), row);
        b.attachment(b.message(c, h, 30, QStringLiteral("c")), shared, "shared.jpg", path);  // own row, same file
        b.attachment(b.message(other, h, 40, QStringLiteral("d")), own, QStringLiteral("own.jpg"));
        const QString folder = env->newFolder(QStringLiteral("db"));
        InlineReporter stored;
        backup(b.messages(), folder, stored);
        QVERIFY(stored.succeeded);
        QCOMPARE(filesBelow(attachmentsFolder(folder)).size(), 2);

        MsgDataSetPtr set;
        const MsgMessageList all = loadAll(folder, set);
        QCOMPARE(all.size(), 4);
        auto byText = [&all](const QString &text) {
            for (_MsgMessage *m : all) {
                if (m->text.startsWith(text))
                    return m;
            }
            return static_cast<_MsgMessage *>(nullptr);
        };
        const QString sharedCopy = byText("a")->attachments.first()->localPath;
        const QString ownCopy = byText("d")->attachments.first()->localPath;

        const QStringList dump = RawDb(smsDbPath(folder)).dump();
        InlineReporter cancelling(2);
        DeleteMMSThread cancelled(folder, all, &cancelling);
        runInline(cancelled, cancelling);
        QVERIFY(!cancelling.succeeded);
        QCOMPARE(RawDb(smsDbPath(folder)).dump(), dump);
        QVERIFY(QFileInfo::exists(sharedCopy) && QFileInfo::exists(ownCopy));

        for (const QString &text : {"a", "b", "d"}) {
            InlineReporter reporter;
            DeleteMMSThread worker(folder, {byText(text)}, &reporter);
            runInline(worker, reporter);
            QVERIFY2(reporter.succeeded, qPrintable(reporter.error));
            QCOMPARE(reporter.result, QStringLiteral("Successfully Deleted 1 Messages."));
            QVERIFY2(QFileInfo::exists(sharedCopy), qPrintable(text));  // "c" still names it
        }
        QVERIFY(!QFileInfo::exists(ownCopy));
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar("select count(*) from message"), qint64(1));
        QCOMPARE(raw.scalar("select count(*) from chat"), qint64(1));  // "other" lost its last message
        QCOMPARE(raw.scalar("select count(*) from attachment"), qint64(1));
        QVERIFY(!raw.text("select sql from sqlite_master where name='clean_orphaned_messages'")
                     .contains(QLatin1String("message.ROWID")));

        InlineReporter last;
        DeleteMMSThread worker(folder, {byText("c")}, &last);
        runInline(worker, last);
        QVERIFY(!QFileInfo::exists(sharedCopy));
        QCOMPARE(RawDb(smsDbPath(folder)).scalar("select count(*) from attachment"), qint64(0));
    }

    void extractionMakesDatedCopiesWithUniqueNames()
    {
        SetBuilder phone;
        fillPhone(phone);
        _MsgMessage *lost = phone.message(phone.set->chats.first(), phone.set->handles.first(), 400, "gone");
        phone.attachment(lost, env->path(QStringLiteral("src/missing.jpg")), QStringLiteral("photo.jpg"));
        const QString folder = env->path(QStringLiteral("out/attachments(1)"));
        InlineReporter reporter;
        AttachmentExtractThread worker(&reporter, phone.messages(), folder);
        runInline(worker, reporter);
        QVERIFY2(reporter.succeeded, qPrintable(reporter.error));
        QCOMPARE(reporter.result, QStringLiteral("Successfully extacted 3 MMS attachment to %1.")
                                      .arg(QDir::toNativeSeparators(folder)));
        QCOMPARE(filesBelow(folder), (QStringList{"Ann card.vcf", "photo(1).jpg", "photo.jpg"}));
        QCOMPARE(readFile(folder + QStringLiteral("/photo.jpg")), QByteArray("first picture"));
        QCOMPARE(QFileInfo(folder + QStringLiteral("/photo(1).jpg")).lastModified(), appleTimeToDateTime(220));
        QCOMPARE(QFileInfo(folder + QStringLiteral("/Ann card.vcf")).lastModified(), appleTimeToDateTime(280));
    }

    void cancelledExtractionRemovesOnlyWhatItMade_data()
    {
        QTest::addColumn<bool>("folderExisted");
        QTest::newRow("new folder") << false;
        QTest::newRow("folder already there") << true;
    }

    void cancelledExtractionRemovesOnlyWhatItMade()
    {
        QFETCH(bool, folderExisted);
        SetBuilder phone;
        fillPhone(phone);
        const QString folder = env->path(QStringLiteral("out/attachments(2)"));
        if (folderExisted)
            writeFile(folder + QStringLiteral("/photo.jpg"), "the user's own");
        MsgMessageList messages = phone.messages();
        messages.move(1, 0);                   // the first message brings a picture
        InlineReporter cancelling(1);          // copied, then cancelled
        AttachmentExtractThread worker(&cancelling, messages, folder);
        runInline(worker, cancelling);
        QVERIFY(!cancelling.succeeded);
        QCOMPARE(QFileInfo::exists(folder), folderExisted);
        if (folderExisted) {
            QCOMPARE(filesBelow(folder), QStringList{"photo.jpg"});
            QCOMPARE(readFile(folder + QStringLiteral("/photo.jpg")), QByteArray("the user's own"));
        }
    }
};

QTEST_MAIN(TestMessageOps)
#include "tst_messageops.moc"
