#include "store/AttachmentCopier.h"
#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageIds.h"

#include "core/TinyDisk.h"
#include "core/tst_localdb_fixtures.h"

#include <QDirIterator>

#include <memory>

using namespace localdbtest;

// The promises of the merge: the same messages twice add nothing, nothing
// stored is changed or lost, and a run that does not finish leaves the
// database folder as it was.
class TestMerge : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;

    void merge(const QString &folder, const MsgMessageList &messages)
    {
        ExportMessagesDb writer(folder, QStringLiteral("404"));
        writer.begin();
        for (const _MsgMessage *message : messages)
            writer.write(*message);
        writer.end();
    }
    void merge(const QString &folder, const SetBuilder &builder) { merge(folder, builder.messages()); }

    static QStringList foldersBelow(const QString &folder)
    {
        QStringList dirs;
        QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            dirs << QDir(folder).relativeFilePath(it.next());
        dirs.sort();
        return dirs;
    }

    // Two one-to-one chats and a group of three, with a group event, an
    // emoji text and two attachments whose files exist.
    void fillVariedSet(SetBuilder &b)
    {
        const QString jpg = env->path(QStringLiteral("src/one.jpg"));
        const QString png = env->path(QStringLiteral("src/two.png"));
        writeFile(jpg, "JPEG");
        writeFile(png, "PNG");
        _MsgHandle *ann = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *bob = b.handle(QStringLiteral("+919876543211"));
        _MsgHandle *cat = b.handle(QStringLiteral("+919876543212"));
        _MsgChat *withAnn = b.chat(QStringLiteral("SMS;-;+919876543210"), {ann});
        _MsgChat *withBob = b.chat(QStringLiteral("SMS;-;+919876543211"), {bob});
        _MsgChat *group = b.chat(QStringLiteral("SMS;+;group"), {ann, bob, cat});
        b.message(withAnn, ann, 100, QStringLiteral("hi \U0001F600"));
        b.message(withAnn, ann, 101, QStringLiteral("reply"), true);
        b.attachment(b.message(withBob, bob, 200, QStringLiteral("photo")), jpg, QStringLiteral("one.jpg"));
        _MsgMessage *event = b.message(group, ann, 300, QString());
        event->item_type = _MsgMessage::ItemParticipantAdded;
        event->otherHandle = cat;
        b.attachment(b.message(group, bob, 301, QStringLiteral("Привет")), png, QStringLiteral("two.png"));
        b.message(group, cat, 302, QStringLiteral("你好"));
    }

private slots:
    void init() { env = std::make_unique<Environment>(); }
    void cleanup() { env.reset(); }

    void mergingTwiceAddsNothing()
    {
        const QString folder = env->newFolder(QStringLiteral("twice"));
        SetBuilder b;
        fillVariedSet(b);
        merge(folder, b);

        QMap<QString, qint64> first;
        QStringList firstDump;
        {
            RawDb raw(smsDbPath(folder));
            first = raw.counts();
            firstDump = raw.dump();
        }
        QCOMPARE(first.value("message"), qint64(6));
        QCOMPARE(first.value("chat"), qint64(3));
        QCOMPARE(first.value("handle"), qint64(3));
        QCOMPARE(first.value("chat_handle_join"), qint64(5));
        QCOMPARE(first.value("chat_message_join"), qint64(6));
        QCOMPARE(first.value("attachment"), qint64(2));
        QCOMPARE(first.value("message_attachment_join"), qint64(2));
        const QStringList filesAfterFirst = filesBelow(folder);

        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.counts(), first);
        QCOMPARE(filesBelow(folder), filesAfterFirst);
        // Join rows are replaced in place by the second run, so compare the data tables.
        const auto dataRows = [](const QStringList &rows) {
            QStringList kept;
            for (const QString &row : rows)
                if (!row.contains(QLatin1String("_join:")))
                    kept << row;
            return kept;
        };
        QCOMPARE(dataRows(raw.dump()), dataRows(firstDump));
    }

    void mergingALoadedDatabaseIntoAnotherAddsNothingTheSecondTime()
    {
        const QString source = env->newFolder(QStringLiteral("source"));
        const QString target = env->newFolder(QStringLiteral("target"));
        SetBuilder b;
        fillVariedSet(b);
        merge(source, b);

        IOS6MessageDb db(source, QString());
        auto set = MsgDataSetPtr::create();
        db.messages(*set, 0);
        merge(target, set->messages.values());
        QMap<QString, qint64> once;
        {
            RawDb raw(smsDbPath(target));
            once = raw.counts();
        }
        merge(target, set->messages.values());
        RawDb raw(smsDbPath(target));
        QCOMPARE(raw.counts(), once);
        QCOMPARE(once.value("message"), qint64(6));
        QCOMPARE(filesBelow(target + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments")).size(), 2);
    }

    // Each case in two runs, and in one run into a new database, where the
    // writer rules keys out without asking the database.
    void duplicateByContentHash_data()
    {
        QTest::addColumn<int>("dateShift");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expectedMessages");
        QTest::addColumn<bool>("oneRun");
        for (const bool oneRun : {false, true}) {
            const char *run = oneRun ? ", one run" : ", two runs";
            QTest::addRow("same content, other guid%s", run) << 0 << "hello" << qint64(1) << oneRun;
            QTest::addRow("one second later%s", run) << 1 << "hello" << qint64(2) << oneRun;
            QTest::addRow("other text%s", run) << 0 << "hello!" << qint64(2) << oneRun;
        }
    }

    void duplicateByContentHash()
    {
        QFETCH(int, dateShift);
        QFETCH(QString, text);
        QFETCH(qint64, expectedMessages);
        QFETCH(bool, oneRun);
        const QString folder = env->newFolder(QStringLiteral("hash"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c1"), {h});
        _MsgMessage *stored = b.message(c, h, 1000, QStringLiteral("hello"));
        _MsgMessage *again = b.message(c, h, 1000 + dateShift, text);
        QVERIFY(again->guid != stored->guid);
        if (oneRun) {
            merge(folder, {stored, again});
        } else {
            merge(folder, {stored});
            merge(folder, {again});
        }
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), expectedMessages);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from chat_message_join")), expectedMessages);
    }

    void duplicateByGuidWhenTheHashDiffers_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("stale hash") << "stale hash";
        QTest::newRow("row of an older version without hash") << "older file";
        QTest::newRow("other text, same run") << "same run";
    }

    void duplicateByGuidWhenTheHashDiffers()
    {
        QFETCH(QString, stored);
        const QString folder = env->newFolder(QStringLiteral("guid"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c1"), {h}), h, 1000, QStringLiteral("hello"));
        const bool olderFile = stored == QLatin1String("older file");
        if (olderFile) {
            RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
            raw.exec(kOlderSchema);
            raw.exec(QStringLiteral("INSERT INTO chat(guid, service_name) VALUES('c1', 'SMS');"
                                    "INSERT INTO message(guid, text, date) VALUES('%1', 'hello, as it was', 999);"
                                    "INSERT INTO chat_message_join VALUES(1, 1);").arg(m->guid));
        } else if (stored == QLatin1String("stale hash")) {
            merge(folder, b);
            RawDb raw(smsDbPath(folder));
            raw.exec(QStringLiteral("UPDATE message SET logic_hash='stale'"));
        }
        if (stored == QLatin1String("same run")) {
            _MsgMessage edited = *m;
            edited.text = QStringLiteral("hello, edited");
            merge(folder, {m, &edited});
        } else {
            merge(folder, b);
        }
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), qint64(1));
        if (olderFile)  // the stored row is not touched
            QCOMPARE(raw.text(QStringLiteral("select text from message")), QStringLiteral("hello, as it was"));
    }

    // Before a group's message from no one member had the group in its hash,
    // what the phone sent a group was hashed without it; another source's
    // copy of it (its guid made otherwise) is still found.
    void groupMessageHashedByAnEarlierVersionIsFound()
    {
        const QString folder = env->newFolder(QStringLiteral("earlier"));
        SetBuilder stored;
        _MsgHandle *ann = stored.handle(QStringLiteral("+919876543210"));
        _MsgHandle *bob = stored.handle(QStringLiteral("+919876543211"));
        _MsgMessage *sent = stored.message(stored.chat(QStringLiteral("SMS;+;pair"), {ann, bob}), nullptr, 1000,
                                           QStringLiteral("to both"), true);
        merge(folder, stored);
        _MsgMessage asHashedBefore = *sent;
        asHashedBefore.chat = nullptr;
        RawDb(smsDbPath(folder))
            .exec(QStringLiteral("UPDATE message SET logic_hash='%1'").arg(logicHash(asHashedBefore)));

        SetBuilder again;
        _MsgHandle *ann2 = again.handle(ann->id);
        _MsgHandle *bob2 = again.handle(bob->id);
        again.message(again.chat(QStringLiteral("SMS;+;pair"), {ann2, bob2}), nullptr, 1000, QStringLiteral("to both"),
                      true);
        merge(folder, again);
        QCOMPARE(RawDb(smsDbPath(folder)).scalar(QStringLiteral("select count(*) from message")), qint64(1));
    }

    void unknownChatArrivesWithAllItsHandles()
    {
        const QString folder = env->newFolder(QStringLiteral("newchat"));
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgHandle *h3 = b.handle(QStringLiteral("+919876543212"));
        _MsgChat *group = b.chat(QStringLiteral("g"), {h1, h2, h3});
        merge(folder, {b.message(group, h2, 5, QStringLiteral("hi all"))});
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from handle")), qint64(3));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from chat_handle_join")), qint64(3));
        QCOMPARE(raw.text(QStringLiteral("select last_addressed_handle from chat")), QStringLiteral("+919876543211"));
        QCOMPARE(raw.scalar(QStringLiteral("select handle_id from message")),
                 raw.scalar(QStringLiteral("select rowid from handle where id='+919876543211'")));
        QCOMPARE(raw.text(QStringLiteral("select group_id from chat")), guidFromBytes("g"));
    }

    void handleNewToAKnownChatIsLinked()
    {
        const QString folder = env->newFolder(QStringLiteral("link"));
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h1});
        merge(folder, {b.message(c, h1, 5, QStringLiteral("a"))});
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgMessage *event = b.message(c, h1, 6, QString());
        event->item_type = _MsgMessage::ItemParticipantAdded;
        event->otherHandle = h2;
        merge(folder, {event});
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from chat_handle_join")), qint64(2));
        QCOMPARE(raw.scalar(QStringLiteral("select other_handle from message where item_type=1")),
                 raw.scalar(QStringLiteral("select rowid from handle where id='+919876543211'")));
        QCOMPARE(raw.scalar(QStringLiteral("select other_handle from message where item_type=0")), qint64(-1));
    }

    void groupEventsNeedTheItemTypeColumn_data()
    {
        QTest::addColumn<QString>("schemaPatch");  // replaces the end of the message table
        QTest::addColumn<qint64>("expectedMessages");
        QTest::addColumn<qint64>("storedItemType");
        // An older file gains item_type when opened, so its events are kept.
        QTest::newRow("older file, upgraded") << QString() << qint64(2) << qint64(2);
        QTest::newRow("column not named item_type") << "ITEM_TYPE INTEGER DEFAULT 0" << qint64(1) << qint64(0);
    }

    void groupEventsNeedTheItemTypeColumn()
    {
        QFETCH(QString, schemaPatch);
        QFETCH(qint64, expectedMessages);
        QFETCH(qint64, storedItemType);
        const QString folder = env->newFolder(QStringLiteral("events"));
        QString schema = kOlderSchema;
        if (!schemaPatch.isEmpty()) {
            schema.replace(QStringLiteral("was_deduplicated INTEGER DEFAULT 0);"),
                           QStringLiteral("was_deduplicated INTEGER DEFAULT 0, %1);").arg(schemaPatch));
        }
        {
            RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
            raw.exec(schema);
        }
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        b.message(c, h, 5, QStringLiteral("ordinary"));
        _MsgMessage *named = b.message(c, h, 6, QString());
        named->item_type = _MsgMessage::ItemConversationNamed;
        named->group_title = QStringLiteral("Trip");
        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), expectedMessages);
        QCOMPARE(raw.scalar(QStringLiteral("select max(item_type) from message")), storedItemType);
    }

    void chatLastNeverDecreases()
    {
        const QString folder = env->newFolder(QStringLiteral("last"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        const auto lastAfter = [&](qint32 date) {
            merge(folder, {b.message(c, h, date, QStringLiteral("at %1").arg(date))});
            RawDb raw(smsDbPath(folder));
            return raw.scalar(QStringLiteral("select _last from chat"));
        };
        QCOMPARE(lastAfter(500), qint64(500));
        QCOMPARE(lastAfter(100), qint64(500));
        QCOMPARE(lastAfter(900), qint64(900));
        QCOMPARE(lastAfter(-50), qint64(900));

        const QString oneRun = env->newFolder(QStringLiteral("last-one-run"));
        merge(oneRun, {b.message(c, h, 500, QStringLiteral("a")), b.message(c, h, 900, QStringLiteral("b")),
                       b.message(c, h, 100, QStringLiteral("c"))});
        QCOMPARE(RawDb(smsDbPath(oneRun)).scalar(QStringLiteral("select _last from chat")), qint64(900));
    }

    void attachmentWithoutSourceFileKeepsItsRow()
    {
        const QString folder = env->newFolder(QStringLiteral("nofile"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c"), {h}), h, 5, QStringLiteral("x"));
        b.attachment(m, env->path(QStringLiteral("src/missing.jpg")), QStringLiteral("missing.jpg"));
        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), qint64(1));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message_attachment_join")), qint64(1));
        QCOMPARE(raw.scalar(QStringLiteral("select cache_has_attachments from message")), qint64(1));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments")));
    }

    void sourceMayGoAsSoonAsWriteReturns_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("small, copied beside the database work") << 20 * 1024;
        QTest::newRow("large, copied at once") << int(AttachmentCopier::kQueuedFileLimit) + 1;
    }

    void sourceMayGoAsSoonAsWriteReturns()
    {
        // A phone download hands over temporary files and removes each one
        // right after write().
        QFETCH(int, size);
        const QString folder = env->newFolder(QStringLiteral("temp-source"));
        const QString source = env->path(QStringLiteral("src/part.bin"));
        QByteArray content(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            content[i] = char(i * 7);
        writeFile(source, content);
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c"), {h}), h, 5, QStringLiteral("x"));
        _MsgAttachment *a = b.attachment(m, source, QStringLiteral("part.bin"));

        ExportMessagesDb writer(folder, QString());
        writer.begin();
        writer.write(*m);
        QVERIFY(QFile::remove(source));
        writer.end();
        IOS6MessageDb paths(folder, QString());
        QCOMPARE(readFile(paths.localPath(a->filename)), content);
    }

    void existingTargetFileIsNotOverwritten()
    {
        const QString folder = env->newFolder(QStringLiteral("keep"));
        const QString source = env->path(QStringLiteral("src/new.jpg"));
        writeFile(source, "NEW");
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c"), {h}), h, 5, QStringLiteral("x"));
        _MsgAttachment *a = b.attachment(m, source, QStringLiteral("new.jpg"));
        IOS6MessageDb paths(folder, QString());
        const QString target = paths.localPath(a->filename);
        writeFile(target, "OLD");
        merge(folder, b);
        QCOMPARE(readFile(target), QByteArray("OLD"));
    }

    void attachmentNameLeavingTheFolderIsNeverWritten_data()
    {
        QTest::addColumn<QString>("filename");
        QTest::newRow("tilde and dots") << "~/../../../../../escape.jpg";
        QTest::newRow("leading slash and dots") << "/../../../../escape.jpg";
        QTest::newRow("backslashes") << "~\\..\\..\\..\\..\\..\\escape.jpg";
        QTest::newRow("deep dots") << "~/Library/SMS/Attachments/ab/cd/G/../../../../../../../../../escape.jpg";
        QTest::newRow("absolute") << "//ESCAPE_ROOT/escape.jpg";
        QTest::newRow("next to the database") << "~/Library/SMS/Attachments/ab/cd/G/../../../../escape.jpg";
        QTest::newRow("onto the database") << "~/Library/SMS/Attachments/ab/cd/G/../../../../sms.db";
    }

    void attachmentNameLeavingTheFolderIsNeverWritten()
    {
        QFETCH(QString, filename);
        const QString outside = env->path(QStringLiteral("outside"));
        filename.replace(QStringLiteral("ESCAPE_ROOT"), outside.mid(1));
        const QString folder = env->newFolder(QStringLiteral("evil"));
        const QString source = env->path(QStringLiteral("src/payload.jpg"));
        writeFile(source, "PAYLOAD");
        QDir().mkpath(outside);
        const QStringList homeBefore = filesBelow(env->path(QString()));

        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c"), {h}), h, 5, QStringLiteral("x"));
        b.attachment(m, source, QStringLiteral("payload.jpg"), filename);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("leaves the attachments folder")));
        merge(folder, b);

        // Only the database file appeared; no payload anywhere.
        QStringList added = filesBelow(env->path(QString()));
        for (const QString &file : homeBefore)
            added.removeOne(file);
        for (const QString &file : std::as_const(added))
            QVERIFY2(!file.endsWith(QLatin1String(".jpg")), qPrintable(file));
        RawDb raw(smsDbPath(folder));  // still a database, not the payload
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), qint64(1));
        QCOMPARE(raw.text(QStringLiteral("select filename from attachment")), filename);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message_attachment_join")), qint64(1));
    }

    void failedRunLeavesTheFolderAsItWas_data()
    {
        QTest::addColumn<bool>("explicitAbort");
        QTest::newRow("aborted") << true;
        QTest::newRow("writer destroyed without end") << false;
    }

    void failedRunLeavesTheFolderAsItWas()
    {
        QFETCH(bool, explicitAbort);
        const QString folder = env->newFolder(QStringLiteral("rollback"));
        SetBuilder first;
        fillVariedSet(first);
        merge(folder, first);
        QStringList dumpBefore;
        {
            RawDb raw(smsDbPath(folder));
            dumpBefore = raw.dump();
        }
        const QStringList filesBefore = filesBelow(folder);
        const QStringList foldersBefore = foldersBelow(folder);

        const QString source = env->path(QStringLiteral("src/late.jpg"));
        writeFile(source, "LATE");
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543299"));
        _MsgChat *good = b.chat(QStringLiteral("good"), {h});
        b.attachment(b.message(good, h, 10, QStringLiteral("copied then dropped")), source, QStringLiteral("late.jpg"));
        b.message(good, h, 11, QStringLiteral("second"));
        _MsgChat *bad = b.chat(QStringLiteral("bad"), {h});
        bad->service_name = QStringLiteral("MMS");
        _MsgMessage *failing = b.message(bad, h, 12, QStringLiteral("fails"));

        {
            ExportMessagesDb writer(folder, QString());
            writer.begin();
            for (const _MsgMessage *m : b.messages()) {
                if (m == failing)
                    break;
                writer.write(*m);
            }
            writer.waitForCopies();
            QVERIFY(filesBelow(folder).size() > filesBefore.size());  // the copy happened
            try {
                writer.write(*failing);
                QFAIL("an invalid chat service must raise");
            } catch (const std::runtime_error &e) {
                QCOMPARE(QString::fromUtf8(e.what()),
                         QStringLiteral("IOS6MessageDb::insertChat, invalid chat, service_name:MMS"));
            }
            if (explicitAbort)
                writer.abort();
        }

        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.dump(), dumpBefore);
        QCOMPARE(filesBelow(folder), filesBefore);
        QCOMPARE(foldersBelow(folder), foldersBefore);
    }

    // A copy that fails must fail the run: a message committed without its
    // file would be remembered as known and its picture never fetched again.
    void failedCopyFailsTheRun_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("fileBytes");
        QTest::newRow("folder cannot be made") << "blocked" << 10;
        QTest::newRow("disk full, small file") << "full" << 200 * 1024;
        QTest::newRow("disk full, large file") << "full" << 3 * 1024 * 1024;
    }

    void failedCopyFailsTheRun()
    {
        QFETCH(QString, fault);
        QFETCH(int, fileBytes);
        TinyDisk disk(env->path(QStringLiteral("disk")));
        if (fault == QLatin1String("full") && !disk.mount(1024 * 1024))
            QSKIP("mounting a small tmpfs needs root");
        const QString folder = env->path(QStringLiteral("disk/db"));
        SetBuilder first;
        fillVariedSet(first);
        merge(folder, first);
        if (fault == QLatin1String("full"))
            disk.fill(folder + QStringLiteral("/filler"), 100 * 1024);
        const QString attachments = folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments");
        if (fault == QLatin1String("blocked")) {
            removeFolderRecursively(attachments);
            writeFile(attachments, "a file where the folder must go");
        }
        const QStringList dumpBefore = RawDb(smsDbPath(folder)).dump();
        const QStringList filesBefore = filesBelow(folder);

        const QString source = env->path(QStringLiteral("src/big.jpg"));
        writeFile(source, QByteArray(fileBytes, 'x'));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543299"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        b.attachment(b.message(c, h, 10, QStringLiteral("picture")), source, QStringLiteral("big.jpg"));
        b.message(c, h, 11, QStringLiteral("after it"));
        QString error;
        try {
            merge(folder, b);
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(!error.isEmpty(), "the run must fail");
        // On a full disk the database's own journal may be the first to fail.
        QVERIFY2(error.contains(QLatin1String("Attachments")) || error.contains(QLatin1String("disk is full")),
                 qPrintable(error));
        QCOMPARE(RawDb(smsDbPath(folder)).dump(), dumpBefore);
        QCOMPARE(filesBelow(folder), filesBefore);  // no truncated or temporary file either
    }

    void storedMessagesAreNeverChanged()
    {
        const QString folder = env->newFolder(QStringLiteral("unchanged"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        _MsgMessage *m = b.message(c, h, 5, QStringLiteral("original"));
        merge(folder, b);
        QString before;
        {
            RawDb raw(smsDbPath(folder));
            before = raw.dump().filter(QStringLiteral("message:")).join('\n');
        }
        // The phone now reports the same guid with other content and flags.
        m->text = QStringLiteral("edited");
        m->is_read = 1;
        m->date = 6;
        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.dump().filter(QStringLiteral("message:")).join('\n'), before);
    }

    void messagesWithoutGuidAreToldApartByContent()
    {
        const QString folder = env->newFolder(QStringLiteral("noguid"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        b.message(c, h, 5, QStringLiteral("first"), false, QString());
        b.message(c, h, 6, QStringLiteral("second"), false, QString());
        merge(folder, b);
        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), qint64(2));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message where length(guid)=36")), qint64(2));
    }

    void statementsArePreparedOncePerKind()
    {
        const QString folder = env->newFolder(QStringLiteral("prepared"));
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *group = b.chat(QStringLiteral("g"), {h1, h2});
        for (int i = 0; i < 200; ++i)
            b.message(group, i % 2 ? h1 : h2, 100 + i, QStringLiteral("message %1").arg(i));
        ExportMessagesDb writer(folder, QString());
        writer.begin();
        const int before = writer.database().statementPrepareCount();
        for (const _MsgMessage *m : b.messages())
            writer.write(*m);
        writer.end();
        // Row ids are bound, not written into the statements, so 200 messages
        // need no more statements than a handful.
        QVERIFY2(writer.database().statementPrepareCount() - before < 20,
                 qPrintable(QString::number(writer.database().statementPrepareCount() - before)));
    }

    void messageWithoutChatIsSkipped()
    {
        const QString folder = env->newFolder(QStringLiteral("nochat"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        b.message(nullptr, h, 5, QStringLiteral("lost"));
        QTest::ignoreMessage(QtDebugMsg, "IOS6RestoreMessagesThread skip message with empty chat.");
        merge(folder, b);
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestMerge)
#include "tst_merge.moc"
