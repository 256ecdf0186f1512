#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "store/AttachmentPaths.h"
#include "store/InsertStatement.h"

#include "core/tst_localdb_fixtures.h"

#include <memory>

using namespace localdbtest;

// Opening, upgrading, loading and deleting in a local message database. The
// files are built here: new folders, files of an earlier version written by
// hand, and files carrying triggers of a phone's own message store.
class TestLocalDb : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;

    // A folder holding an older file made from kOlderSchema plus `extraSql`.
    QString olderFolder(const QString &name, const QString &extraSql = QString())
    {
        const QString folder = env->newFolder(name);
        RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
        raw.exec(kOlderSchema);
        if (!extraSql.isEmpty())
            raw.exec(extraSql);
        return folder;
    }

    // Merges the builder's messages into `folder` in one run.
    void merge(const QString &folder, const SetBuilder &builder)
    {
        ExportMessagesDb writer(folder, QStringLiteral("404"));
        writer.begin();
        for (const _MsgMessage *message : builder.messages())
            writer.write(*message);
        writer.end();
    }

    QStringList masterNames(const QString &folder, const QString &type)
    {
        RawDb raw(smsDbPath(folder));
        QStringList names = raw.column(
            QStringLiteral("select name from sqlite_master where type='%1' and name not like 'sqlite_%' "
                           "order by name").arg(type));
        return names;
    }

private slots:
    void init() { env = std::make_unique<Environment>(); }
    void cleanup() { env.reset(); }

    // ------------------------------------------------------------ schema

    void newFolderGetsTheWholeSchema()
    {
        const QString folder = env->newFolder(QStringLiteral("fresh"));
        IOS6MessageDb db(folder, QString());
        QVERIFY(!db.isOpen());
        db.ensureOpen();
        QVERIFY(QFileInfo(smsDbPath(folder)).isFile());
        QCOMPARE(db.schemaVersion(), 6);
        db.close();

        QCOMPARE(masterNames(folder, QStringLiteral("table")),
                 QStringList({"attachment", "chat", "chat_handle_join", "chat_message_join", "handle",
                              "message", "message_attachment_join"}));
        QCOMPARE(masterNames(folder, QStringLiteral("index")),
                 QStringList({"chat_idx_identifier", "chat_idx_last", "chat_message_join_idx_message_id", "message_idx_date",
                              "message_idx_handle", "message_idx_logic_hash"}));
        QCOMPARE(masterNames(folder, QStringLiteral("trigger")),
                 QStringList({"clean_orphaned_attachments", "clean_orphaned_handles",
                              "clean_orphaned_handles2", "clean_orphaned_messages",
                              "clear_message_has_attachments", "set_message_has_attachments"}));
    }

    void newFolderHasEveryOptionalColumn()
    {
        IOS6MessageDb db(env->newFolder(QStringLiteral("fresh")), QString());
        QVERIFY(db.hasItemTypeColumn());
        QVERIFY(db.hasLastColumn());
        QVERIFY(db.hasHandleColumn(QStringLiteral("_ct_name")));
        QVERIFY(db.hasHandleColumn(QStringLiteral("_photo")));
        QVERIFY(db.tableMap().value(QStringLiteral("message")).contains(QLatin1String("logic_hash")));
        QVERIFY(db.tableMap().contains(QStringLiteral("chat_message_join")));
    }

    void olderFileGainsTheMissingColumnsOnce()
    {
        const QString folder = olderFolder(
            QStringLiteral("older"),
            QStringLiteral("INSERT INTO message(guid, text, date) VALUES('G1', 'kept', 42);"));
        {
            IOS6MessageDb db(folder, QString());
            db.ensureOpen();
            const QMap<QString, _SqliteCol> message = db.tbInfo(QStringLiteral("message"));
            for (const char *column : {"is_audio_message", "is_played", "date_played", "item_type", "other_handle",
                                       "group_title", "group_action_type", "share_status", "share_direction",
                                       "is_expirable", "expire_state", "message_action_type", "logic_hash"})
                QVERIFY2(message.contains(QLatin1String(column)), column);
            QVERIFY(db.tbInfo(QStringLiteral("chat")).contains(QStringLiteral("group_id")));
            // Columns of our own are never added to an older file; they are tested for.
            QVERIFY(!db.tbInfo(QStringLiteral("chat")).contains(QStringLiteral("_last")));
            QVERIFY(!db.hasLastColumn());
            QVERIFY(!db.hasHandleColumn(QStringLiteral("_ct_name")));
            QVERIFY(!db.hasHandleColumn(QStringLiteral("_photo")));
            QVERIFY(db.hasItemTypeColumn());
        }
        QVERIFY(masterNames(folder, QStringLiteral("index")).contains(QStringLiteral("message_idx_logic_hash")));
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.text(QStringLiteral("select text from message where guid='G1'")), QStringLiteral("kept"));
        QCOMPARE(raw.scalar(QStringLiteral("select other_handle from message where guid='G1'")), qint64(-1));

        const QString before = raw.column(QStringLiteral("select sql from sqlite_master order by name")).join('\n');
        {
            IOS6MessageDb again(folder, QString());
            again.ensureOpen();
        }
        QCOMPARE(raw.column(QStringLiteral("select sql from sqlite_master order by name")).join('\n'), before);
    }

    void upgradeFailureNamesTheStatement_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("failsAgain");
        QTest::newRow("no chat table")
            << kOlderSchema + QStringLiteral("DROP TABLE chat;")
            << QStringLiteral("line:122, sql:ALTER TABLE chat ADD COLUMN group_id TEXT;, error:no such table: chat")
            << true;
        QTest::newRow("no message table")
            << kOlderSchema + QStringLiteral("DROP TABLE message;")
            << QStringLiteral("line:127, sql:ALTER TABLE message ADD COLUMN is_audio_message INTEGER DEFAULT 0;, "
                              "error:no such table: message")
            << true;
        // The column was added before the index failed; the next opening
        // finds it and goes on without the index.
        QTest::newRow("hash index name taken")
            << kOlderSchema + QStringLiteral("CREATE INDEX message_idx_logic_hash ON handle(id);")
            << QStringLiteral("line:164, sql:CREATE INDEX message_idx_logic_hash ON message(logic_hash);, "
                              "error:index message_idx_logic_hash already exists")
            << false;
    }

    void upgradeFailureNamesTheStatement()
    {
        QFETCH(QString, schema);
        QFETCH(QString, expected);
        QFETCH(bool, failsAgain);
        const QString folder = env->newFolder(QStringLiteral("broken"));
        {
            RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
            raw.exec(schema);
        }
        IOS6MessageDb db(folder, QString());
        const auto openingError = [&db]() {
            try {
                db.ensureOpen();
            } catch (const std::runtime_error &e) {
                return QString::fromUtf8(e.what());
            }
            return QString();
        };
        QCOMPARE(openingError(), expected);
        // Not left half open: the next operation checks the schema again.
        QVERIFY(!db.isOpen());
        QCOMPARE(openingError(), failsAgain ? expected : QString());
        QCOMPARE(db.isOpen(), !failsAgain);
    }

    void upperCaseColumnIsNotAddedAgain()
    {
        QString schema = kOlderSchema;
        schema.replace(QStringLiteral("was_deduplicated INTEGER DEFAULT 0);"),
                       QStringLiteral("was_deduplicated INTEGER DEFAULT 0, ITEM_TYPE INTEGER DEFAULT 0);"));
        const QString folder = env->newFolder(QStringLiteral("upper"));
        {
            RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
            raw.exec(schema);
        }
        IOS6MessageDb db(folder, QString());
        db.ensureOpen();
        QVERIFY(db.tbInfo(QStringLiteral("message")).contains(QStringLiteral("logic_hash")));
        // The stored statement does not name "item_type" as written, so group
        // events are not written into this file (see the merge tests).
        QVERIFY(!db.hasItemTypeColumn());
    }

    void optionalColumnsAreReadFromTheStoredStatement_data()
    {
        QTest::addColumn<QString>("chatColumn");
        QTest::addColumn<QString>("handleColumns");
        QTest::addColumn<bool>("last");
        QTest::addColumn<bool>("ctName");
        QTest::addColumn<bool>("photo");
        QTest::newRow("as created") << "_last INTEGER DEFAULT 0" << "_ct_name TEXT, _photo BLOB" << true << true << true;
        QTest::newRow("lower-case types") << "_last integer" << "_ct_name text, _photo blob" << true << true << true;
        QTest::newRow("other types") << "_last TEXT" << "_ct_name BLOB, _photo TEXT" << false << false << false;
        QTest::newRow("name only") << "_lastdate INTEGER" << "_ct_name_x INTEGER" << false << false << false;
    }

    void optionalColumnsAreReadFromTheStoredStatement()
    {
        QFETCH(QString, chatColumn);
        QFETCH(QString, handleColumns);
        QString schema = kOlderSchema;
        schema.replace(QStringLiteral("display_name TEXT);"), QStringLiteral("display_name TEXT, %1);").arg(chatColumn));
        schema.replace(QStringLiteral("uncanonicalized_id TEXT,"),
                       QStringLiteral("uncanonicalized_id TEXT, %1,").arg(handleColumns));
        const QString folder = env->newFolder(QStringLiteral("variant"));
        {
            RawDb raw(smsDbPath(folder), Sqlite3DB::OpenReadWriteCreate);
            raw.exec(schema);
        }
        IOS6MessageDb db(folder, QString());
        QTEST(db.hasLastColumn(), "last");
        QTEST(db.hasHandleColumn(QStringLiteral("_ct_name")), "ctName");
        QTEST(db.hasHandleColumn(QStringLiteral("_photo")), "photo");
    }

    void foreignTriggersMayCallTheAttachmentFunctions()
    {
        const QString folder = env->newFolder(QStringLiteral("phone-copy"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("SMS;-;+919876543210"), {h}), h, 100, QStringLiteral("pic"));
        b.attachment(m, QString(), QStringLiteral("a.jpg"));
        merge(folder, b);
        {
            RawDb raw(smsDbPath(folder));
            raw.exec(QStringLiteral(
                "CREATE TRIGGER after_delete_on_attachment AFTER DELETE ON attachment BEGIN "
                "SELECT delete_attachment_path(old.filename); "
                "SELECT before_delete_attachment_path(old.ROWID, old.guid); END;"));
            // Without the functions the trigger cannot run.
            QString error;
            Sqlite3DB plain;
            plain.openThrow(smsDbPath(folder), Sqlite3DB::OpenReadWrite);
            QVERIFY(plain.exec(QStringLiteral("DELETE FROM attachment"), error) != 0);
            QVERIFY2(error.contains(QLatin1String("no such function")), qPrintable(error));
        }

        IOS6MessageDb db(folder, QString());
        auto set = MsgDataSetPtr::create();
        db.messages(*set, 0);
        QCOMPARE(set->messages.size(), 1);
        db.beginTransaction();
        db.deleteMessage(*set->messages.first());
        db.endTransaction(true);
        db.close();
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), qint64(0));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), qint64(0));
    }

    void triggersCleanUpAfterTheLastLink()
    {
        const QString folder = env->newFolder(QStringLiteral("triggers"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c1"), {h}), h, 100, QStringLiteral("x"));
        b.attachment(m, QString(), QStringLiteral("a.jpg"));
        merge(folder, b);

        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.scalar(QStringLiteral("select cache_has_attachments from message")), qint64(1));
        raw.exec(QStringLiteral("DELETE FROM message_attachment_join"));
        QCOMPARE(raw.scalar(QStringLiteral("select cache_has_attachments from message")), qint64(0));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), qint64(0));

        // The handle is still linked to the chat, so it stays with its message gone.
        raw.exec(QStringLiteral("DELETE FROM chat_message_join"));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), qint64(0));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from handle")), qint64(1));
        raw.exec(QStringLiteral("DELETE FROM chat_handle_join"));
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from handle")), qint64(0));
    }

    void insertTextsAreSharedByRowsWithTheSameColumns()
    {
        QHash<QByteArray, QString> texts;
        InsertStatement first(QStringLiteral("message"));
        first.text("guid", QStringLiteral("a")).integer("replace", 1).textIfSet("subject", QString());
        InsertStatement second(QStringLiteral("message"));
        second.text("guid", QStringLiteral("b")).integer("replace", 2).textIfSet("subject", QString());
        InsertStatement withSubject(QStringLiteral("message"));
        withSubject.text("guid", QStringLiteral("c")).integer("replace", 0).textIfSet("subject", QStringLiteral("s"));
        InsertStatement otherTable(QStringLiteral("chat"));
        otherTable.text("guid", QStringLiteral("d")).integer("replace", 0);

        const Sqlite3Sql a = first.sql(texts);
        QCOMPARE(a.sql(), QStringLiteral("insert into message(\"guid\",\"replace\") values(?,?)"));
        QCOMPARE(a.params(), QList<QVariant>({QStringLiteral("a"), qint64(1)}));
        const Sqlite3Sql b = second.sql(texts);
        QCOMPARE(b.sql(), a.sql());
        QCOMPARE(b.params().first().toString(), QStringLiteral("b"));
        QCOMPARE(withSubject.sql(texts).sql(),
                 QStringLiteral("insert into message(\"guid\",\"replace\",\"subject\") values(?,?,?)"));
        QCOMPARE(otherTable.sql(texts).sql(), QStringLiteral("insert into chat(\"guid\",\"replace\") values(?,?)"));
        QCOMPARE(texts.size(), 3);
        QCOMPARE(InsertStatement(QStringLiteral("t")).sql(texts).sql(), QStringLiteral("insert into t default values"));
    }

    // ------------------------------------------------------------ attachment paths

    void attachmentPaths_data()
    {
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("expected");  // relative to file-relay; empty: refused
        const QString dir = QStringLiteral("var/mobile/Library/SMS/Attachments/");
        QTest::newRow("stored form") << "~/Library/SMS/Attachments/ab/cd/X/y.jpg" << dir + "ab/cd/X/y.jpg";
        QTest::newRow("phone store form") << "/var/mobile/Library/SMS/Attachments/ab/X/y.jpg" << dir + "ab/X/y.jpg";
        QTest::newRow("leading slash") << "/~/Library/SMS/Attachments/a.jpg" << dir + "a.jpg";
        QTest::newRow("forbidden characters") << "~/Library/SMS/Attachments/a:b*c?d\"e<f>g|h.jpg"
                                              << dir + "abcdefgh.jpg";
        QTest::newRow("dots that stay inside") << "~/Library/SMS/Attachments/ab/../cd/a.jpg" << dir + "cd/a.jpg";
        QTest::newRow("the database file") << "~/Library/SMS/Attachments/ab/cd/X/../../../../sms.db" << "";
        QTest::newRow("the address book") << "~/Library/AddressBook/AddressBook.sqlitedb" << "";
        QTest::newRow("drive letter") << "C:/Windows/x.dll" << "";
        QTest::newRow("climbs out") << "~/../../../escape.jpg" << "";
        QTest::newRow("climbs out far") << "~/Library/SMS/Attachments/ab/cd/X/../../../../../../../../../x" << "";
        QTest::newRow("backslashes climb out") << "~\\..\\..\\..\\escape.jpg" << "";
        QTest::newRow("absolute after the mapping") << "//etc/passwd" << "";
        QTest::newRow("only dots") << ".." << "";
        QTest::newRow("the attachments folder itself") << "~/Library/SMS/Attachments/ab/.." << "";
    }

    void attachmentPaths()
    {
        QFETCH(QString, filename);
        QFETCH(QString, expected);
        const QString folder = env->newFolder(QStringLiteral("paths"));
        IOS6MessageDb db(folder, QString());
        if (expected.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("leaves the attachments folder")));
        const QString path = db.localPath(filename);
        QCOMPARE(path, expected.isEmpty() ? QString() : folder + QStringLiteral("/file-relay/") + expected);
        if (!path.isEmpty())
            QVERIFY(path.startsWith(folder + QLatin1Char('/')));
    }

    void pathInsideFolderRefusesSiblingsWithTheSamePrefix()
    {
        QCOMPARE(pathInsideFolder(QStringLiteral("/data/db"), QStringLiteral("../db2/x")), QString());
        QCOMPARE(pathInsideFolder(QStringLiteral("/data/db"), QStringLiteral("a/x")), QStringLiteral("/data/db/a/x"));
        QCOMPARE(pathInsideFolder(QStringLiteral("/data/db"), QStringLiteral("a2/x"), QStringLiteral("/data/db/a")),
                 QString());
    }

    // ------------------------------------------------------------ loading

    void chatsTakeTheNewestDateFromMessagesWithoutLastColumn()
    {
        const QString folder = olderFolder(
            QStringLiteral("nolast"),
            QStringLiteral("INSERT INTO chat(ROWID, guid, service_name) VALUES(1, 'c1', 'SMS');"
                           "INSERT INTO chat(ROWID, guid, service_name) VALUES(2, 'c2', 'SMS');"
                           "INSERT INTO message(ROWID, guid, date) VALUES(1, 'm1', 100);"
                           "INSERT INTO message(ROWID, guid, date) VALUES(2, 'm2', 300);"
                           "INSERT INTO message(ROWID, guid, date) VALUES(3, 'm3', 200);"
                           "INSERT INTO chat_message_join VALUES(1, 1);"
                           "INSERT INTO chat_message_join VALUES(1, 2);"
                           "INSERT INTO chat_message_join VALUES(2, 3);"));
        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.chats(set);
        QCOMPARE(set.chats.size(), 2);
        QCOMPARE(set.chat(1)->_last, 300);
        QCOMPARE(set.chat(2)->_last, 200);
    }

    void chatsNormaliseNumbersInMemoryOnly()
    {
        const QString folder = env->newFolder(QStringLiteral("numbers"));
        SetBuilder b;
        _MsgHandle *local = b.handle(QStringLiteral("09876543210"));
        _MsgHandle *tagged = b.handle(QStringLiteral("98765 43211"));
        tagged->country = QStringLiteral("in");
        _MsgHandle *sender = b.handle(QStringLiteral("AmazonIN"));
        b.message(b.chat(QStringLiteral("c1"), {local}), local, 1, QStringLiteral("a"));
        b.message(b.chat(QStringLiteral("c2"), {tagged}), tagged, 2, QStringLiteral("b"));
        b.message(b.chat(QStringLiteral("c3"), {sender}), sender, 3, QStringLiteral("c"));
        merge(folder, b);

        IOS6MessageDb db(folder, QStringLiteral("404"));
        MsgDataSet set;
        db.chats(set);
        QStringList ids;
        QStringList countries;
        for (const _MsgHandle *h : std::as_const(set.handles)) {
            ids << h->id;
            countries << h->country;
        }
        QCOMPARE(ids, QStringList({"+919876543210", "+919876543211", "amazonin"}));
        QCOMPARE(countries, QStringList({"in", "in", "in"}));
        db.close();
        RawDb raw(smsDbPath(folder));
        QCOMPARE(raw.column(QStringLiteral("select id from handle order by rowid")),
                 QStringList({"09876543210", "98765 43211", "AmazonIN"}));
    }

    void chatsTakeContactNamesFromTheAddressBook()
    {
        const QString folder = env->newFolder(QStringLiteral("contacts"));
        SetBuilder b;
        _MsgHandle *known = b.handle(QStringLiteral("09876543210"));
        _MsgHandle *stranger = b.handle(QStringLiteral("+15550001111"));
        stranger->_ct_name = QStringLiteral("Old name");
        b.message(b.chat(QStringLiteral("c1"), {known}), known, 1, QStringLiteral("a"));
        b.message(b.chat(QStringLiteral("c2"), {stranger}), stranger, 2, QStringLiteral("b"));
        merge(folder, b);
        {
            RawDb book(folder + QStringLiteral("/file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb"),
                       Sqlite3DB::OpenReadWriteCreate);
            book.exec(QStringLiteral(
                "CREATE TABLE ABPerson(ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, Middle TEXT);"
                "CREATE TABLE ABMultiValue(UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, value TEXT);"
                "INSERT INTO ABPerson VALUES(7, 'Ann', ' Lee ', ' ');"
                "INSERT INTO ABMultiValue(record_id, property, value) VALUES(7, 3, '98765-43210');"));
        }

        IOS6MessageDb db(folder, QStringLiteral("404"));
        MsgDataSet set;
        db.chats(set);
        QStringList names;
        for (const _MsgHandle *h : std::as_const(set.handles))
            names << h->_ct_name;
        QCOMPARE(names, QStringList({"Ann Lee", ""}));
    }

    void messagesLeaveOutLocationSharing()
    {
        const QString folder = env->newFolder(QStringLiteral("location"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c1"), {h});
        b.message(c, h, 1, QStringLiteral("hello"));
        _MsgMessage *sharing = b.message(c, h, 2, QString());
        sharing->item_type = _MsgMessage::ItemLocationSharing;
        _MsgMessage *named = b.message(c, h, 3, QString());
        named->item_type = _MsgMessage::ItemConversationNamed;
        named->group_title = QStringLiteral("Trip");
        merge(folder, b);

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.messages(set, 0);
        QCOMPARE(set.messages.size(), 2);
        QCOMPARE(set.chats.first()->messages.size(), 2);
        for (const _MsgMessage *m : std::as_const(set.messages))
            QVERIFY(m->item_type != _MsgMessage::ItemLocationSharing);
    }

    void messagesResolveReferencesAndAttachments()
    {
        const QString folder = env->newFolder(QStringLiteral("refs"));
        const QString source = env->path(QStringLiteral("src/photo.jpg"));
        writeFile(source, "JPEGDATA");
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *group = b.chat(QStringLiteral("group"), {h1, h2});
        _MsgMessage *added = b.message(group, h1, 10, QString());
        added->item_type = _MsgMessage::ItemParticipantAdded;
        added->otherHandle = h2;
        _MsgMessage *photo = b.message(group, h2, 20, QStringLiteral("look"));
        photo->country = QString();
        b.attachment(photo, source, QStringLiteral("photo.jpg"));
        merge(folder, b);
        {
            RawDb raw(smsDbPath(folder));
            raw.exec(QStringLiteral("UPDATE handle SET country='in'"));
        }

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.messages(set, 0);
        QCOMPARE(set.messages.size(), 2);
        const QList<_MsgMessage *> loaded = set.messages.values();
        const _MsgMessage *event = loaded.at(0);
        const _MsgMessage *withFile = loaded.at(1);
        QCOMPARE(event->item_type, int(_MsgMessage::ItemParticipantAdded));
        QVERIFY(event->handle && event->otherHandle);
        QCOMPARE(event->otherHandle->id, QStringLiteral("+919876543211"));
        QCOMPARE(withFile->sortKey, withFile->rowid);
        QCOMPARE(withFile->country, QStringLiteral("in"));  // taken from the handle
        QCOMPARE(withFile->chat->guid, QStringLiteral("group"));
        QCOMPARE(withFile->attachments.size(), 1);
        const _MsgAttachment *a = withFile->attachments.first();
        QVERIFY(a->localPath.startsWith(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments/")));
        QCOMPARE(readFile(a->localPath), QByteArray("JPEGDATA"));
    }

    void messageOfAnUnknownChatStaysWithoutChat()
    {
        const QString folder = env->newFolder(QStringLiteral("orphan"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        b.message(b.chat(QStringLiteral("c1"), {h}), h, 1, QStringLiteral("a"));
        merge(folder, b);
        {
            RawDb raw(smsDbPath(folder));
            raw.exec(QStringLiteral("INSERT INTO message(guid, text, date) VALUES('lost', 'no chat', 5);"
                                    "INSERT INTO chat_message_join VALUES(999, last_insert_rowid());"));
        }
        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.messages(set, 0);
        QCOMPARE(set.messages.size(), 2);
        int withoutChat = 0;
        for (const _MsgMessage *m : std::as_const(set.messages))
            withoutChat += m->chat ? 0 : 1;
        QCOMPARE(withoutChat, 1);
    }

    void loadingTwoChatsIntoOneSet()
    {
        const QString folder = env->newFolder(QStringLiteral("two"));
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *c1 = b.chat(QStringLiteral("c1"), {h1});
        _MsgChat *c2 = b.chat(QStringLiteral("c2"), {h2});
        b.message(c1, h1, 1, QStringLiteral("a"));
        b.message(c1, h1, 2, QStringLiteral("b"));
        b.message(c2, h2, 3, QStringLiteral("c"));
        merge(folder, b);

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.messages(set, 1);
        QCOMPARE(set.messages.size(), 2);
        db.messages(set, 2);
        QCOMPARE(set.messages.size(), 3);
        QCOMPARE(set.chat(1)->messages.size(), 2);
        QCOMPARE(set.chat(2)->messages.size(), 1);
        for (const _MsgMessage *m : std::as_const(set.messages))
            QVERIFY(m->chat->messages.contains(QString::number(m->rowid)));
    }

    // What a window does when a conversation is opened: the chats are there,
    // only that chat's messages and files are read, and only once.
    void openingOneChatReadsItsMessagesAndFilesOnly()
    {
        const QString folder = env->newFolder(QStringLiteral("one"));
        const QString source = env->path(QStringLiteral("src/photo.jpg"));
        writeFile(source, "JPEGDATA");
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *c1 = b.chat(QStringLiteral("c1"), {h1});
        _MsgChat *c2 = b.chat(QStringLiteral("c2"), {h2});
        b.message(c1, h1, 1, QStringLiteral("a"));
        b.message(c2, h2, 2, QStringLiteral("b"));
        b.attachment(b.message(c2, h2, 3, QStringLiteral("c")), source, QStringLiteral("photo.jpg"));
        b.attachment(b.message(c1, h1, 4, QStringLiteral("d")), source, QStringLiteral("photo.jpg"));
        merge(folder, b);

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.chats(set);
        db.chatMessages(set, 2);
        QCOMPARE(set.messages.size(), 2);
        QCOMPARE(set.attachments.size(), 1);
        QCOMPARE(set.chat(2)->messages.size(), 2);
        QVERIFY(set.chat(1)->messages.isEmpty());
        for (const _MsgMessage *m : std::as_const(set.messages)) {
            QCOMPARE(m->chat, set.chat(2));
            QVERIFY(m->handle);
        }
        QVERIFY(set.hasMessagesOfChat(2));
        QVERIFY(!set.hasMessagesOfChat(1));

        // Read once: a file gone bad behind the program's back is not asked again.
        db.close();
        writeFile(smsDbPath(folder), "not a database");
        db.chatMessages(set, 2);
        QCOMPARE(set.messages.size(), 2);
    }

    // Reading every message a chunk at a time: undated messages first by row
    // id, then by date and row id (equal dates included), each message once
    // with every chat it is in, nothing hidden, whatever the chunk's size.
    void readingInChunksGivesEveryShownMessageOnceInOrder_data()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
        QTest::newRow("all at once") << 100;
    }

    void readingInChunksGivesEveryShownMessageOnceInOrder()
    {
        QFETCH(int, chunkSize);
        const QString folder = env->newFolder(QStringLiteral("chunks"));
        SetBuilder b;
        _MsgHandle *h1 = b.handle(QStringLiteral("+919876543210"));
        _MsgHandle *h2 = b.handle(QStringLiteral("+919876543211"));
        _MsgChat *c1 = b.chat(QStringLiteral("c1"), {h1});
        _MsgChat *c2 = b.chat(QStringLiteral("c2"), {h2});
        const QList<qint32> dates = {500, 300, 300, 100, 300, 200, 400, 300};
        for (int i = 0; i < dates.size(); ++i)
            b.message(i % 2 ? c2 : c1, i % 2 ? h2 : h1, dates.at(i), QStringLiteral("m%1").arg(i + 1));
        merge(folder, b);
        {
            RawDb raw(smsDbPath(folder));
            raw.exec(QStringLiteral("update message set date = null where text in ('m7', 'm2')"));
            raw.exec(QStringLiteral("update message set item_type = 4 where text = 'm6'"));
            raw.exec(QStringLiteral("insert into chat_message_join(chat_id, message_id) "
                                    "select 2, ROWID from message where text = 'm3'"));
        }

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.chats(set);
        IOS6MessageDb::ReadPosition position;
        QStringList texts;
        MsgMessageList read;
        while (db.messagesAfter(set, position, chunkSize, read)) {
            for (const _MsgMessage *m : std::as_const(read)) {
                texts.append(m->text);
                if (m->text == QLatin1String("m3"))
                    QVERIFY(set.chat(1)->messages.contains(QString::number(m->rowid))
                            && set.chat(2)->messages.contains(QString::number(m->rowid)));
            }
            set.releaseLinkedMessages();
        }
        QCOMPARE(texts, (QStringList{"m2", "m7", "m4", "m3", "m5", "m8", "m1"}));

        // The reader hands out the same messages, and again after a rewind
        // reading ahead, while other calls come between its chunks (the next
        // one is being read then); a dated message never leaves its date's
        // chunk.
        MessageChunkReader reader(folder, QString(), chunkSize);
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                reader.readAhead();
            reader.rewind();
            QStringList again;
            QHash<qint32, int> chunkOfDate;
            int chunks = 0;
            for (const MsgMessageList *chunk = &reader.next(); !chunk->isEmpty(); chunk = &reader.next(), ++chunks) {
                QCOMPARE(reader.count(), qint64(7));
                for (const _MsgMessage *m : *chunk) {
                    again.append(m->text);
                    if (m->date != 0)
                        QCOMPARE(chunkOfDate.value(m->date, chunks), chunks);
                    chunkOfDate.insert(m->date, chunks);
                }
            }
            again.sort();
            QCOMPARE(again, (QStringList{"m1", "m2", "m3", "m4", "m5", "m7", "m8"}));
        }
    }

    // A conversation opened with the columns the views show is read whole
    // before an operation takes it; a message gone from the file meanwhile
    // is named rather than handed on half read.
    void shownMessagesAreCompletedBeforeAnOperation_data()
    {
        QTest::addColumn<bool>("deletedMeanwhile");
        QTest::newRow("still stored") << false;
        QTest::newRow("deleted meanwhile") << true;
    }

    void shownMessagesAreCompletedBeforeAnOperation()
    {
        QFETCH(bool, deletedMeanwhile);
        const QString folder = env->newFolder(QStringLiteral("shown"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c"), {h});
        _MsgMessage *first = b.message(c, h, 100, QStringLiteral("first"), true);  // the columns below are not shown
        first->account = QStringLiteral("p:0");
        first->date_delivered = 105;
        first->is_read = 1;
        first->attributedBody = QByteArray("streamtyped");
        b.message(c, h, 200, QStringLiteral("second"));
        merge(folder, b);

        IOS6MessageDb db(folder, QString());
        MsgDataSet shown;
        db.chats(shown);
        db.shownChatMessages(shown, {1});
        const MsgMessageList messages = shown.messages.values();
        QCOMPARE(messages.size(), 2);
        for (const _MsgMessage *m : messages) {
            QVERIFY(m->partial);
            QVERIFY(m->guid.isEmpty());  // not a column the views show
        }
        if (deletedMeanwhile) {
            db.deleteMessage(*messages.constLast());
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.completeMessages(shown, messages));
            return;
        }
        db.completeMessages(shown, messages);

        MsgDataSet whole;
        db.chats(whole);
        db.chatMessages(whole, 1);
        for (const _MsgMessage *m : messages) {
            const _MsgMessage *stored = whole.message(m->rowid);
            QVERIFY(stored);
            QVERIFY(!m->partial);
            QCOMPARE(m->guid, stored->guid);
            QCOMPARE(m->text, stored->text);
            QCOMPARE(m->account, stored->account);
            QCOMPARE(m->date_delivered, stored->date_delivered);
            QCOMPARE(m->is_read, stored->is_read);
            QCOMPARE(m->attributedBody, stored->attributedBody);
            QCOMPARE(m->country, stored->country);
            QCOMPARE(m->handle->rowid, stored->handle->rowid);
            if (m->text == QLatin1String("first"))
                QCOMPARE(m->account, QStringLiteral("p:0"));
        }
    }

    void attachmentLeavingTheFolderGetsNoLocalPath_data()
    {
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("target");  // where the name points, relative to the folder
        QTest::newRow("outside the folder") << "~/../../../../secret.txt" << "../secret.txt";
        // Deleting or extracting the attachment would delete or copy the database.
        QTest::newRow("the database itself") << "~/Library/SMS/Attachments/ab/cd/X/../../../../sms.db"
                                             << "file-relay/var/mobile/Library/SMS/sms.db";
    }

    void attachmentLeavingTheFolderGetsNoLocalPath()
    {
        QFETCH(QString, filename);
        QFETCH(QString, target);
        const QString folder = env->newFolder(QStringLiteral("evil"));
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgMessage *m = b.message(b.chat(QStringLiteral("c1"), {h}), h, 1, QStringLiteral("x"));
        b.attachment(m, QString(), QString(), filename);
        merge(folder, b);
        const QString pointedAt = QDir::cleanPath(folder + QLatin1Char('/') + target);
        if (!QFileInfo::exists(pointedAt))
            writeFile(pointedAt, "secret");

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("leaves the attachments folder")));
        db.messages(set, 0);
        QCOMPARE(set.attachments.size(), 1);
        QCOMPARE(set.attachments.first()->filename, filename);
        QCOMPARE(set.attachments.first()->localPath, QString());
        QCOMPARE(set.messages.first()->attachments.size(), 1);
    }

    // ------------------------------------------------------------ deletion

    void deleteMessage_data()
    {
        QTest::addColumn<int>("messagesInChat");
        QTest::addColumn<bool>("chatRemains");
        QTest::newRow("only message") << 1 << false;
        QTest::newRow("one of two") << 2 << true;
    }

    void deleteMessage()
    {
        QFETCH(int, messagesInChat);
        QFETCH(bool, chatRemains);
        const QString folder = env->newFolder(QStringLiteral("delete"));
        const QString source = env->path(QStringLiteral("src/a.jpg"));
        writeFile(source, "A");
        SetBuilder b;
        _MsgHandle *h = b.handle(QStringLiteral("+919876543210"));
        _MsgChat *c = b.chat(QStringLiteral("c1"), {h});
        for (int i = 0; i < messagesInChat; ++i) {
            _MsgMessage *m = b.message(c, h, 100 + i, QStringLiteral("text %1").arg(i));
            b.attachment(m, source, QStringLiteral("a%1.jpg").arg(i));
        }
        merge(folder, b);

        IOS6MessageDb db(folder, QString());
        MsgDataSet set;
        db.messages(set, 0);
        const _MsgMessage *victim = set.messages.first();
        const QString file = victim->attachments.first()->localPath;
        db.beginTransaction();
        db.deleteMessage(*victim);
        db.endTransaction(true);
        db.close();

        RawDb raw(smsDbPath(folder));
        const qint64 left = messagesInChat - 1;
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message")), left);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from chat_message_join")), left);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), left);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message_attachment_join")), left);
        QCOMPARE(raw.scalar(QStringLiteral("select count(*) from chat")), qint64(chatRemains ? 1 : 0));
        QVERIFY(QFileInfo::exists(file));  // files are the extraction worker's business
    }
};

QTEST_GUILESS_MAIN(TestLocalDb)
#include "tst_localdb.moc"
