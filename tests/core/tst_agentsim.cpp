// The phone simulator played against the protocol primitives alone: the
// launcher, the three exchanges, the phone store, the injected faults, and the
// USB road through the stand-in adb.
#include "StandInTools.h"

#include "android/AdbClient.h"
#include "android/SimpleProtocol.h"

#include <QBuffer>
#include <QImage>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace simpleprotocol;

namespace {

const int WaitMs = 10000;
const QString AgentReceiver = QStringLiteral("com.ferrywright.smssync/.AdbSyncBroadcastReceiver");

// What the desktop side saw of one download.
struct DownloadTally
{
    int announced = -1;
    int batches = 0;
    int records = 0;
    int shortRecords = 0;
    int attachments = 0;
    qint64 attachmentBytes = 0;
    QList<QStringList> fields;
    QList<QByteArray> attachmentData;
    QStringList attachmentHeaders;
};

// Sends the URL to the launcher and returns its one-line answer.
QString askLauncher(int launcherPort, const QString &url)
{
    QTcpSocket launcher;
    launcher.connectToHost(QHostAddress::LocalHost, quint16(launcherPort));
    if (!launcher.waitForConnected(WaitMs))
        return QStringLiteral("<no launcher>");
    sendCommand(launcher, url, QString(), true, WaitMs);
    return readCommand(launcher, WaitMs);
}

std::unique_ptr<QTcpSocket> openExchange(int port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, quint16(port));
    if (!socket->waitForConnected(WaitMs))
        return nullptr;
    expectCommand(*socket, "$ready:", WaitMs);
    return socket;
}

void receiveAttachment(QTcpSocket &socket, DownloadTally &tally)
{
    const QString header = expectCommand(socket, "$atta:", WaitMs).mid(6);
    if (header.split(',').size() < 2)
        throw LocalException(socket, "$atta: command invalid param.");
    QByteArray data;
    for (;;) {
        const QString line = readCommand(socket, WaitMs);
        if (line.startsWith('.'))
            break;
        data += QByteArray::fromBase64(line.toLatin1());
    }
    sendCommand(socket, ".", QString(), true, WaitMs);
    ++tally.attachments;
    tally.attachmentBytes += data.size();
    tally.attachmentHeaders.append(header);
    tally.attachmentData.append(data);
}

// The download as the desktop runs it: count, batches of records, "1" or "0"
// for records that announce attachments, and "$bye:" answered.
void download(QTcpSocket &socket, DownloadTally &tally, bool takeAttachments = true)
{
    for (;;) {
        const QString command = readCommand(socket, WaitMs);
        if (command.startsWith("$count:")) {
            tally.announced = command.mid(7).toInt();
        } else if (command.startsWith("$batch:")) {
            ++tally.batches;
            for (;;) {
                const QString line = readCommand(socket, WaitMs);
                if (line.startsWith("$end:"))
                    break;
                if (!line.startsWith("$sms:"))
                    continue;
                const QStringList fields = line.mid(5).split(',');
                if (fields.size() < 6) {
                    ++tally.shortRecords;
                    continue;
                }
                ++tally.records;
                tally.fields.append(fields);
                const int attachments = fields.size() >= 7 ? fields.at(6).toInt() : 0;
                if (attachments == 0)
                    continue;
                sendCommand(socket, takeAttachments ? "1" : "0", QString(), true, WaitMs);
                for (int i = 0; takeAttachments && i < attachments; ++i)
                    receiveAttachment(socket, tally);
            }
            sendCommand(socket, "$batch:", QString(), true, WaitMs);
        } else if (command.startsWith("$bye:")) {
            sendCommand(socket, "$bye:", QString(), true, WaitMs);
            return;
        }
    }
}

QString text(const QStringList &fields, int index)
{
    return decodeText(fields.at(index));
}

QByteArray pngBytes()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QList<QJsonObject> storedMessages(const QString &store)
{
    QList<QJsonObject> messages;
    QFile file(QDir(store).filePath("messages.jsonl"));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            messages.append(QJsonDocument::fromJson(file.readLine()).object());
    }
    return messages;
}

} // namespace

class TestAgentSim : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void wholeDownloadThroughThePrimitives();
    void declinedAttachmentsAreNotSent();
    void deviceInformation();
    void uploadIsStoredForTheNextDownload();
    void launcherRefuses();
    void downloadFaults_data();
    void downloadFaults();
    void usbRoadThroughTheStandInAdb();
    void simulatorStopsByItself_data();
    void simulatorStopsByItself();
    void generatorMakesARealisticPhone();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString store(const QString &name = "phone") const { return m_dir->filePath(name); }
};

void TestAgentSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestAgentSim::wholeDownloadThroughThePrimitives()
{
    QVERIFY(SimulatedPhone::generate(store(), {"--messages", "25", "--contacts", "6", "--pictures", "3",
                                               "--picture-kb", "40", "--seed", "3"}));
    SimulatedPhone phone(store());
    QVERIFY(phone.start({"--batch-size", "10", "--chunk-size", "8192"}));

    const int port = freeLoopbackPort();
    QVERIFY(!askLauncher(phone.launcherPort(), downloadUrl(port)).startsWith('0'));
    const auto socket = openExchange(port);
    QVERIFY(socket);
    DownloadTally tally;
    download(*socket, tally);
    socket->disconnectFromHost();
    QVERIFY(phone.waitForExchangesEnded(1));

    QCOMPARE(tally.announced, 25);
    QCOMPARE(tally.records, 25);
    QCOMPARE(tally.batches, 3);
    QCOMPARE(tally.shortRecords, 0);
    const QJsonObject status = phone.status();
    QCOMPARE(status.value("exchangesCompleted").toInteger(), 1);
    QCOMPARE(status.value("recordsSent").toInteger(), tally.records);
    QCOMPARE(status.value("attachmentsSent").toInteger(), tally.attachments);
    QCOMPARE(status.value("attachmentBytesSent").toInteger(), tally.attachmentBytes);

    int pictures = 0;
    for (int i = 0; i < tally.attachments; ++i) {
        if (!tally.attachmentHeaders.at(i).startsWith("image/jpeg,"))
            continue;
        ++pictures;
        QVERIFY(!QImage::fromData(tally.attachmentData.at(i)).isNull());
        QCOMPARE(tally.attachmentData.at(i).size(), 40 * 1024);
    }
    QCOMPARE(pictures, 3);
    for (const QStringList &fields : std::as_const(tally.fields)) {
        QVERIFY(fields.size() == 6 || fields.size() == 7);
        QVERIFY(fields.at(0).toLongLong() > 1577836800000LL);  // after 2020
        QVERIFY(!text(fields, 2).isEmpty());
    }
}

void TestAgentSim::declinedAttachmentsAreNotSent()
{
    QVERIFY(SimulatedPhone::generate(store(), {"--messages", "30", "--pictures", "5", "--picture-kb", "20"}));
    SimulatedPhone phone(store());
    QVERIFY(phone.start());
    const int port = freeLoopbackPort();
    askLauncher(phone.launcherPort(), downloadUrl(port));
    const auto socket = openExchange(port);
    QVERIFY(socket);
    DownloadTally tally;
    download(*socket, tally, false);
    QVERIFY(phone.waitForExchangesEnded(1));
    QCOMPARE(tally.records, 30);
    QCOMPARE(tally.attachments, 0);
    QCOMPARE(phone.counter("attachmentsSent"), 0);
    QCOMPARE(phone.counter("exchangesCompleted"), 1);
}

void TestAgentSim::deviceInformation()
{
    QVERIFY(SimulatedPhone::generate(store(), {"--messages", "1", "--mmc", "262"}));
    SimulatedPhone phone(store());
    QVERIFY(phone.start({"--info", "model=Nexus 5;manufacturer=LGE;imei=1234", "--agent-version", "9"}));
    const int port = freeLoopbackPort();
    QCOMPARE(askLauncher(phone.launcherPort(), deviceInfoUrl(port)), QString("1"));
    const auto socket = openExchange(port);
    QVERIFY(socket);
    const QString hello = readCommand(*socket, WaitMs);
    sendCommand(*socket, "$bye:", QString(), true, WaitMs);
    QVERIFY(hello.startsWith("$hello:version=9;model=Nexus 5;manufacturer=LGE;imei=1234;uid="));
    QVERIFY(hello.endsWith(";mmc=262"));
    QVERIFY(phone.waitForExchangesEnded(1));
    QCOMPARE(phone.counter("exchangesCompleted"), 1);
    QCOMPARE(phone.counter("deviceInfoExchanges"), 1);
}

void TestAgentSim::uploadIsStoredForTheNextDownload()
{
    SimulatedPhone phone(store());
    QVERIFY(phone.start({"--defsmsapp", "1"}));
    const QByteArray picture = pngBytes();
    const QString greeting = QString::fromUtf8("Grüße aus Köln 🎉");

    int port = freeLoopbackPort();
    askLauncher(phone.launcherPort(), uploadUrl(port));
    auto socket = openExchange(port);
    QVERIFY(socket);
    QCOMPARE(expectCommand(*socket, "$defsmsapp:", WaitMs), QString("$defsmsapp:1"));
    sendCommand(*socket, "$defsmsapp:", QString(), true, WaitMs);
    sendCommand(*socket, "$batch:", QString(), true, WaitMs);
    sendCommand(*socket, "$sms:", QString("1388534400000,1,%1,%2,%3,1")
                                      .arg(encodeText("+15550100"), encodeText(greeting), encodeText("Hi")),
                false, WaitMs);
    sendCommand(*socket, "$atta:", "image/png,../../escape.png", true, WaitMs);
    sendCommand(*socket, QString::fromLatin1(picture.toBase64()), QString(), false, WaitMs);
    sendCommand(*socket, ".", QString(), true, WaitMs);
    expectCommand(*socket, ".", WaitMs);
    sendCommand(*socket, "$sms:", QString("1388534460000,0,%1,%2,%3,0")
                                      .arg(encodeText("+15550100"), encodeText("reply"), QString()),
                false, WaitMs);
    sendCommand(*socket, "$end:", QString(), true, WaitMs);
    expectCommand(*socket, "$batch:", WaitMs);
    sendCommand(*socket, "$bye:", QString(), true, WaitMs);
    QVERIFY(phone.waitForExchangesEnded(1));
    QCOMPARE(phone.counter("messagesReceived"), 2);
    QCOMPARE(phone.counter("attachmentsReceived"), 1);
    QCOMPARE(phone.counter("attachmentBytesReceived"), picture.size());
    // The hostile name stayed inside the store's parts folder.
    QVERIFY(!QFile::exists(m_dir->filePath("escape.png")));

    port = freeLoopbackPort();
    askLauncher(phone.launcherPort(), downloadUrl(port));
    socket = openExchange(port);
    QVERIFY(socket);
    DownloadTally tally;
    download(*socket, tally);
    QCOMPARE(tally.announced, 2);
    QCOMPARE(tally.records, 2);
    QCOMPARE(tally.fields.at(0).mid(0, 2), (QStringList{"1388534400000", "1"}));
    QCOMPARE(text(tally.fields.at(0), 2), QString("+15550100"));
    QCOMPARE(text(tally.fields.at(0), 4), greeting);
    QCOMPARE(text(tally.fields.at(0), 5), QString("Hi"));
    QCOMPARE(tally.fields.at(0).value(6), QString("1"));
    QCOMPARE(tally.attachmentData, QList<QByteArray>{picture});
    QVERIFY(tally.attachmentHeaders.at(0).startsWith("image/png,"));
    QCOMPARE(tally.fields.at(1).size(), 6);
    QCOMPARE(text(tally.fields.at(1), 4), QString("reply"));
}

void TestAgentSim::launcherRefuses()
{
    SimulatedPhone phone(store());
    QVERIFY(phone.start({"--refuse", "busy"}));
    const QString reply = askLauncher(phone.launcherPort(), deviceInfoUrl(freeLoopbackPort()));
    QVERIFY(reply.startsWith('0'));
    QCOMPARE(decodeText(reply.mid(1)), QString("busy"));
    QCOMPARE(askLauncher(phone.launcherPort(), "ftp://127.0.0.1:1").left(1), QString("0"));
    QTRY_COMPARE(phone.counter("launcherRefusals"), 2);
}

void TestAgentSim::downloadFaults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("records");
    QTest::newRow("drop after records") << QStringList{"--drop-after-records", "5"} << "transfer" << 5;
    QTest::newRow("drop inside an attachment") << QStringList{"--drop-in-attachment"} << "transfer" << -1;
    QTest::newRow("error after ready") << QStringList{"--error", "storage locked"} << "remote:storage locked" << 0;
    QTest::newRow("error after records") << QStringList{"--error", "db busy", "--error-after-records", "4"}
                                         << "remote:db busy" << 4;
    QTest::newRow("malformed record") << QStringList{"--malformed-record"} << "complete" << 12;
    QTest::newRow("malformed atta header") << QStringList{"--malformed-atta"} << "local" << -1;
    QTest::newRow("slow and late") << QStringList{"--slow", "2", "--ready-delay", "200"} << "complete" << 12;
}

void TestAgentSim::downloadFaults()
{
    QFETCH(QStringList, options);
    QFETCH(QString, outcome);
    QFETCH(int, records);
    QVERIFY(SimulatedPhone::generate(store(), {"--messages", "12", "--pictures", "4", "--picture-kb", "64"}));
    SimulatedPhone phone(store());
    QVERIFY(phone.start(options + QStringList{"--chunk-size", "4096"}));
    const int port = freeLoopbackPort();
    askLauncher(phone.launcherPort(), downloadUrl(port));
    const auto socket = openExchange(port);
    QVERIFY(socket);

    DownloadTally tally;
    QString seen = "complete";
    try {
        download(*socket, tally);
    } catch (const SocketDataTransferException &) {
        seen = "transfer";
    } catch (const RemoteException &error) {
        seen = "remote:" + QString::fromUtf8(error.what());
    } catch (const LocalException &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QString("$atta: command invalid param."));
        seen = "local";
    }
    QCOMPARE(seen, outcome);
    if (records >= 0)
        QCOMPARE(tally.records, records);
    socket->disconnectFromHost();
    QVERIFY(phone.waitForExchangesEnded(1));
    QCOMPARE(phone.counter(outcome == "complete" ? "exchangesCompleted" : "exchangesFailed"), 1);
    if (options.contains("--malformed-record"))
        QCOMPARE(tally.shortRecords, 1);
    if (outcome == "local")
        QCOMPARE(phone.counter("errorsReceived"), 1);
    if (options.contains("--drop-in-attachment"))
        QCOMPARE(tally.attachments, phone.counter("attachmentsSent"));
}

void TestAgentSim::usbRoadThroughTheStandInAdb()
{
    FakeAdbWorld world;
    QVERIFY(SimulatedPhone::generate(store(), {"--messages", "3", "--model", "Pixel 8"}));
    auto phone = std::make_unique<SimulatedPhone>(store());
    QVERIFY(phone->start({"--adb-state", world.statePath(), "--serial", "SIM0042"}));

    const AdbClient adb;
    QVERIFY(adb.startServer().contains("daemon started successfully"));
    const QList<AdbDevice> devices = adb.devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices.first().serial, QString("SIM0042"));
    QVERIFY(devices.first().isOnline());
    QVERIFY(adb.listPackages("SIM0042").contains("com.ferrywright.smssync"));

    // The connection steps over USB: broadcast the start URL, forward the
    // port, connect to it on 127.0.0.1.
    const int port = freeLoopbackPort();
    adb.am("SIM0042", "broadcast", AgentReceiver, QString(), deviceInfoUrl(port), {}, QString());
    adb.forward("SIM0042", port, port);
    const auto socket = openExchange(port);
    QVERIFY(socket);
    const QString hello = readCommand(*socket, WaitMs);
    sendCommand(*socket, "$bye:", QString(), true, WaitMs);
    QVERIFY(hello.contains(";model=Pixel 8;"));

    phone.reset();  // a stopping simulator unplugs itself
    QVERIFY(adb.devices().isEmpty());
}

void TestAgentSim::simulatorStopsByItself_data()
{
    QTest::addColumn<bool>("parentEnds");
    QTest::newRow("idle timeout") << false;
    QTest::newRow("parent gone") << true;
}

void TestAgentSim::simulatorStopsByItself()
{
    QFETCH(bool, parentEnds);
    QProcess parent;
    QStringList options{"--idle-timeout", "1"};
    if (parentEnds) {
        parent.start("sleep", {"1"});
        QVERIFY(parent.waitForStarted());
        // The later --parent-pid wins over the test's own.
        options = QStringList{"--parent-pid", QString::number(parent.processId())};
    }
    SimulatedPhone phone(store());
    QVERIFY(phone.start(options));
    QVERIFY(phone.process().waitForFinished(15000));
    QCOMPARE(phone.process().exitCode(), 0);
    parent.waitForFinished();
}

void TestAgentSim::generatorMakesARealisticPhone()
{
    const QStringList options{"--messages", "2000", "--contacts", "30", "--pictures", "4",
                              "--picture-kb", "30", "--seed", "11"};
    QVERIFY(SimulatedPhone::generate(store(), options));
    QVERIFY(SimulatedPhone::generate(store("twin"), options));
    QFile first(QDir(store()).filePath("messages.jsonl"));
    QFile second(QDir(store("twin")).filePath("messages.jsonl"));
    QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), second.readAll());

    const QList<QJsonObject> messages = storedMessages(store());
    QCOMPARE(messages.size(), 2000);
    QSet<QString> mimes;
    int sent = 0, groups = 0, nonLatin = 0, emoji = 0, longTexts = 0, jpegs = 0;
    qint64 previousDate = 0;
    for (const QJsonObject &message : messages) {
        const QString body = message.value("text").toString();
        sent += message.value("sent").toBool();
        groups += message.value("addresses").toArray().size() > 1;
        nonLatin += std::any_of(body.begin(), body.end(), [](QChar c) { return c.unicode() >= 0x0400 && !c.isSurrogate(); });
        emoji += std::any_of(body.begin(), body.end(), [](QChar c) { return c.isHighSurrogate(); });
        longTexts += body.size() > 1000;
        QVERIFY(message.value("date").toInteger() >= previousDate);
        previousDate = message.value("date").toInteger();
        for (const QJsonValue &value : message.value("parts").toArray()) {
            const QJsonObject part = value.toObject();
            mimes.insert(part.value("mime").toString());
            const QString path = QDir(store()).filePath(part.value("file").toString());
            QVERIFY2(QFile::exists(path), qPrintable(path));
            if (part.value("mime").toString() == "image/jpeg") {
                ++jpegs;
                QCOMPARE(QFileInfo(path).size(), 30 * 1024);
                QVERIFY(!QImage(path).isNull());
            }
        }
    }
    QCOMPARE(jpegs, 4);
    QVERIFY(sent > 500 && sent < 1500);
    QVERIFY(groups > 0);
    QVERIFY(nonLatin > 0);
    QVERIFY(emoji > 0);
    QVERIFY(longTexts > 0);
    for (const char *mime : {"image/jpeg", "image/png", "application/smil", "text/plain", "text/x-vcard"})
        QVERIFY2(mimes.contains(mime), mime);
}

QTEST_GUILESS_MAIN(TestAgentSim)
#include "tst_agentsim.moc"
