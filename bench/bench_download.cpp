// Measures the download of a phone into its cache database against the phone
// simulator on loopback. In one run:
//
//  1. a simulated phone is generated: by default 100,000 messages with 1,000
//     JPEG pictures of 200 KB (agent-sim generate, 40 contacts);
//  2. baseline A: the same messages, made into the same records, merged
//     straight into a new database (ExportMessagesDb, one transaction, the
//     attachment files copied from the phone's part files);
//  3. baseline B: every byte of the phone's part files sent once through a
//     loopback TCP connection;
//  4. first download (AndroidLoadSMSThread over the WiFi road, in a fresh
//     process of this program that reports its time and peak resident memory,
//     VmHWM of /proc/self/status);
//  5. second download of the unchanged phone, same cache: its time, and the
//     simulator's count of attachment bytes sent, which must not move;
//  6. two small phones (1,000 texts) that differ only in one attachment of
//     1 MB or of --big-mb MB (default 100): the peak memory of their downloads
//     must not differ by more than 16 MB.
//
// Targets (exit code 1 when one is missed): first download <= 1.5 x A + B;
// second download <= first / 10; peak memory < 150 MB, independent of the
// attachment size.
//
// Steps 2-5 run --rounds times (default 3) on new databases; the best round of
// each is reported, in wall-clock time and in CPU time of the measured process
// (which other programs on a shared machine do not inflate).
//
// Usage: bench_download [--messages N] [--pictures K] [--picture-kb KB] [--contacts M]
//                       [--big-mb MB] [--rounds N] [--dir PATH] [--keep]
// Internal: bench_download --child download --port P --imei X
//           bench_download --child merge --store DIR --folder DIR

#include "BenchSimulator.h"
#include "android/AgentConnection.h"
#include "android/AndroidDevice.h"
#include "android/AndroidLoadSMSThread.h"
#include "android/DownloadRecord.h"
#include "country/CountryLibDb.h"
#include "work/HeadlessProgress.h"
#include "store/ExportMessagesDb.h"
#include "store/MessageText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <memory>
#include <stdexcept>

#include <time.h>
#include <unistd.h>

using namespace bench;

namespace {

constexpr double kFirstDownloadFactor = 1.5;   // times the straight merge, plus the bytes' time
constexpr double kSecondDownloadShare = 0.1;   // of the first download
constexpr double kPeakMemoryTargetMb = 150.0;
constexpr double kBigAttachmentSlackMb = 16.0;
const QString kMmc = QStringLiteral("310");

// CPU time of this process (all threads), in milliseconds.
qint64 processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// --- children ----------------------------------------------------------------

int childDownload(int port, const QString &imei)
{
    AndroidDevice device;
    device.viaWifi = true;
    device.host = QStringLiteral("127.0.0.1");
    device.port = port;
    device.imei = imei;
    device.mmc = kMmc;
    HeadlessProgress progress;
    AndroidLoadSMSThread worker(&device, &progress);
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = processCpuMs();
    progress.runToEnd(worker);
    const qint64 ms = clock.elapsed();
    const qint64 cpuMs = processCpuMs() - cpuStart;
    if (!progress.succeeded())
        fail(QStringLiteral("download failed: %1").arg(progress.errorText()));
    out() << "ms=" << ms << "\ncpu_ms=" << cpuMs << "\npeak_kb=" << procStatusKb("VmHWM")
          << "\nrecords=" << worker.received() << "\n";
    return 0;
}

// The records a download makes of one stored phone message, merged at once.
void mergeStoreMessage(const QJsonObject &message, const QString &storeFolder, CountryLibDb &countries,
                       ExportMessagesDb &writer)
{
    DownloadRecord fields;
    fields.timeMs = message.value("date").toInteger();
    fields.fromMe = message.value("sent").toBool();
    QStringList addresses;
    for (const QJsonValue &address : message.value("addresses").toArray())
        addresses.append(address.toString());
    fields.number = addresses.join(QLatin1Char(';'));
    fields.contactName = message.value("name").toString();
    fields.text = message.value("text").toString();
    fields.subject = message.value("subject").toString();
    const QJsonArray parts = message.value("parts").toArray();

    const std::unique_ptr<RecordMessages> made =
        RecordMessages::downloaded(fields, [&countries](const QString &number) { return countries.normalise(number); });
    const RecordMessages &record = *made;
    if (parts.isEmpty()) {
        writer.write(record.message());
        return;
    }
    if (!hashText(record.message()).isEmpty())
        writer.write(record.textPart());
    QSet<QString> used;
    for (const QJsonValue &value : parts) {
        const QJsonObject part = value.toObject();
        const QString mime = part.value("mime").toString();
        const QString path = QDir(storeFolder).filePath(part.value("file").toString());
        const QString name = uniqueAttachmentName(attachmentFileName(part.value("name").toString()), used);
        if (mime.startsWith(QLatin1String("application/"), Qt::CaseInsensitive))
            continue;
        if (mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0) {
            QFile file(path);
            const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
            if (!text.isEmpty())
                writer.write(record.plainTextPart(text));
            continue;
        }
        _MsgAttachment attachment = record.mediaAttachment(mime, name, path, QFileInfo(path).size());
        writer.write(record.mediaPart(attachment));
    }
}

int childMerge(const QString &storeFolder, const QString &folder)
{
    CountryLibDb countries(kMmc);
    ExportMessagesDb writer(folder, kMmc);
    QFile messages(QDir(storeFolder).filePath(QStringLiteral("messages.jsonl")));
    if (!messages.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(messages.fileName()));
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = processCpuMs();
    writer.begin();
    qint64 count = 0;
    while (!messages.atEnd()) {
        const QByteArray line = messages.readLine().trimmed();
        if (line.isEmpty())
            continue;
        mergeStoreMessage(QJsonDocument::fromJson(line).object(), storeFolder, countries, writer);
        ++count;
    }
    writer.end();
    out() << "ms=" << clock.elapsed() << "\ncpu_ms=" << processCpuMs() - cpuStart << "\npeak_kb="
          << procStatusKb("VmHWM") << "\nrecords=" << count << "\n";
    return 0;
}

// --- the parent ----------------------------------------------------------------

struct ChildResult
{
    qint64 ms = 0;
    qint64 cpuMs = 0;
    double peakMb = 0;
    qint64 records = 0;
    qint64 simulatorCpuMs = 0;  // downloads: what the phone simulator spent meanwhile

    // The better of two rounds: least time, least CPU, most memory.
    ChildResult best(const ChildResult &other) const
    {
        return {std::min(ms, other.ms), std::min(cpuMs, other.cpuMs), std::max(peakMb, other.peakMb), records,
                std::min(simulatorCpuMs, other.simulatorCpuMs)};
    }
};

ChildResult runChild(const QStringList &arguments, const QString &home)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        fail(QStringLiteral("child %1 failed").arg(arguments.join(QLatin1Char(' '))));
    ChildResult result;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ms="))
            result.ms = line.mid(3).toLongLong();
        else if (line.startsWith("cpu_ms="))
            result.cpuMs = line.mid(7).toLongLong();
        else if (line.startsWith("peak_kb="))
            result.peakMb = line.mid(8).toDouble() / 1024.0;
        else if (line.startsWith("records="))
            result.records = line.mid(8).toLongLong();
    }
    return result;
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

// Reads and drops everything one loopback connection brings.
class LoopbackSink : public QThread
{
public:
    explicit LoopbackSink(qint64 expected) : m_expected(expected) {}

    quint16 listen()
    {
        start();
        m_listening.acquire();
        return m_port;
    }

    qint64 received() const { return m_received; }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        m_listening.release();
        if (!server.waitForNewConnection(10000))
            return;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        while (m_received < m_expected && socket->waitForReadyRead(10000))
            m_received += socket->readAll().size();
    }

private:
    qint64 m_expected;
    QSemaphore m_listening;
    quint16 m_port = 0;
    qint64 m_received = 0;
};

// Sends `bytes` through a loopback connection in 64 KB blocks; milliseconds.
qint64 loopbackTransferMs(qint64 bytes)
{
    LoopbackSink sink(bytes);
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, sink.listen());
    if (!sender.waitForConnected(5000))
        fail(QStringLiteral("cannot connect on loopback"));
    const QByteArray block(64 * 1024, 'x');
    QElapsedTimer clock;
    clock.start();
    for (qint64 sent = 0; sent < bytes; sent += block.size()) {
        sender.write(block.constData(), std::min<qint64>(block.size(), bytes - sent));
        while (sender.bytesToWrite() > 4 * 1024 * 1024)
            sender.waitForBytesWritten(10000);
    }
    while (sender.bytesToWrite() > 0)
        sender.waitForBytesWritten(10000);
    sink.wait();
    const qint64 ms = clock.elapsed();
    if (sink.received() < bytes)
        fail(QStringLiteral("loopback transfer lost bytes"));
    return ms;
}

void generatePhone(const QString &store, const QCommandLineParser &parser)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedChannels);
    generator.start(toolPath(QStringLiteral("agent-sim")),
                    {"generate", "--store", store, "--messages", parser.value("messages"), "--pictures",
                     parser.value("pictures"), "--picture-kb", parser.value("picture-kb"), "--contacts",
                     parser.value("contacts"), "--mmc", kMmc, "--seed", "1"});
    if (!generator.waitForFinished(-1) || generator.exitCode() != 0)
        fail(QStringLiteral("agent-sim generate failed"));
}

// 1,000 short texts and one message carrying a video of `attachmentBytes`.
void writeSmallPhone(const QString &store, qint64 attachmentBytes)
{
    QDir().mkpath(store + QStringLiteral("/parts"));
    QFile info(store + QStringLiteral("/phone.json"));
    info.open(QIODevice::WriteOnly);
    info.write(R"({"info":{"version":"32","imei":"big","mmc":"310"}})");
    QFile part(store + QStringLiteral("/parts/video.mp4"));
    part.open(QIODevice::WriteOnly);
    QRandomGenerator random(7);
    QByteArray block(1 << 20, '\0');
    for (qint64 written = 0; written < attachmentBytes; written += block.size()) {
        random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        part.write(block.constData(), std::min<qint64>(block.size(), attachmentBytes - written));
    }
    QFile messages(store + QStringLiteral("/messages.jsonl"));
    messages.open(QIODevice::WriteOnly);
    const qint64 start = 1600000000000;
    for (int i = 0; i < 1000; ++i) {
        QJsonObject message{{"date", start + i * 60000},
                            {"sent", i % 2 == 0},
                            {"addresses", QJsonArray{QStringLiteral("+1555010%1").arg(i % 40, 4, 10, QLatin1Char('0'))}},
                            {"text", QStringLiteral("message number %1").arg(i)}};
        if (i == 500) {
            message.insert("parts", QJsonArray{QJsonObject{
                                        {"mime", "video/mp4"}, {"name", "video.mp4"}, {"file", "parts/video.mp4"}}});
        }
        messages.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    }
}

double smallPhonePeakMb(const QString &work, const QString &name, qint64 attachmentBytes)
{
    const QString store = QDir(work).filePath(name);
    writeSmallPhone(store, attachmentBytes);
    Simulator simulator(store, store + QStringLiteral(".status.json"));
    const QString home = QDir(work).filePath(name + QStringLiteral("-home"));
    QDir().mkpath(home);
    return runChild({"download", "--port", QString::number(simulator.port()), "--imei", name}, home).peakMb;
}

struct Round
{
    ChildResult merge;
    qint64 bytesMs = 0;
    ChildResult first;
    ChildResult second;
    qint64 secondAttachmentBytes = 0;
};

// One round: the straight merge, the bytes' time and both downloads, each on
// new databases.
Round runRound(const QString &work, const QString &store, qint64 partBytes, int round)
{
    const QString tag = QString::number(round);
    const QString home = QDir(work).filePath(QStringLiteral("home") + tag);
    QDir().mkpath(home);
    Round result;
    out() << "Round " << round << ": straight merge, ";
    out().flush();
    result.merge = runChild({"merge", "--store", store, "--folder", QDir(work).filePath(QStringLiteral("merged") + tag)},
                            home);
    out() << "loopback bytes, ";
    out().flush();
    result.bytesMs = loopbackTransferMs(partBytes);

    Simulator simulator(store, QDir(work).filePath(QStringLiteral("phone%1.status.json").arg(tag)));
    const QStringList download{"download", "--port", QString::number(simulator.port()), "--imei", "bench"};
    out() << "first download, ";
    out().flush();
    qint64 simulatorCpu = simulator.cpuMs();
    result.first = runChild(download, home);
    result.first.simulatorCpuMs = simulator.cpuMs() - simulatorCpu;
    const qint64 bytesAfterFirst = simulator.counter("attachmentBytesSent");
    out() << "second download\n";
    out().flush();
    simulatorCpu = simulator.cpuMs();
    result.second = runChild(download, home);
    result.second.simulatorCpuMs = simulator.cpuMs() - simulatorCpu;
    result.secondAttachmentBytes = simulator.counter("attachmentBytesSent") - bytesAfterFirst;
    return result;
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

int runBenchmark(const QCommandLineParser &parser)
{
    std::unique_ptr<QTemporaryDir> temporary;
    if (!parser.isSet("dir")) {
        temporary = std::make_unique<QTemporaryDir>();
        temporary->setAutoRemove(!parser.isSet("keep"));
    }
    const QString work = temporary ? temporary->path() : parser.value("dir");
    QDir().mkpath(work);
    const QString store = QDir(work).filePath(QStringLiteral("phone"));

    out() << "Generating the phone (" << parser.value("messages") << " messages, " << parser.value("pictures")
          << " pictures of " << parser.value("picture-kb") << " KB)...\n";
    out().flush();
    QElapsedTimer clock;
    clock.start();
    generatePhone(store, parser);
    const qint64 partBytes = folderBytes(QDir(store).filePath(QStringLiteral("parts")));
    out() << "  " << clock.elapsed() << " ms, " << fixed(partBytes / 1048576.0, 1) << " MB of part files\n";

    const int rounds = std::max(1, parser.value("rounds").toInt());
    Round best = runRound(work, store, partBytes, 1);
    for (int round = 2; round <= rounds; ++round) {
        const Round next = runRound(work, store, partBytes, round);
        best.merge = best.merge.best(next.merge);
        best.bytesMs = std::min(best.bytesMs, next.bytesMs);
        best.first = best.first.best(next.first);
        best.second = best.second.best(next.second);
        best.secondAttachmentBytes = std::max(best.secondAttachmentBytes, next.secondAttachmentBytes);
    }

    const qint64 bigBytes = parser.value("big-mb").toLongLong() * 1024 * 1024;
    out() << "Small phones with a 1 MB and a " << parser.value("big-mb") << " MB attachment...\n";
    out().flush();
    const double smallPeak = smallPhonePeakMb(work, QStringLiteral("small1"), 1024 * 1024);
    const double bigPeak = smallPhonePeakMb(work, QStringLiteral("small2"), bigBytes);

    const double firstLimit = kFirstDownloadFactor * best.merge.ms + best.bytesMs;
    const double firstCpuLimit = kFirstDownloadFactor * best.merge.cpuMs + best.bytesMs;
    const double secondLimit = kSecondDownloadShare * best.first.ms;
    const double secondCpuLimit = kSecondDownloadShare * best.first.cpuMs;
    const double peak = std::max(best.first.peakMb, best.second.peakMb);
    const bool firstOk = best.first.ms <= firstLimit;
    const bool secondOk = best.second.ms <= secondLimit;
    const bool nothingSent = best.secondAttachmentBytes == 0;
    const bool memoryOk = peak < kPeakMemoryTargetMb && bigPeak < kPeakMemoryTargetMb;
    const bool streamOk = bigPeak - smallPeak <= kBigAttachmentSlackMb;

    out() << "\nBest of " << rounds << " round(s); CPU is the measured process's own (all its threads).\n\n"
          << "| measurement | wall ms | CPU ms | target (wall) | result | same target on CPU |\n"
          << "|---|---:|---:|---|---|---|\n";
    out() << "| A: straight merge of the " << best.first.records << " records | " << best.merge.ms << " | "
          << best.merge.cpuMs << " | | | |\n";
    out() << "| B: " << fixed(partBytes / 1048576.0, 1) << " MB of part bytes through loopback | " << best.bytesMs
          << " | | | | |\n";
    out() << "| first download | " << best.first.ms << " | " << best.first.cpuMs << " | <= 1.5 A + B = "
          << fixed(firstLimit, 0) << " | " << verdict(firstOk) << " | " << fixed(firstCpuLimit, 0) << ": "
          << verdict(best.first.cpuMs <= firstCpuLimit) << " |\n";
    out() << "| second download | " << best.second.ms << " | " << best.second.cpuMs << " | <= first / 10 = "
          << fixed(secondLimit, 0) << " | " << verdict(secondOk) << " | " << fixed(secondCpuLimit, 0) << ": "
          << verdict(best.second.cpuMs <= secondCpuLimit) << " |\n";
    out() << "| attachment bytes sent by the second download | " << best.secondAttachmentBytes << " | | 0 | "
          << verdict(nothingSent) << " | |\n";
    out() << "| the simulator meanwhile, first / second download | | " << best.first.simulatorCpuMs << " / "
          << best.second.simulatorCpuMs << " | | | |\n";
    out() << "\n| memory (VmHWM) | MB | target | result |\n|---|---:|---|---|\n";
    out() << "| first download | " << fixed(best.first.peakMb, 1) << " | < 150 | "
          << verdict(best.first.peakMb < kPeakMemoryTargetMb) << " |\n";
    out() << "| second download | " << fixed(best.second.peakMb, 1) << " | < 150 | "
          << verdict(best.second.peakMb < kPeakMemoryTargetMb) << " |\n";
    out() << "| 1,000 texts and a 1 MB attachment | " << fixed(smallPeak, 1) << " | | |\n";
    out() << "| the same with a " << parser.value("big-mb") << " MB attachment | " << fixed(bigPeak, 1)
          << " | at most 16 more | " << verdict(streamOk) << " |\n";
    out().flush();
    return firstOk && secondOk && nothingSent && memoryOk && streamOk ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"messages", "Messages on the phone.", "n", "100000"},
        {"pictures", "Pictures among them.", "k", "1000"},
        {"picture-kb", "Size of each picture in KB.", "kb", "200"},
        {"contacts", "Contacts on the phone.", "m", "40"},
        {"big-mb", "Size of the big attachment in MB.", "mb", "100"},
        {"rounds", "Rounds of merge and downloads; the best of each is reported.", "n", "3"},
        {"dir", "Work folder (default: a temporary folder).", "path"},
        {"keep", "Keep the temporary work folder."},
        {"child", "Internal: run one measured part (download or merge).", "what"},
        {"port", "Internal: the simulator's launcher port.", "port"},
        {"imei", "Internal: the phone's imei (names the cache).", "imei"},
        {"store", "Internal: the phone store.", "dir"},
        {"folder", "Internal: the database folder of the merge.", "dir"},
    });
    parser.process(app);
    try {
        if (parser.value("child") == QLatin1String("download"))
            return childDownload(parser.value("port").toInt(), parser.value("imei"));
        if (parser.value("child") == QLatin1String("merge"))
            return childMerge(parser.value("store"), parser.value("folder"));
        return runBenchmark(parser);
    } catch (const std::exception &error) {
        QTextStream(stderr) << "bench_download: " << error.what() << "\n";
        return 2;
    }
}
