#include "store/AppleTime.h"
#include "store/ExportMessagesDb.h"
#include "search/MessageSearch.h"
#include "search/MessageSearchIndex.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"
#include "work/WorkerNotify.h"
#include "tst_localdb_fixtures.h"

#include <QtTest>

using namespace localdbtest;

namespace {

constexpr qint32 kDay = 24 * 3600;

void merge(const QString &folder, const MsgMessageList &messages)
{
    ExportMessagesDb writer(folder, QString());
    writer.begin();
    for (const _MsgMessage *message : messages)
        writer.write(*message);
    writer.end();
}

QString cacheFolder(const QString &imei)
{
    return dataRootDir().absoluteFilePath(QStringLiteral("android_cache/") + imei);
}

QString localFolder(const QString &name)
{
    return localDatabasesDir().absoluteFilePath(name);
}

QString indexOf(const QString &folder)
{
    return MessageSearchIndex::indexPathFor(smsDbPath(folder));
}

// "kind/name/conversation/snippet" of each hit, in order.
QStringList described(const QList<SearchHit> &hits)
{
    QStringList lines;
    for (const SearchHit &hit : hits)
        lines << QStringLiteral("%1/%2/%3/%4").arg(hit.sourceKind, hit.sourceName, hit.chatTitle, hit.snippet);
    return lines;
}

QStringList snippets(const QList<SearchHit> &hits)
{
    QStringList texts;
    for (const SearchHit &hit : hits)
        texts << hit.snippet;
    return texts;
}

// Deletes the stored message whose text is `text`, as the window's deletion does.
void deleteStoredMessage(const QString &folder, const QString &text)
{
    IOS6MessageDb db(folder, QString());
    MsgDataSet set;
    db.messages(set, 0);
    db.beginTransaction();
    for (const _MsgMessage *message : std::as_const(set.messages)) {
        if (message->text == text)
            db.deleteMessage(*message);
    }
    db.endTransaction(true);
    db.close();
}

QStringList searchOne(const QString &folder, const QString &words)
{
    return snippets(MessageSearchIndex(folder).search(words, 50));
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    // First use builds each index beside its database (whose tables stay as
    // they were); hits name source and conversation, newest first.
    void wordsFoundAcrossSourcesOnFirstUse()
    {
        Environment env;
        SetBuilder phone;
        _MsgHandle *anna = phone.handle(QStringLiteral("+14155550101"));
        _MsgChat *withAnna = phone.chat(QStringLiteral("SMS;-;+14155550101"), {anna});
        phone.message(withAnna, anna, 100 * kDay, QStringLiteral("Lunch on Friday?"));
        phone.message(withAnna, anna, 101 * kDay, QStringLiteral("Nothing to see"));
        merge(cacheFolder(QStringLiteral("356938035643809")), phone.messages());

        SetBuilder local;
        _MsgHandle *ben = local.handle(QStringLiteral("+14155550102"));
        _MsgChat *withBen = local.chat(QStringLiteral("SMS;-;+14155550102"), {ben});
        withBen->display_name = QStringLiteral("Ben <Work>");
        local.message(withBen, ben, 200 * kDay, QStringLiteral("lunch is at noon, friday too"), true);
        merge(localFolder(QStringLiteral("Work")), local.messages());

        const QString schemaBefore = RawDb(smsDbPath(localFolder(QStringLiteral("Work"))))
                                         .column(QStringLiteral("select sql from sqlite_master order by name"))
                                         .join(QLatin1Char('\n'));
        QVERIFY(!QFile::exists(indexOf(localFolder(QStringLiteral("Work")))));

        const QList<SearchHit> hits = MessageSearch::searchAll(QStringLiteral("friday LUNCH"),
                                                               MessageSearch::allSources(), 10);
        QCOMPARE(described(hits),
                 (QStringList{"local database/Work/Ben <Work>/lunch is at noon, friday too",
                              "phone cache/356938035643809/+14155550101/Lunch on Friday?"}));
        QVERIFY(hits.at(0).fromMe);
        QVERIFY(!hits.at(1).fromMe);
        QCOMPARE(hits.at(1).date, appleTimeToDateTime(100 * kDay));
        QVERIFY(hits.at(1).chatRowid > 0);
        QCOMPARE(hits.at(0).sourceFolder, localFolder(QStringLiteral("Work")));
        QVERIFY(QFile::exists(indexOf(localFolder(QStringLiteral("Work")))));
        QVERIFY(QFile::exists(indexOf(cacheFolder(QStringLiteral("356938035643809")))));
        QCOMPARE(RawDb(smsDbPath(localFolder(QStringLiteral("Work"))))
                     .column(QStringLiteral("select sql from sqlite_master order by name"))
                     .join(QLatin1Char('\n')),
                 schemaBefore);
        QCOMPARE(MessageSearch::searchAll(QStringLiteral("friday"), MessageSearch::allSources(), 1).size(), 1);
    }

    // The index never shows a deleted message nor misses a new one, and a
    // database replaced by another at the same place is indexed anew.
    void indexFollowsWritesDeletionsAndReplacement()
    {
        Environment env;
        const QString folder = localFolder(QStringLiteral("Home"));
        SetBuilder first;
        _MsgHandle *anna = first.handle(QStringLiteral("+14155550101"));
        _MsgChat *chat = first.chat(QStringLiteral("SMS;-;+14155550101"), {anna});
        first.message(chat, anna, 10, QStringLiteral("see you at the harbour"));
        first.message(chat, anna, 20, QStringLiteral("harbour closed today"));
        merge(folder, first.messages());
        QCOMPARE(searchOne(folder, QStringLiteral("harbour")).size(), 2);

        SetBuilder later;
        _MsgHandle *anna2 = later.handle(QStringLiteral("+14155550101"));
        _MsgChat *chat2 = later.chat(QStringLiteral("SMS;-;+14155550101"), {anna2});
        later.message(chat2, anna2, 30, QStringLiteral("harbour open again"));
        merge(folder, later.messages());
        QCOMPARE(searchOne(folder, QStringLiteral("harbour")),
                 (QStringList{"harbour open again", "harbour closed today", "see you at the harbour"}));

        deleteStoredMessage(folder, QStringLiteral("harbour closed today"));
        QCOMPARE(searchOne(folder, QStringLiteral("harbour")),
                 (QStringList{"harbour open again", "see you at the harbour"}));
        QVERIFY(searchOne(folder, QStringLiteral("closed")).isEmpty());

        // Same place, same ROWIDs, other messages: the index must not answer
        // with the old texts.
        const QString index = indexOf(folder);
        const QByteArray savedIndex = readFile(index);
        removeFolderRecursively(folder);
        SetBuilder other;
        _MsgHandle *carl = other.handle(QStringLiteral("+14155550103"));
        _MsgChat *chat3 = other.chat(QStringLiteral("SMS;-;+14155550103"), {carl});
        other.message(chat3, carl, 10, QStringLiteral("mountain trip"));
        other.message(chat3, carl, 20, QStringLiteral("mountain hut booked"));
        other.message(chat3, carl, 30, QStringLiteral("mountain weather fine"));
        merge(folder, other.messages());
        writeFile(index, savedIndex);
        QVERIFY(searchOne(folder, QStringLiteral("harbour")).isEmpty());
        QCOMPARE(searchOne(folder, QStringLiteral("mountain")).size(), 3);
    }

    // A cancel in the middle of indexing rolls the index back whole: the
    // next search adds the rows once, without stumbling over half a run.
    void cancelledUpdateLeavesNothingHalfDone()
    {
        Environment env;
        const QString folder = localFolder(QStringLiteral("Cancel"));
        SetBuilder set;
        _MsgHandle *anna = set.handle(QStringLiteral("+14155550101"));
        _MsgChat *chat = set.chat(QStringLiteral("SMS;-;+14155550101"), {anna});
        for (int i = 0; i < 3; ++i)
            set.message(chat, anna, 10 + i, QStringLiteral("tide table %1").arg(i));
        merge(folder, set.messages());
        MessageSearchIndex index(folder);
        QVERIFY_THROWS_EXCEPTION(OperationCancelled, index.update([](qint64 done, qint64) {
            if (done > 0)
                throw OperationCancelled();
        }));
        QCOMPARE(index.search(QStringLiteral("tide"), 10).size(), 3);
    }

    void matchesIgnoringCaseAccentsAndSpacing_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("words");
        QTest::addColumn<bool>("found");
        QTest::newRow("case") << "Meet me at the STATION" << "station" << true;
        QTest::newRow("accents") << "Un café crème, s'il te plaît" << "CAFE creme" << true;
        QTest::newRow("decomposed accents") << QString::fromUtf8("cafe\xcc\x81 noir") << "café" << true;
        QTest::newRow("German") << QString::fromUtf8("Grüße aus München") << "munchen" << true;
        QTest::newRow("Cyrillic") << QString::fromUtf8("Привет, как дела?") << QString::fromUtf8("ПРИВЕТ") << true;
        QTest::newRow("whole words") << "the meeting moved" << "meet" << false;
        QTest::newRow("every word needed") << "train at nine" << "train ten" << false;
        QTest::newRow("Chinese inside a run") << QString::fromUtf8("我们明天下午开会") << QString::fromUtf8("明天") << true;
        QTest::newRow("Chinese order") << QString::fromUtf8("我们明天下午开会") << QString::fromUtf8("天明") << false;
        QTest::newRow("Japanese") << QString::fromUtf8("東京駅で待ってるね") << QString::fromUtf8("東京駅") << true;
        QTest::newRow("Korean particle") << QString::fromUtf8("학교에서 만나") << QString::fromUtf8("학교") << true;
        QTest::newRow("mixed script") << QString::fromUtf8("iPhone手机坏了") << QString::fromUtf8("手机") << true;
        QTest::newRow("query syntax is text") << "say \"hi\" OR NOT" << "\"hi\" NOT* (" << true;
        QTest::newRow("only punctuation") << "a - b" << "-" << false;
    }

    void matchesIgnoringCaseAccentsAndSpacing()
    {
        QFETCH(QString, stored);
        QFETCH(QString, words);
        QFETCH(bool, found);
        Environment env;
        const QString folder = localFolder(QStringLiteral("Words"));
        SetBuilder set;
        _MsgHandle *anna = set.handle(QStringLiteral("+14155550101"));
        set.message(set.chat(QStringLiteral("SMS;-;+14155550101"), {anna}), anna, 10, stored);
        merge(folder, set.messages());
        QCOMPARE(searchOne(folder, words).size(), found ? 1 : 0);
    }

    // A damaged index file is replaced and the search still answers.
    void damagedIndexIsRebuilt_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray(8192, 'x');
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("foreign database") << QByteArray("SQLite format 3");
    }

    void damagedIndexIsRebuilt()
    {
        QFETCH(QByteArray, content);
        Environment env;
        const QString folder = localFolder(QStringLiteral("Damaged"));
        SetBuilder set;
        _MsgHandle *anna = set.handle(QStringLiteral("+14155550101"));
        set.message(set.chat(QStringLiteral("SMS;-;+14155550101"), {anna}), anna, 10, QStringLiteral("ferry at dawn"));
        merge(folder, set.messages());
        QCOMPARE(searchOne(folder, QStringLiteral("ferry")).size(), 1);

        QByteArray damaged = readFile(indexOf(folder));
        if (content.startsWith("SQLite"))
            damaged.replace(1024, 4096, QByteArray(4096, '\x5a'));  // pages broken, header intact
        else
            damaged = content;
        writeFile(indexOf(folder), damaged);
        QCOMPARE(searchOne(folder, QStringLiteral("ferry")), QStringList{"ferry at dawn"});
    }

    void sourcesByArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");  // empty: refused
        QTest::newRow("cache") << "cache:356938035643809" << "356938035643809";
        QTest::newRow("database") << "db:Work" << "Work";
        QTest::newRow("unknown database") << "db:Play" << "";
        QTest::newRow("path out of the folder") << "db:../local_databases/Work" << "";
        QTest::newRow("other form") << "Work" << "";
    }

    void sourcesByArgument()
    {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        Environment env;
        SetBuilder set;
        _MsgHandle *anna = set.handle(QStringLiteral("+14155550101"));
        set.message(set.chat(QStringLiteral("SMS;-;+14155550101"), {anna}), anna, 10, QStringLiteral("hi"));
        merge(cacheFolder(QStringLiteral("356938035643809")), set.messages());
        merge(localFolder(QStringLiteral("Work")), set.messages());
        if (name.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, MessageSearch::sourceFromArgument(argument));
            return;
        }
        QCOMPARE(MessageSearch::sourceFromArgument(argument).name, name);
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
