// Databases of the older single-file format ("mms.db" with an attachments
// folder), built by hand, converted into local message databases: the parts
// an old message becomes, shared attachment files, and what a failure or a
// kill half-way leaves for the next start.

#include "OldDatabaseFixture.h"
#include "tst_localdb_fixtures.h"

#include "work/HeadlessProgress.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgMessage.h"
#include "import/OldDbConverter.h"
#include "import/UpdateLocalDbThread.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace localdbtest;

namespace {

const QString kSuccess = QStringLiteral("Successfully updated local database. Please restart software.");
constexpr qint64 kDate = 1500000000;  // Unix seconds of the first old message

// Eight text messages, the fifth ("text 4") with a picture: nine new messages.
void writeEightMessages(OldDatabase &old)
{
    const qint64 asha = old.handle(QStringLiteral("9876543210"), QStringLiteral("Asha"));
    for (int i = 0; i < 8; ++i) {
        const qint64 message = old.message(asha, QStringLiteral("text %1").arg(i), kDate + i);
        if (i == 4)
            old.link(message, old.part(QStringLiteral("p.jpg"), QStringLiteral("image/jpeg"), "jpeg"));
    }
}

QString localFolder(const QString &name)
{
    return localDatabasesDir().absoluteFilePath(name);
}

QString dataFolder(const QString &name)
{
    return dataRootDir().absoluteFilePath(QStringLiteral("data/") + name);
}

HeadlessProgress *runUpgrade(QObject *owner)
{
    auto *progress = new HeadlessProgress(owner);
    UpdateLocalDbThread worker(progress);
    progress->runToEnd(worker);
    return progress;
}

qint64 messageCount(const QString &folder)
{
    if (!QFileInfo::exists(smsDbPath(folder)))
        return 0;
    RawDb db(smsDbPath(folder));
    return db.scalar(QStringLiteral("select count(*) from message"));
}

} // namespace

class TestOldUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void convertsEveryKindOfPart();
    void messagesWithoutHandleRowAreKept_data();
    void messagesWithoutHandleRowAreKept();
    void oneFailingFolderDoesNotStopTheOthers();
    void sharedAttachmentSurvivesDeletingOneMessage();
    void convertsLocalAndDataFoldersInOneRun();
    void failureHalfWayKeepsOldFile_data();
    void failureHalfWayKeepsOldFile();
    void killHalfWayThenNextStartCompletes_data();
    void killHalfWayThenNextStartCompletes();
    void repeatedConversionAddsNothing();
    void partNamesCannotLeaveTheFolder();
    void datesBeyondTheStoredRangeAreBounded();
};

void TestOldUpgrade::convertsEveryKindOfPart()
{
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QStringLiteral("Asha"));
        old.message(asha, QStringLiteral("hello"), kDate);
        old.message(asha, QStringLiteral("hello"), kDate);  // duplicate: one message
        old.message(asha, QStringLiteral("sent by me"), kDate + 10, true);
        const qint64 picture = old.part(QStringLiteral("p1.jpg"), QStringLiteral("image/jpeg"), "jpeg bytes");
        old.link(old.message(asha, QString(), kDate + 20), picture);  // no text: the picture alone
        const qint64 mixed = old.message(asha, QStringLiteral("look"), kDate + 30);
        old.link(mixed, old.part(QStringLiteral("p2.png"), QStringLiteral("IMAGE/PNG"), "png bytes"));
        old.link(mixed, old.part(QStringLiteral("t1.txt"), QStringLiteral("Text/Plain"), "typed text"));
        old.link(mixed, old.part(QStringLiteral("c.vcf"), QStringLiteral("text/x-vcard"), "BEGIN:VCARD"));
        old.link(mixed, old.part(QStringLiteral("s.smil"), QStringLiteral("application/smil"), "<smil/>"));
        old.link(mixed, old.part(QStringLiteral("blank.txt"), QStringLiteral("text/plain"), "  \n "));
        old.link(mixed, old.part(QStringLiteral("x.bin"), QString(), "no type"));
        old.link(old.message(asha, QString(), kDate + 40), old.part(QStringLiteral("gone.jpg"), QStringLiteral("image/jpeg")));
        const qint64 ravi = old.handle(QStringLiteral("9123456789"), QStringLiteral("Ravi"));
        old.link(old.message(ravi, QString(), kDate + 50), picture);  // the same file again
    }

    QObject owner;
    HeadlessProgress *progress = runUpgrade(&owner);
    QVERIFY2(progress->succeeded(), qPrintable(progress->errorText()));
    QCOMPARE(progress->resultText(), kSuccess);
    QCOMPARE(progress->maximumValue(), 100);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/mms.db")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/mms.db-bak")));
    QVERIFY(!QFileInfo::exists(OldDbConverter::stagingFolder(folder)));

    RawDb db(smsDbPath(folder));
    const QStringList texts = db.column(QStringLiteral(
        "select replace(text, char(65532), '[A]') || '|' || is_from_me || '|' || date from message order by date, rowid"));
    const QString d0 = QString::number(kDate - 978307200);
    auto at = [](qint64 seconds) { return QString::number(kDate + seconds - 978307200); };
    QCOMPARE(texts, QStringList({QStringLiteral("hello|0|") + d0, QStringLiteral("sent by me|1|") + at(10),
                                 QStringLiteral("[A]|0|") + at(20), QStringLiteral("look|0|") + at(30),
                                 QStringLiteral("[A]|0|") + at(30), QStringLiteral("typed text|0|") + at(30),
                                 QStringLiteral("[A]|0|") + at(30), QStringLiteral("[A]|0|") + at(30),
                                 QStringLiteral("[A]|0|") + at(40),
                                 QStringLiteral("[A]|0|") + at(50)}));
    QCOMPARE(db.column(QStringLiteral("select guid from chat order by guid")),
             QStringList({QStringLiteral("SMS;-;9123456789"), QStringLiteral("SMS;-;9876543210")}));
    QCOMPARE(db.text(QStringLiteral("select _ct_name from handle where id='9876543210'")), QStringLiteral("Asha"));

    // Pictures, the contact card, the part without a type and the missing
    // picture keep their rows, the slide layout does not; the picture two messages
    // name is one row linked twice, its file stored once.
    QCOMPARE(db.column(QStringLiteral("select transfer_name || '|' || mime_type || '|' || uti from attachment order by transfer_name")),
             QStringList({QStringLiteral("c.vcf|text/x-vcard|public.x-vcard"), QStringLiteral("gone.jpg|image/jpeg|public.jpeg"),
                          QStringLiteral("p1.jpg|image/jpeg|public.jpeg"), QStringLiteral("p2.png|IMAGE/PNG|public.PNG"),
                          QStringLiteral("x.bin|application/octet-stream|public.octet-stream")}));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from message_attachment_join")), 6);
    IOS6MessageDb stored(folder, QString());
    const QString p1 = db.text(QStringLiteral("select filename from attachment where transfer_name='p1.jpg'"));
    QCOMPARE(readFile(stored.localPath(p1)), QByteArray("jpeg bytes"));
    const QString gone = db.text(QStringLiteral("select filename from attachment where transfer_name='gone.jpg'"));
    QVERIFY(!QFileInfo::exists(stored.localPath(gone)));
    const QString bin = db.text(QStringLiteral("select filename from attachment where transfer_name='x.bin'"));
    QCOMPARE(readFile(stored.localPath(bin)), QByteArray("no type"));
}

void TestOldUpgrade::messagesWithoutHandleRowAreKept_data()
{
    QTest::addColumn<bool>("ownAddressColumn");
    QTest::addColumn<QString>("chat");
    QTest::newRow("no number anywhere") << false << "SMS;-;Unknown";
    QTest::newRow("number of its own") << true << "SMS;-;9123456789";
}

void TestOldUpgrade::messagesWithoutHandleRowAreKept()
{
    QFETCH(bool, ownAddressColumn);
    QFETCH(QString, chat);
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QStringLiteral("Asha"));
        old.message(asha, QStringLiteral("with a handle"), kDate);
        const qint64 orphan = old.message(asha + 41, QStringLiteral("handle row gone"), kDate + 10);
        old.link(orphan, old.part(QStringLiteral("o.jpg"), QStringLiteral("image/jpeg"), "jpeg"));
        if (ownAddressColumn) {
            old.exec(QStringLiteral("ALTER TABLE message ADD COLUMN address TEXT"));
            old.exec(QStringLiteral("UPDATE message SET address='9123456789' WHERE rowid=%1").arg(orphan));
        }
    }
    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());

    RawDb db(smsDbPath(folder));
    QCOMPARE(db.column(QStringLiteral("select c.guid || '|' || replace(m.text, char(65532), '[A]') from message m "
                                      "join chat_message_join j on j.message_id=m.rowid join chat c on c.rowid=j.chat_id "
                                      "order by m.date, m.rowid")),
             QStringList({QStringLiteral("SMS;-;9876543210|with a handle"), chat + QStringLiteral("|handle row gone"),
                          chat + QStringLiteral("|[A]")}));
}

void TestOldUpgrade::oneFailingFolderDoesNotStopTheOthers()
{
    Environment env;
    for (const QString &name : {QStringLiteral("A"), QStringLiteral("B")}) {
        OldDatabase old(localFolder(name));
        old.message(old.handle(QStringLiteral("9876543210"), QString()), name, kDate);
    }
    {
        OldDatabase old(dataFolder(QStringLiteral("C")));
        old.message(old.handle(QStringLiteral("9876543210"), QString()), QStringLiteral("C"), kDate);
    }
    writeFile(localFolder(QStringLiteral("A/mms.db")), "this is no database, it only has the name");

    QObject owner;
    HeadlessProgress *progress = runUpgrade(&owner);
    QVERIFY(!progress->succeeded());
    QCOMPARE(progress->errorText().count(QStringLiteral("could not be updated")), 1);
    QVERIFY2(progress->errorText().startsWith(QStringLiteral("Local database A could not be updated: ")),
             qPrintable(progress->errorText()));
    QCOMPARE(messageCount(localFolder(QStringLiteral("B"))), 1);
    QCOMPARE(messageCount(localFolder(QStringLiteral("C"))), 1);
    QCOMPARE(UpdateLocalDbThread::oldDatabaseFolders(), QStringList{localFolder(QStringLiteral("A"))});
}

void TestOldUpgrade::sharedAttachmentSurvivesDeletingOneMessage()
{
    Environment env;
    const QString folder = localFolder(QStringLiteral("shared"));
    {
        OldDatabase old(folder);
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QStringLiteral("Asha"));
        const qint64 picture = old.part(QStringLiteral("p.jpg"), QStringLiteral("image/jpeg"), "jpeg");
        old.link(old.message(asha, QString(), kDate), picture);
        old.link(old.message(asha, QString(), kDate + 60), picture);
    }
    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());

    IOS6MessageDb db(folder, QString());
    MsgDataSet set;
    db.chats(set);
    QCOMPARE(set.chats.size(), 1);
    db.messages(set, set.chats.first()->rowid);
    QCOMPARE(set.messages.size(), 2);
    const _MsgMessage *first = set.messages.first();
    const QString file = db.localPath(first->attachments.first()->filename);
    db.deleteMessage(*first);
    db.close();

    RawDb raw(smsDbPath(folder));
    QCOMPARE(raw.scalar(QStringLiteral("select count(*) from attachment")), 1);
    QCOMPARE(raw.scalar(QStringLiteral("select count(*) from message_attachment_join")), 1);
    QCOMPARE(readFile(file), QByteArray("jpeg"));
}

void TestOldUpgrade::convertsLocalAndDataFoldersInOneRun()
{
    Environment env;
    for (const QString &folder : {localFolder(QStringLiteral("A")), dataFolder(QStringLiteral("B"))}) {
        OldDatabase old(folder);
        old.message(old.handle(QStringLiteral("9876543210"), QString()), folder, kDate);
    }
    QCOMPARE(UpdateLocalDbThread::oldDatabaseFolders(),
             QStringList({localFolder(QStringLiteral("A")), dataFolder(QStringLiteral("B"))}));

    QObject owner;
    HeadlessProgress *progress = runUpgrade(&owner);
    QVERIFY(progress->succeeded());
    QVERIFY(!UpdateLocalDbThread::hasOldDatabase());
    QCOMPARE(messageCount(localFolder(QStringLiteral("A"))), 1);
    QCOMPARE(messageCount(localFolder(QStringLiteral("B"))), 1);  // the data folder's name
    QVERIFY(QFileInfo::exists(dataFolder(QStringLiteral("B/mms.db-bak"))));
    QVERIFY(!QFileInfo::exists(smsDbPath(dataFolder(QStringLiteral("B")))));
}

void TestOldUpgrade::failureHalfWayKeepsOldFile_data()
{
    QTest::addColumn<bool>("targetHasDatabase");
    QTest::newRow("new database") << false;
    QTest::newRow("into an existing database") << true;
}

void TestOldUpgrade::failureHalfWayKeepsOldFile()
{
    QFETCH(bool, targetHasDatabase);
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        writeEightMessages(old);
    }
    const QByteArray oldBytes = readFile(folder + QStringLiteral("/mms.db"));
    QObject owner;
    if (targetHasDatabase) {
        // The database refuses the fifth message, as a full disk would.
        IOS6MessageDb(folder, QString()).ensureOpen();
        RawDb(smsDbPath(folder)).exec(QStringLiteral(
            "CREATE TRIGGER refuse_fifth BEFORE INSERT ON message WHEN new.text = 'text 4' "
            "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;"));
        HeadlessProgress *progress = runUpgrade(&owner);
        QVERIFY(!progress->succeeded());
        QVERIFY2(progress->errorText().contains(QStringLiteral("disk trouble")), qPrintable(progress->errorText()));
        RawDb(smsDbPath(folder)).exec(QStringLiteral("DROP TRIGGER refuse_fifth"));
    } else {
        OldDbConverter converter(folder, folder);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, converter.run([](int done, int) {
            if (done == 5)
                throw std::runtime_error("injected");
        }));
    }
    QCOMPARE(readFile(folder + QStringLiteral("/mms.db")), oldBytes);
    QCOMPARE(messageCount(folder), 0);
    QCOMPARE(QFileInfo::exists(smsDbPath(folder)), targetHasDatabase);
    QVERIFY(!QFileInfo::exists(OldDbConverter::stagingFolder(folder)));

    // The next start converts all of it.
    QVERIFY(runUpgrade(&owner)->succeeded());
    QCOMPARE(messageCount(folder), 9);
}

void TestOldUpgrade::killHalfWayThenNextStartCompletes_data()
{
    QTest::addColumn<bool>("targetHasDatabase");
    QTest::newRow("new database") << false;
    QTest::newRow("into an existing database") << true;
}

void TestOldUpgrade::killHalfWayThenNextStartCompletes()
{
    QFETCH(bool, targetHasDatabase);
    Environment env;
    const QString folder = dataFolder(QStringLiteral("old"));
    const QString target = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        writeEightMessages(old);
    }
    if (targetHasDatabase) {
        IOS6MessageDb existing(target, QString());
        existing.ensureOpen();
    }

    // A child process converts and is killed after the fifth message, the one
    // with a picture: no destructor, no rollback, no clean-up runs.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // The child must never return into the test runner.
        try {
            OldDbConverter converter(folder, target);
            converter.run([](int done, int) {
                if (done == 5)
                    raise(SIGKILL);
            });
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    QDeadlineTimer deadline(60000);
    while (waitpid(child, &status, WNOHANG) == 0 && !deadline.hasExpired())
        QThread::msleep(20);
    if (deadline.hasExpired()) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        QFAIL("the child did not reach the fifth message");
    }
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/mms.db")));
    QCOMPARE(messageCount(target), 0);
    QCOMPARE(QFileInfo::exists(smsDbPath(target)), targetHasDatabase);

    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());
    QCOMPARE(messageCount(target), 9);
    QVERIFY(!QFileInfo::exists(OldDbConverter::stagingFolder(target)));
    RawDb db(smsDbPath(target));
    IOS6MessageDb stored(target, QString());
    QCOMPARE(readFile(stored.localPath(db.text(QStringLiteral("select filename from attachment")))), QByteArray("jpeg"));
}

void TestOldUpgrade::repeatedConversionAddsNothing()
{
    // A run stopped after the new database was complete but before the old
    // file was renamed converts again at the next start.
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        writeEightMessages(old);
    }
    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());
    const QMap<QString, qint64> before = RawDb(smsDbPath(folder)).counts();
    QVERIFY(QFile::copy(folder + QStringLiteral("/mms.db-bak"), folder + QStringLiteral("/mms.db")));

    QVERIFY(runUpgrade(&owner)->succeeded());
    QCOMPARE(RawDb(smsDbPath(folder)).counts(), before);
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/mms.db-bak")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/mms(1).db-bak")));
    QVERIFY(!UpdateLocalDbThread::hasOldDatabase());
}

void TestOldUpgrade::partNamesCannotLeaveTheFolder()
{
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    writeFile(env.path(QStringLiteral("secret.txt")), "private");
    {
        OldDatabase old(folder);
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QString());
        const QString outside = QDir(folder + QStringLiteral("/attachments")).relativeFilePath(env.path(QStringLiteral("secret.txt")));
        old.link(old.message(asha, QString(), kDate), old.part(outside, QStringLiteral("text/plain")));
        old.link(old.message(asha, QString(), kDate + 1), old.part(outside, QStringLiteral("image/jpeg")));
    }
    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());

    RawDb db(smsDbPath(folder));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from message where text like '%private%'")), 0);
    IOS6MessageDb stored(folder, QString());
    QVERIFY(!QFileInfo::exists(stored.localPath(db.text(QStringLiteral("select filename from attachment")))));
}

void TestOldUpgrade::datesBeyondTheStoredRangeAreBounded()
{
    Environment env;
    const QString folder = localFolder(QStringLiteral("old"));
    {
        OldDatabase old(folder);
        const qint64 asha = old.handle(QStringLiteral("9876543210"), QString());
        old.message(asha, QStringLiteral("first"), std::numeric_limits<qint64>::min());
        old.message(asha, QStringLiteral("last"), std::numeric_limits<qint64>::max());
    }
    QObject owner;
    QVERIFY(runUpgrade(&owner)->succeeded());

    RawDb db(smsDbPath(folder));
    QCOMPARE(db.column(QStringLiteral("select text || '|' || date from message order by date")),
             QStringList({QStringLiteral("first|%1").arg(std::numeric_limits<qint32>::min()),
                          QStringLiteral("last|%1").arg(std::numeric_limits<qint32>::max())}));
}

QTEST_GUILESS_MAIN(TestOldUpgrade)
#include "tst_oldupgrade.moc"
