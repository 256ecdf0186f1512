// Import of iPhone backup folders: what the messages of a synthetic backup
// become (texts, archived texts, both kinds of dates, group chats, pictures
// in the hashed folders), what is skipped, that a second import adds nothing,
// that backups it cannot read are refused with a clear word and leave
// nothing, and that an imported conversation reaches a phone.

#include "android/AndroidDevice.h"
#include "android/AndroidRestoreSMSThread.h"
#include "android/SimpleProtocol.h"
#include "app/AppFolders.h"
#include "import/AttributedBodyText.h"
#include "import/ImportIPhoneBackupThread.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"
#include "work/HeadlessProgress.h"

#include "IPhoneBackupFixture.h"
#include "ImportedDatabase.h"
#include "StandInTools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using importtest::BaseDate;
using importtest::DatabaseContents;
using importtest::row;
using importtest::samplePicture;
using importtest::sorted;
using iphonetest::attributedBody;
using iphonetest::Backup;
using iphonetest::Message;

namespace {

const QString Mmc = QStringLiteral("310");
const QString Marker = QString(QChar(0xFFFC));
const QString Ann = QStringLiteral("+15550100001");
const QString Bob = QStringLiteral("+15550100002");
const QString Cy = QStringLiteral("+15550100003");

qint64 nanoseconds(qint64 offset)
{
    return (BaseDate + offset) * 1000000000LL;
}

// The messages a simulated phone's store holds: "text|mime types of the parts".
QStringList phoneTexts(const QString &store)
{
    QStringList texts;
    QFile file(store + "/messages.jsonl");
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject message = QJsonDocument::fromJson(line).object();
        QStringList mimes;
        for (const QJsonValue &part : message.value("parts").toArray())
            mimes.append(part.toObject().value("mime").toString());
        texts.append(message.value("text").toString() + '|' + mimes.join(','));
    }
    texts.sort();
    return texts;
}

} // namespace

class TestIPhoneImport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<importtest::ImportEnvironment> m_env;
    int m_folders = 0;

    QString newFolder(const QString &stem)
    {
        return m_env->workPath(QStringLiteral("%1%2").arg(stem).arg(++m_folders));
    }

    QString newDatabaseFolder()
    {
        return localDatabasesDir().absoluteFilePath(QStringLiteral("iPhone%1").arg(++m_folders));
    }

    struct Run
    {
        bool succeeded = false;
        QString error;
        qint64 records = 0;
        qint64 added = 0;
        qint64 skipped = 0;
        QString result;
    };

    static Run import(const QString &backup, const QString &folder)
    {
        HeadlessProgress progress;
        ImportIPhoneBackupThread worker(backup, folder, Mmc, &progress);
        progress.runToEnd(worker);
        return Run{progress.succeeded(),  progress.errorText(),  worker.recordsRead(),
                   worker.messagesAdded(), worker.itemsSkipped(), progress.resultText()};
    }

    // Ann's conversation, a group of Bob and Cy, and what has no meaning on
    // an Android phone; dates in nanoseconds.
    QString everyKindBackup(const QByteArray &picture)
    {
        const QString folder = newFolder("backup");
        Backup backup(folder);
        const qint64 ann = backup.handle(Ann);
        const qint64 bob = backup.handle(Bob);
        const qint64 cy = backup.handle(Cy);
        const qint64 dee = backup.handle(QStringLiteral("dee@example.com"));
        const qint64 annChat = backup.chat(Ann, {ann});
        const qint64 group = backup.chat(QStringLiteral("chat123456"), {bob, cy});
        const qint64 deeChat = backup.chat(QStringLiteral("dee@example.com"), {dee});

        const qint64 first = backup.message({annChat, ann, nanoseconds(0), false, "Hi from Ann"});
        Q_UNUSED(first);
        Message archived{annChat, ann, nanoseconds(1), true};
        archived.body = attributedBody(QString::fromUtf8("Reply \xF0\x9F\x98\x80"));
        backup.message(archived);
        const qint64 pictureMessage = backup.message({annChat, ann, nanoseconds(2), true, Marker + "Look"});
        backup.attachment(pictureMessage, QStringLiteral("photo.jpg"), QStringLiteral("image/jpeg"), picture);
        const qint64 oldStyle = backup.message({annChat, ann, nanoseconds(12), false, Marker});
        backup.attachment(oldStyle, QStringLiteral("old.png"), QStringLiteral("image/png"), picture.left(900), true,
                          QStringLiteral("/var/mobile/"));
        Message reaction{annChat, ann, nanoseconds(3), false, QString::fromUtf8("Loved \xE2\x80\x9CLook\xE2\x80\x9D")};
        reaction.associatedType = 2000;
        backup.message(reaction);
        Message unsent{annChat, ann, nanoseconds(4), true, QString()};
        unsent.dateRetracted = nanoseconds(5);
        backup.message(unsent);
        Message edited{annChat, ann, nanoseconds(5), true, "edited text"};
        edited.dateEdited = nanoseconds(6);
        backup.message(edited);
        Message effect{annChat, ann, nanoseconds(6), false, "Boom"};
        effect.effect = QStringLiteral("com.apple.MobileSMS.expressivesend.impact");
        backup.message(effect);
        const qint64 cloud = backup.message({annChat, ann, nanoseconds(7), false, Marker + "cloud"});
        backup.attachment(cloud, QStringLiteral("video.mov"), QStringLiteral("video/quicktime"), "not here", false);

        backup.message({group, bob, nanoseconds(8), false, "group hello"});
        backup.message({group, 0, nanoseconds(9), true, "group answer"});
        Message renamed{group, bob, nanoseconds(10), false, QString()};
        renamed.itemType = 2;
        backup.message(renamed);
        backup.message({deeChat, dee, nanoseconds(11), false, "mail me"});
        backup.finish();
        return folder;
    }

    QStringList everyKindRows(const QByteArray &picture) const
    {
        const QString group = Bob + ", " + Cy;
        const QString dee = QStringLiteral("dee@example.com");
        return sorted({row(Ann, 1, Ann, 0, 0, "Hi from Ann"),
                       row(Ann, 1, Ann, 1, 1, QString::fromUtf8("Reply \xF0\x9F\x98\x80")),
                       row(Ann, 1, Ann, 2, 1, "Look"),
                       row(Ann, 1, Ann, 2, 1, Marker, "image/jpeg", "photo.jpg", picture),
                       row(Ann, 1, Ann, 5, 1, "edited text"),
                       row(Ann, 1, Ann, 6, 0, "Boom"),
                       row(Ann, 1, Ann, 7, 0, "cloud"),
                       row(group, 2, Bob, 8, 0, "group hello"),
                       row(group, 2, QString(), 9, 1, "group answer"),
                       row(dee, 1, dee, 11, 0, "mail me"),
                       row(Ann, 1, Ann, 12, 0, Marker, "image/png", "old.png", picture.left(900))});
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<importtest::ImportEnvironment>();
        QVERIFY(m_env->isValid());
    }

    void cleanupTestCase() { m_env.reset(); }

    void messagesOfEveryKind()
    {
        const QByteArray picture = samplePicture(40000, 1);
        const QString folder = newDatabaseFolder();
        const Run run = import(everyKindBackup(picture), folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(run.records, 10);
        QCOMPARE(run.skipped, 3);
        QCOMPARE(DatabaseContents(folder).rows(), everyKindRows(picture));
        QVERIFY2(run.result.contains("2 edits and effects left out") && run.result.contains("1 attachments were not"),
                 qPrintable(run.result));
    }

    void datesInSecondsOrNanoseconds_data()
    {
        QTest::addColumn<bool>("older");
        QTest::newRow("current layout, nanoseconds") << false;
        QTest::newRow("older layout, seconds") << true;
    }

    void datesInSecondsOrNanoseconds()
    {
        QFETCH(bool, older);
        const QString backupFolder = newFolder("dates");
        {
            Backup backup(backupFolder, older ? iphonetest::OlderSchema : iphonetest::CurrentSchema);
            const qint64 ann = backup.handle(Ann, QStringLiteral("SMS"));
            const qint64 chat = backup.chat(Ann, {ann});
            const qint64 at = older ? BaseDate + 42 : nanoseconds(42);
            Message archived{chat, ann, at, false};
            archived.body = attributedBody(QString(300, QChar('x')));  // a two-byte length
            backup.message(archived);
            backup.finish();
        }
        const QString folder = newDatabaseFolder();
        const Run run = import(backupFolder, folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(DatabaseContents(folder).rows(), QStringList{row(Ann, 1, Ann, 42, 0, QString(300, QChar('x')))});
    }

    void secondImportAddsNothing()
    {
        const QString backup = everyKindBackup(samplePicture(30000, 2));
        const QString folder = newDatabaseFolder();
        QCOMPARE(import(backup, folder).added, 11);
        const DatabaseContents contents(folder);
        const QStringList before = contents.snapshot();

        const Run second = import(backup, folder);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QCOMPARE(second.records, 10);
        QCOMPARE(second.added, 0);
        QCOMPARE(contents.snapshot().mid(1), before.mid(1));
        QCOMPARE(contents.count("select count(*) from message"), 11);
    }

    void unreadableBackupIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("encrypted") << "encrypted" << "is encrypted";
        QTest::newRow("not a backup") << "empty" << "is not an iPhone backup folder: it has no Manifest.db";
        QTest::newRow("no messages") << "unlisted" << "holds no messages";
        QTest::newRow("damaged message database") << "damaged" << "could not be read";
    }

    void unreadableBackupIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        const QString backupFolder = newFolder(kind);
        QDir().mkpath(backupFolder);
        auto write = [](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        if (kind == "encrypted") {
            write(backupFolder + "/Manifest.db", samplePicture(8192, 7));  // what an encrypted manifest looks like
        } else if (kind == "unlisted") {
            Backup backup(backupFolder);
            backup.finish(false);
        } else if (kind == "damaged") {
            Backup backup(backupFolder);
            backup.finish();
            const QString id = Backup::fileId("HomeDomain", "Library/SMS/sms.db");
            write(backupFolder + '/' + id.left(2) + '/' + id, samplePicture(4096, 8));
        }
        const QString folder = newDatabaseFolder();
        const Run run = import(backupFolder, folder);
        QVERIFY(!run.succeeded);
        QVERIFY2(run.error.contains(error), qPrintable(run.error));
        QVERIFY(!QFileInfo::exists(folder));
    }

    void attributedBodyIsReadWithinItsBounds_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<QString>("text");
        const QString longText(200, QChar('y'));
        const QByteArray whole = attributedBody("short");
        const QByteArray longBlob = attributedBody(longText);
        const qsizetype afterPlus = whole.indexOf("NSString") + 14;  // the first byte after the length
        QTest::newRow("one-byte length") << whole << "short";
        QTest::newRow("two-byte length") << longBlob << longText;
        QTest::newRow("cut in the text") << whole.left(afterPlus + 3) << QString();
        QTest::newRow("cut in a two-byte length") << longBlob.left(afterPlus + 1) << QString();
        QTest::newRow("cut after the class name") << whole.left(afterPlus - 5) << QString();
        QTest::newRow("length past the end") << QByteArray(whole).replace(afterPlus - 1, 1, "\x7f") << QString();
        QTest::newRow("not an archive") << QByteArray("NSString\x01\x94\x84\x01+\x02hi") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void attributedBodyIsReadWithinItsBounds()
    {
        QFETCH(QByteArray, blob);
        QFETCH(QString, text);
        QCOMPARE(attributedBodyText(blob), text);
    }

    void importedConversationReachesPhone()
    {
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        const QString folder = newDatabaseFolder();
        QVERIFY(import(everyKindBackup(samplePicture(20000, 3)), folder).succeeded);
        MsgDataSet set;
        IOS6MessageDb db(folder, Mmc);
        db.chats(set);
        db.messages(set, 0);
        db.close();
        MsgMessageList conversation;
        for (_MsgMessage *message : std::as_const(set.messages)) {
            if (message->chat && message->chat->chat_identifier == Ann)
                conversation.append(message);
        }
        QCOMPARE(conversation.size(), 8);

        const QString store = newFolder("phone");
        QDir().mkpath(store);
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        SimulatedPhone phone(store);
        QVERIFY(phone.start());
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = phone.launcherPort();
        device.imei = device.uid = QStringLiteral("new-android");
        device.mmc = Mmc;
        HeadlessProgress progress;
        AndroidRestoreSMSThread worker(device, conversation, &progress);
        progress.runToEnd(worker);
        simpleprotocol::setAgentPortSource({});
        QVERIFY2(progress.succeeded(), qPrintable(progress.errorText()));
        QCOMPARE(worker.deliveredCount(), 8);
        QCOMPARE(phoneTexts(store), sorted({"Hi from Ann|", QString::fromUtf8("Reply \xF0\x9F\x98\x80|"), "Look|",
                                            "|image/jpeg", "|image/png", "edited text|", "Boom|", "cloud|"}));
    }
};

QTEST_GUILESS_MAIN(TestIPhoneImport)
#include "tst_iphoneimport.moc"
