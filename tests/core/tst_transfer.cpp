// Sending messages to a phone: a phone's or a local database's messages reach
// the simulated phone B complete (its next download shows them, pictures
// within the size limit), a second transfer sends nothing, and a transfer cut
// short by a lost link, an agent error, a declined default-app request or a
// cancel leaves the counts reported, the phone and the cache in agreement, so
// a retry completes the phone without duplicates.

#include "core/FileChecks.h"
#include "android/AgentConnection.h"
#include "android/AndroidDevice.h"
#include "android/AndroidLoadSMSThread.h"
#include "android/AndroidRestoreSMSThread.h"
#include "android/SimpleProtocol.h"
#include "android/UploadPicture.h"
#include "app/KeyTranslator.h"
#include "work/HeadlessProgress.h"
#include "store/ExportMessagesDb.h"
#include "store/MsgChat.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgHandle.h"

#include "StandInTools.h"
#include "tst_localdb_fixtures.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString Mmc = QStringLiteral("310");

QString writePicture(const QString &path, const QSize &size, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    image.save(path, format);
    return path;
}

bool isPicture(const _MsgAttachment &attachment)
{
    return attachment.mime_type.startsWith(QLatin1String("image"), Qt::CaseInsensitive);
}

// The messages of a cache or local database, loaded as the window loads them.
struct Loaded
{
    QString folder;
    MsgDataSetPtr set = MsgDataSetPtr::create();
    MsgMessageList messages;

    explicit Loaded(const QString &folder)
        : folder(folder)
    {
        IOS6MessageDb db(folder, Mmc);
        db.chats(*set);
        db.messages(*set, 0);
        messages = set->messages.values();
    }

    // A group's messages, which a transfer leaves out.
    int groupMessages() const
    {
        return int(std::count_if(messages.begin(), messages.end(),
                                 [](const _MsgMessage *message) { return message->chat && message->chat->isGroup(); }));
    }

    // One line per message but a group's: what a transfer must keep.
    // Pictures are re-encoded, so only their type and name count.
    QStringList signatures() const
    {
        QStringList lines;
        for (const _MsgMessage *message : messages) {
            if (message->chat && message->chat->isGroup())
                continue;
            QStringList parts{message->handle ? message->handle->id : QString(), QString::number(message->date),
                              QString::number(message->is_from_me), hashText(*message), message->subject};
            for (const _MsgAttachment *attachment : message->attachments) {
                parts << attachment->mime_type << attachment->transfer_name
                      << (isPicture(*attachment) ? QByteArray("picture") : fileMd5(attachment->localPath));
            }
            lines.append(parts.join(QChar(0x1F)));
        }
        lines.sort();
        return lines;
    }

    QList<const _MsgAttachment *> pictures() const
    {
        QList<const _MsgAttachment *> found;
        for (const _MsgAttachment *attachment : set->attachments) {
            if (isPicture(*attachment))
                found.append(attachment);
        }
        return found;
    }
};

// Messages held by a simulated phone's store.
QList<QJsonObject> storedMessages(const QString &storeFolder)
{
    QList<QJsonObject> list;
    QFile file(storeFolder + "/messages.jsonl");
    if (!file.open(QIODevice::ReadOnly))
        return list;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            list.append(QJsonDocument::fromJson(line).object());
    }
    return list;
}

QSet<QString> storedTexts(const QString &storeFolder)
{
    QSet<QString> texts;
    for (const QJsonObject &message : storedMessages(storeFolder))
        texts.insert(message.value("text").toString());
    return texts;
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QTemporaryDir m_work;
    QByteArray m_savedHome;
    KeyTranslator m_translator;
    QString m_template;
    int m_folders = 0;

    QString newFolder(const QString &copyOf = QString())
    {
        const QString folder = m_work.filePath(QStringLiteral("f%1").arg(++m_folders));
        QDir().mkpath(folder);
        if (!copyOf.isEmpty())
            copyFolder(copyOf, folder);
        return folder;
    }

    static AndroidDevice wifiDevice(int launcherPort, const QString &imei)
    {
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = launcherPort;
        device.imei = imei;
        device.uid = imei;
        device.mmc = Mmc;
        return device;
    }

    struct Transfer
    {
        bool succeeded = false;
        QString error;
        QString result;
        QStringList tips;
        int delivered = 0;
        int alreadySent = 0;
        int skipped = 0;
        QStringList counts;  // every "Messages: done/total" shown
        QStringList missing; // texts of the messages the check did not find
    };

    using SetUp = std::function<void(HeadlessProgress &)>;

    static Transfer transfer(const AndroidDevice &target, const MsgMessageList &messages, const SetUp &setUp = {})
    {
        return run(setUp, [&](HeadlessProgress &progress) {
            return std::make_unique<AndroidRestoreSMSThread>(target, messages, &progress);
        });
    }

    // The loaded messages, or with `chunkSize` all of their database read
    // as it goes, in chunks of that many.
    static Transfer transfer(const AndroidDevice &target, const Loaded &source, int chunkSize,
                             const SetUp &setUp = {})
    {
        if (chunkSize == 0)
            return transfer(target, source.messages, setUp);
        return run(setUp, [&](HeadlessProgress &progress) {
            return std::make_unique<AndroidRestoreSMSThread>(
                target, std::make_unique<MessageChunkReader>(source.folder, Mmc, chunkSize), &progress);
        });
    }

    static Transfer run(const SetUp &setUp,
                        const std::function<std::unique_ptr<AndroidRestoreSMSThread>(HeadlessProgress &)> &make)
    {
        HeadlessProgress progress;
        if (setUp)
            setUp(progress);
        QStringList counts;
        QObject::connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress, &counts] {
            if (progress.progressText().startsWith(QLatin1String("Messages: ")))
                counts.append(progress.progressText());
        });
        const std::unique_ptr<AndroidRestoreSMSThread> worker = make(progress);
        progress.runToEnd(*worker);
        QStringList missing;
        for (const AndroidRestoreSMSThread::MissingMessage &message : worker->missingMessages())
            missing.append(message.text);
        missing.sort();
        return Transfer{progress.succeeded(),        progress.errorText(),         worker->resultText(),
                        progress.tips(),             worker->deliveredCount(),     worker->alreadySentCount(),
                        worker->skippedCount(),      counts,                       missing};
    }

    static QString download(const AndroidDevice &device)
    {
        HeadlessProgress progress;
        AndroidLoadSMSThread worker(&device, &progress);
        progress.runToEnd(worker);
        return progress.succeeded() ? device.cacheFolder() : QString();
    }

    // A local database: 250 texts in one conversation, a group event and a
    // message without a handle (both skipped), and pictures to re-encode.
    QString writeLocalDatabase()
    {
        const QString folder = newFolder();
        const QString sources = newFolder();
        localdbtest::SetBuilder builder;
        _MsgHandle *ann = builder.handle("+15550100001");
        _MsgChat *chat = builder.chat("SMS;-;+15550100001", {ann});
        for (int i = 0; i < 250; ++i)
            builder.message(chat, ann, 500000000 + i * 60, QStringLiteral("text %1").arg(i), i % 2 == 0);
        builder.message(chat, ann, 499000000, "joined")->item_type = _MsgMessage::ItemParticipantAdded;
        builder.message(chat, nullptr, 499000100, "no handle");
        qint32 date = 510000000;
        auto picture = [&](const QString &name, const QSize &size, const char *format, const QString &mime) {
            _MsgMessage *message = builder.message(chat, ann, date += 10, QString());
            _MsgAttachment *attachment =
                builder.attachment(message, writePicture(sources + '/' + name, size, format), name);
            attachment->mime_type = mime;
        };
        picture("large.jpg", QSize(3000, 2000), "JPEG", "image/jpeg");
        picture("tall.jpg", QSize(1200, 2400), "JPEG", "image/jpeg");
        picture("small.png", QSize(800, 600), "PNG", "image/png");
        picture("moving.gif", QSize(200, 100), "PNG", "image/gif");
        return writeDatabase(builder.messages(), folder);
    }

    QString writeDatabase(const MsgMessageList &messages, QString folder = QString())
    {
        if (folder.isEmpty())
            folder = newFolder();
        ExportMessagesDb writer(folder, QString());
        writer.begin();
        for (const _MsgMessage *message : messages)
            writer.write(*message);
        writer.end();
        return folder;
    }

    static void addSourceRows()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("loaded") << 0;
        QTest::newRow("read in chunks") << 7;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_work.isValid());
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        resetDataRootCacheForTests();
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        useStandInAdb();

        // Texts in many scripts, pictures, stickers, contact cards and groups,
        // plus a large photo and a file of several chunks.
        m_template = m_work.filePath("template");
        QVERIFY(SimulatedPhone::generate(m_template, {"--messages", "150", "--contacts", "12", "--pictures", "4",
                                                      "--picture-kb", "30", "--seed", "5", "--mmc", Mmc}));
        writePicture(m_template + "/parts/big_photo.jpg", QSize(2400, 1600), "JPEG");
        QByteArray video(700000, '\0');
        for (int i = 0; i < video.size(); ++i)
            video[i] = char((qint64(i) * 7919) >> 3);
        QFile videoFile(m_template + "/parts/clip.mp4");
        QVERIFY(videoFile.open(QIODevice::WriteOnly));
        videoFile.write(video);
        videoFile.close();
        QFile messages(m_template + "/messages.jsonl");
        QVERIFY(messages.open(QIODevice::Append));
        const QJsonObject extra{
            {"date", qint64(1700000000000)}, {"sent", true}, {"addresses", QJsonArray{"+15550109999"}}, {"text", "look"},
            {"parts", QJsonArray{QJsonObject{{"mime", "image/jpeg"}, {"name", "photo.jpg"}, {"file", "parts/big_photo.jpg"}},
                                 QJsonObject{{"mime", "video/mp4"}, {"name", "clip.mp4"}, {"file", "parts/clip.mp4"}}}}};
        messages.write(QJsonDocument(extra).toJson(QJsonDocument::Compact) + '\n');
        messages.close();

        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        AgentTimings timings;
        timings.connectTimeoutMs = 5000;
        timings.attemptTimeoutMs = 1000;
        timings.retryPauseMs = 20;
        setAgentTimings(timings);
    }

    void cleanupTestCase()
    {
        simpleprotocol::setAgentPortSource({});
        setAgentTimings(AgentTimings());
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    void recordFields()
    {
        localdbtest::SetBuilder builder;
        _MsgHandle *handle = builder.handle("+15550100");
        _MsgMessage *message = builder.message(nullptr, handle, 410227200, QString::fromUtf8("Grüße"), true);
        message->subject = "Hi";
        _MsgAttachment *attachment = builder.attachment(message, "/data/x\ny.jpg", "x.jpg");
        attachment->mime_type = "image/jpeg\r\n$bye:";
        QCOMPARE(AndroidRestoreSMSThread::uploadRecord(*message),
                 QString("1388534400000,1,%1,%2,%3,1")
                     .arg(simpleprotocol::encodeText("+15550100"), simpleprotocol::encodeText(QString::fromUtf8("Grüße")),
                          simpleprotocol::encodeText("Hi")));
        // Stored names never break the line they travel in.
        QCOMPARE(AndroidRestoreSMSThread::attachmentHeader(*attachment), QString("image/jpeg$bye:,xy.jpg"));

        // The parts of one multimedia message travel as one record again.
        _MsgMessage *secondPart = builder.message(nullptr, handle, 410227200, QString(), true);
        builder.attachment(secondPart, "/data/b.jpg", "b.jpg");
        _MsgMessage *thirdPart = builder.message(nullptr, handle, 410227200, QString(), true);
        builder.attachment(thirdPart, "/data/c.jpg", "c.jpg");
        _MsgMessage *later = builder.message(nullptr, handle, 410227260, QString(), true);
        builder.attachment(later, "/data/d.jpg", "d.jpg");
        const QList<MsgMessageList> records =
            AndroidRestoreSMSThread::uploadRecords({message, secondPart, thirdPart, later});
        QCOMPARE(records, (QList<MsgMessageList>{{message}, {secondPart, thirdPart}, {later}}));
        QVERIFY(AndroidRestoreSMSThread::uploadRecord(*secondPart, 2).endsWith(",2"));
    }

    void phoneToPhone_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("wifi") << false;
        QTest::newRow("usb") << true;
    }

    void phoneToPhone()
    {
        QFETCH(bool, usb);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        FakeAdbWorld world;
        SimulatedPhone phoneA(newFolder(m_template));
        const QString storeB = newFolder();
        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneA.start());
        QVERIFY(phoneB.start(usb ? QStringList{"--defsmsapp", "1", "--adb-state", world.statePath(), "--serial", "B"}
                                 : QStringList()));
        const AndroidDevice deviceA = wifiDevice(phoneA.launcherPort(), "A-" + tag);
        AndroidDevice deviceB = wifiDevice(phoneB.launcherPort(), "B-" + tag);
        if (usb) {
            QVERIFY(QTest::qWaitFor([&world] { return world.adb({"devices"}).contains("B"); }, 10000));
            deviceB.viaWifi = false;
            deviceB.serial = "B";
        }
        const QString cacheA = download(deviceA);
        QVERIFY(!cacheA.isEmpty());
        const Loaded fromA(cacheA);

        const int groupMessages = fromA.groupMessages();
        QVERIFY(groupMessages > 0);
        const int transferable = int(fromA.messages.size()) - groupMessages;
        const Transfer first = transfer(deviceB, fromA.messages);
        QVERIFY2(first.succeeded, qPrintable(first.error));
        QCOMPARE(first.delivered, transferable);
        QCOMPARE(first.skipped, groupMessages);
        QVERIFY(first.result.startsWith(QStringLiteral("Successfully Transferred %1 Messages.").arg(transferable)));
        QCOMPARE(first.tips.size(), usb ? 1 : 0);
        QCOMPARE(first.result.contains("resume your default Messaging app"), usb);
        QVERIFY(phoneB.waitForExchangesEnded(1));
        const qint64 recordsReceived = phoneB.counter("messagesReceived");

        // What B now holds, seen by a fresh download.
        AndroidDevice checkB = deviceB;
        checkB.imei = "B-check-" + tag;
        const QString cacheCheck = download(checkB);
        QVERIFY(!cacheCheck.isEmpty());
        const Loaded onB(cacheCheck);
        QCOMPARE(onB.signatures(), fromA.signatures());
        QVERIFY(onB.pictures().size() >= 5);
        for (const _MsgAttachment *picture : onB.pictures()) {
            QImageReader reader(picture->localPath);
            const QSize size = reader.read().size();
            QVERIFY2(!size.isEmpty(), qPrintable(picture->localPath));
            QVERIFY(std::max(size.width(), size.height()) <= UploadPicture::MaxSide);
        }

        // Nothing travels twice; B's own cache has every message once.
        const Transfer second = transfer(deviceB, fromA.messages);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QCOMPARE(second.delivered, 0);
        QCOMPARE(second.alreadySent, transferable);
        QVERIFY(phoneB.waitForExchangesEnded(3));
        QCOMPARE(phoneB.counter("messagesReceived"), recordsReceived);
        QVERIFY(!download(deviceB).isEmpty());
        QCOMPARE(Loaded(deviceB.cacheFolder()).signatures(), fromA.signatures());
    }

    void localDatabaseToPhone_data() { addSourceRows(); }

    void localDatabaseToPhone()
    {
        QFETCH(int, chunkSize);
        const Loaded local(writeLocalDatabase());
        const QString storeB = newFolder();
        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start());
        const AndroidDevice deviceB = wifiDevice(phoneB.launcherPort(), QStringLiteral("B-local-%1").arg(chunkSize));

        const Transfer sent = transfer(deviceB, local, chunkSize);
        QVERIFY2(sent.succeeded, qPrintable(sent.error));
        QCOMPARE(sent.skipped, 2);
        QCOMPARE(sent.delivered, 254);
        QCOMPARE(sent.result, QStringLiteral("Successfully Transferred 254 Messages.2 group messages or system "
                                             "messages can't be transferred.<br/>254 of 254 messages are on the "
                                             "phone."));
        QVERIFY(sent.missing.isEmpty());

        QCOMPARE(sent.counts.last(), QStringLiteral("Messages: 254/254"));

        AndroidDevice checkB = deviceB;
        checkB.imei += "-check";
        const QString cacheCheck = download(checkB);
        QVERIFY(!cacheCheck.isEmpty());
        const Loaded onB(cacheCheck);
        QCOMPARE(int(onB.messages.size()), 254);
        QMap<QString, QPair<QSize, QByteArray>> pictures;
        for (const _MsgAttachment *picture : onB.pictures()) {
            QImageReader reader(picture->localPath);
            const QByteArray format = reader.format();
            pictures.insert(picture->transfer_name, {reader.read().size(), format});
        }
        QCOMPARE(pictures.value("large.jpg"), qMakePair(QSize(1080, 720), QByteArray("jpeg")));
        QCOMPARE(pictures.value("tall.jpg"), qMakePair(QSize(540, 1080), QByteArray("jpeg")));
        QCOMPARE(pictures.value("small.png"), qMakePair(QSize(800, 600), QByteArray("png")));
        QCOMPARE(pictures.value("moving.gif"), qMakePair(QSize(200, 100), QByteArray("jpeg")));
    }

    // A cancel while the batch's closing "$end:" waits behind the batch for a
    // slow phone: the socket still delivers it and the phone stores the
    // batch, so the cache must record it too.
    void cancelWhileClosingBatch()
    {
        localdbtest::SetBuilder builder;
        _MsgHandle *ann = builder.handle("+15550100002");
        _MsgChat *chat = builder.chat("SMS;-;+15550100002", {ann});
        // More than the system's socket buffers hold: "$end:" waits for the phone.
        const QString filler(80000, QLatin1Char('x'));
        for (int i = 0; i < AndroidRestoreSMSThread::BatchSize; ++i)
            builder.message(chat, ann, 520000000 + i * 60, QStringLiteral("long %1 ").arg(i) + filler, true);
        const QString storeB = newFolder();
        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start({"--slow-read", "5"}));
        const AndroidDevice deviceB = wifiDevice(phoneB.launcherPort(), "B-end-flush");
        const QString lastReport = QStringLiteral("Messages: %1/").arg(AndroidRestoreSMSThread::BatchSize);

        const Transfer cut = transfer(deviceB, builder.messages(), [&lastReport](HeadlessProgress &progress) {
            // The last message's report comes right before the batch is closed.
            QObject::connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress, &lastReport] {
                if (progress.progressText().startsWith(lastReport) && progress.result() == HeadlessProgress::Running)
                    progress.cancel();
            });
        });
        QVERIFY(!cut.succeeded);
        QVERIFY(phoneB.waitForAllExchangesEnded());
        QCOMPARE(int(storedMessages(storeB).size()), AndroidRestoreSMSThread::BatchSize);
        QCOMPARE(localdbtest::RawDb(localdbtest::smsDbPath(deviceB.cacheFolder())).scalar("select count(*) from message"),
                 qint64(AndroidRestoreSMSThread::BatchSize));
    }

    void documentBesidePicture_data()
    {
        QTest::addColumn<bool>("oneMessage");
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("parts of one message") << true << 0;
        QTest::newRow("parts as messages of one record") << false << 0;
        // A chunk of one message must still hold both parts.
        QTest::newRow("parts as messages, read in chunks") << false << 1;
    }

    // The phone's download drops documents: a PDF sent beside a picture is
    // never seen again on the phone, yet a second transfer sends nothing.
    void documentBesidePicture()
    {
        QFETCH(bool, oneMessage);
        QFETCH(int, chunkSize);
        const QString sources = newFolder();
        localdbtest::SetBuilder builder;
        _MsgHandle *ann = builder.handle("+15550100003");
        _MsgChat *chat = builder.chat("SMS;-;+15550100003", {ann});
        _MsgMessage *picture = builder.message(chat, ann, 530000000, QString(), false);
        builder.attachment(picture, writePicture(sources + "/photo.jpg", QSize(300, 200), "JPEG"), "photo.jpg");
        _MsgMessage *document = oneMessage ? picture : builder.message(chat, ann, 530000000, QString(), false);
        QFile pdf(sources + "/terms.pdf");
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4\n%%EOF\n");
        pdf.close();
        builder.attachment(document, pdf.fileName(), "terms.pdf")->mime_type = "application/pdf";
        SimulatedPhone phoneB(newFolder());
        QVERIFY(phoneB.start());
        const AndroidDevice deviceB = wifiDevice(phoneB.launcherPort(), QString::fromLatin1(QTest::currentDataTag()));
        const Loaded stored(writeDatabase(builder.messages()));

        const Transfer first = chunkSize == 0 ? transfer(deviceB, builder.messages()) : transfer(deviceB, stored, chunkSize);
        QVERIFY2(first.succeeded, qPrintable(first.error));
        QVERIFY(phoneB.waitForAllExchangesEnded());
        const qint64 received = phoneB.counter("messagesReceived");
        QCOMPARE(received, 1);

        const Transfer second = chunkSize == 0 ? transfer(deviceB, builder.messages()) : transfer(deviceB, stored, chunkSize);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QCOMPARE(second.delivered, 0);
        QVERIFY(phoneB.waitForAllExchangesEnded());
        QCOMPARE(phoneB.counter("messagesReceived"), received);
    }

    // A cache emptied after a transfer (Clear cache, another computer) no
    // longer says what the phone holds: the next transfer still sends nothing.
    void emptiedCacheThenTransfer()
    {
        const Loaded local(writeLocalDatabase());
        SimulatedPhone phoneB(newFolder());
        QVERIFY(phoneB.start());
        const AndroidDevice deviceB = wifiDevice(phoneB.launcherPort(), "B-emptied");
        const Transfer first = transfer(deviceB, local.messages);
        QVERIFY2(first.succeeded, qPrintable(first.error));
        QVERIFY(phoneB.waitForAllExchangesEnded());
        const qint64 received = phoneB.counter("messagesReceived");

        QVERIFY(QDir(deviceB.cacheFolder()).removeRecursively());
        const Transfer second = transfer(deviceB, local.messages);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QCOMPARE(second.delivered, 0);
        QCOMPARE(second.alreadySent, 254);
        QVERIFY(phoneB.waitForAllExchangesEnded());
        QCOMPARE(phoneB.counter("messagesReceived"), received);
    }

    // The phone confirms three messages but never stores them: the check
    // after sending names exactly those, and a second transfer brings them.
    void messagesThePhoneLostAreNamed_data() { addSourceRows(); }

    void messagesThePhoneLostAreNamed()
    {
        QFETCH(int, chunkSize);
        const Loaded local(writeLocalDatabase());
        const QString storeB = newFolder();
        const AndroidDevice deviceB = wifiDevice(0, QStringLiteral("B-lossy-%1").arg(chunkSize));
        Transfer sent;
        {
            SimulatedPhone lossy(storeB);
            // Records 5, 50 and 120 of the transfer, in display order.
            QVERIFY(lossy.start({"--lose-received", "5,50,120"}));
            sent = transfer(wifiDevice(lossy.launcherPort(), deviceB.imei), local, chunkSize);
            QVERIFY(lossy.waitForAllExchangesEnded());
        }
        QVERIFY2(sent.succeeded, qPrintable(sent.error));
        QCOMPARE(sent.missing, (QStringList{"text 119", "text 4", "text 49"}));
        QVERIFY2(sent.result.contains("251 of 254 messages are on the phone. 3 messages did not arrive."),
                 qPrintable(sent.result));
        QCOMPARE(int(storedMessages(storeB).size()), 251);

        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start());
        const Transfer retry = transfer(wifiDevice(phoneB.launcherPort(), deviceB.imei), local, chunkSize);
        QVERIFY2(retry.succeeded, qPrintable(retry.error));
        QCOMPARE(retry.delivered, 3);
        QVERIFY(retry.missing.isEmpty());
        QCOMPARE(int(storedMessages(storeB).size()), 254);
    }

    void interruptedTransfer_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("reason");
        QTest::newRow("dropped") << QStringList{"--drop-after-records", "150"} << false << QString();
        QTest::newRow("agent error") << QStringList{"--error", "storage full", "--error-after-records", "150"}
                                     << false << QString("storage full");
        QTest::newRow("default app declined") << QStringList{"--refuse-defsmsapp"} << false
                                              << QString("declined");
        QTest::newRow("cancelled") << QStringList{"--slow", "300"} << true << QString();
    }

    void interruptedTransfer()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, cancel);
        QFETCH(QString, reason);
        const Loaded local(writeLocalDatabase());
        const QString storeB = newFolder();
        const QString imei = QStringLiteral("B-cut-%1").arg(m_folders);
        Transfer cut;
        {
            SimulatedPhone phoneB(storeB);
            QVERIFY(phoneB.start(faults));
            cut = transfer(wifiDevice(phoneB.launcherPort(), imei), local.messages, [cancel](HeadlessProgress &progress) {
                if (!cancel)
                    return;
                QObject::connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress] {
                    if (progress.value() >= 30 && progress.result() == HeadlessProgress::Running)
                        progress.cancel();
                });
            });
            QVERIFY(phoneB.waitForExchangesEnded(1));
        }
        QVERIFY(!cut.succeeded);
        QVERIFY(cut.delivered < 254);
        QCOMPARE(int(storedMessages(storeB).size()), cut.delivered);
        QCOMPARE(localdbtest::RawDb(localdbtest::smsDbPath(wifiDevice(0, imei).cacheFolder()))
                     .scalar("select count(*) from message"),
                 qint64(cut.delivered));
        if (!cancel) {
            QVERIFY2(cut.error.contains(reason), qPrintable(cut.error));
            QVERIFY2(cut.error.endsWith(
                         QStringLiteral("%1 messages reached the phone before the transfer stopped.").arg(cut.delivered)),
                     qPrintable(cut.error));
        }

        SimulatedPhone phoneB(storeB);
        QVERIFY(phoneB.start());
        const Transfer retry = transfer(wifiDevice(phoneB.launcherPort(), imei), local.messages);
        QVERIFY2(retry.succeeded, qPrintable(retry.error));
        QCOMPARE(retry.alreadySent, cut.delivered);
        QCOMPARE(retry.delivered, 254 - cut.delivered);
        // The count covers the whole transfer; what the phone had is done.
        QVERIFY(!retry.counts.isEmpty());
        QVERIFY2(retry.counts.first().section(QLatin1Char(' '), 1).section(QLatin1Char('/'), 0, 0).toInt()
                     > cut.delivered,
                 qPrintable(retry.counts.first()));
        QCOMPARE(retry.counts.last(), QStringLiteral("Messages: 254/254"));
        QCOMPARE(int(storedMessages(storeB).size()), 254);
        QCOMPARE(int(storedTexts(storeB).size()), 251);  // 250 texts and the pictures' empty text
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
