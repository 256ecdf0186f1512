// Measures the file exports on a synthetic set: by default 100,000 messages
// over 500 conversations (5% group chats), texts of 1 to 300 characters
// mixing Latin, Cyrillic, Chinese, Arabic, emoji, commas, quotes and line
// breaks, no attachments. In one run, best of --rounds:
//
//  1. text, CSV and NDJSON export (ExportMessagesThread, sorting included)
//     against a baseline: the very bytes of the exported file, already split
//     into one piece per message, written with one buffered write loop;
//  2. HTML export of the same messages (one page per conversation, support
//     files copied), messages per second;
//  3. PDF export of the first --pdf-messages messages (default 2,000),
//     pages per second; then the evidence package of the same messages
//     (cover, numbers, "Page X of Y" from a counting pass, manifests), pages
//     per second and its time against the PDF export's;
//  4. peak memory of each export at 10,000 and at 100,000 messages, each in a
//     fresh process of this program: the growth of the peak resident set
//     during the export (VmHWM reset through /proc/self/clear_refs first), so
//     that the messages held in memory before it do not count.
//
// Targets: text and CSV at least 100,000 messages/s; NDJSON at least
// 300,000 messages/s; HTML at least 20,000
// messages/s; the larger peak at most 1.2 x the smaller (exit code 1 when
// a target is missed).
//
// Usage: bench_export [--messages N] [--rounds N] [--pdf-messages N]
// Internal: bench_export --memory FORMAT N  (phase 4)

#include "BenchSupport.h"
#include "export/ExportMessagesThread.h"
#include "store/AppleTime.h"
#include "store/MsgDataSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <exception>
#include <random>

#include <time.h>
#include <stdexcept>

using namespace bench;

namespace {

constexpr double kTextTargetPerSecond = 100000;
constexpr double kNdjsonTargetPerSecond = 300000;
constexpr double kHtmlTargetPerSecond = 20000;
constexpr double kMemoryGrowthTarget = 1.2;

// CPU time of this process: other programs on a shared machine do not
// inflate it, so rates are given for it too.
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Wall-clock and CPU seconds of one measurement.
struct Timing
{
    double wall = 1e9;
    double cpu = 1e9;

    void keepBest(const Timing &other)
    {
        wall = std::min(wall, other.wall);
        cpu = std::min(cpu, other.cpu);
    }
};

class Stopwatch
{
public:
    Stopwatch() : m_cpuStart(processCpuSeconds()) { m_clock.start(); }
    Timing elapsed() const { return {m_clock.nsecsElapsed() / 1e9, processCpuSeconds() - m_cpuStart}; }

private:
    QElapsedTimer m_clock;
    double m_cpuStart;
};

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// ------------------------------------------------------------ synthetic set

const QStringList kWords = {
    QStringLiteral("hello"), QStringLiteral("meeting"), QStringLiteral("tomorrow,"), QStringLiteral("\"ok\""),
    QStringLiteral("привет"), QStringLiteral("встреча"), QStringLiteral("你好"), QStringLiteral("明天见"),
    QStringLiteral("مرحبا"), QStringLiteral("غدا"), QStringLiteral("😄"), QStringLiteral("👍"),
    QStringLiteral("see"), QStringLiteral("you"), QStringLiteral("at"), QStringLiteral("noon\n"),
};

struct Set
{
    MsgDataSetPtr data = MsgDataSetPtr::create();
    MsgMessageList messages;
};

Set makeSet(int messageCount, int chatCount, quint32 seed)
{
    Set set;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(1, 50);
    std::uniform_int_distribution<int> word(0, int(kWords.size()) - 1);
    QList<_MsgChat *> chats;
    qint64 handleId = 0;
    for (int c = 1; c <= chatCount; ++c) {
        _MsgChat *chat = set.data->ensureChat(c);
        const int people = c % 20 == 0 ? 4 : 1;
        for (int p = 0; p < people; ++p) {
            _MsgHandle *handle = set.data->ensureHandle(++handleId);
            handle->id = QStringLiteral("+9198%1").arg(handleId, 8, 10, QLatin1Char('0'));
            handle->_ct_name = p % 2 ? QString() : QStringLiteral("Contact %1").arg(handleId);
            chat->handles.insert(QString::number(handle->rowid), handle);
        }
        chat->chat_identifier = people > 1 ? QStringLiteral("group-%1").arg(c) : chat->handles.first()->id;
        chats.append(chat);
    }
    const qint32 start = unixTimeToAppleTime(1500000000);
    for (int i = 1; i <= messageCount; ++i) {
        _MsgChat *chat = chats.at(int(random() % quint32(chats.size())));
        _MsgMessage *message = set.data->ensureMessage(i);
        message->sortKey = i;
        message->date = start + i * 37;
        message->is_from_me = int(random() % 2);
        message->chat = chat;
        message->handle = message->is_from_me ? nullptr : chat->handles.first();
        QStringList words;
        for (int w = length(random); w > 0; --w)
            words << kWords.at(word(random));
        message->text = words.join(QLatin1Char(' '));
        chat->messages.insert(QString::number(i), message);
        chat->_last = message->date;
        set.messages.append(message);
    }
    return set;
}

// ------------------------------------------------------------ measurements

Timing exportTime(const Set &set, const QString &path, ExportMessagesThread::Format format)
{
    ExportMessagesThread worker(set.messages, path, format, nullptr, nullptr,
                                QStringLiteral(FERRY_BINARY_DIR));
    const Stopwatch stopwatch;
    worker.start();
    worker.wait();
    const Timing seconds = stopwatch.elapsed();
    if (worker.exported() != set.messages.size())
        fail(QStringLiteral("export to %1 stopped after %2 messages").arg(path).arg(worker.exported()));
    return seconds;
}

// The exported file's bytes written again with one buffered loop, one
// piece per line, as fast as writing that output can be.
Timing baselineTime(const QString &exportedFile, const QString &copyPath)
{
    QFile source(exportedFile);
    if (!source.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(exportedFile));
    const QList<QByteArray> lines = source.readAll().split('\n');
    const Stopwatch stopwatch;
    QFile copy(copyPath);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write %1").arg(copyPath));
    for (const QByteArray &line : lines) {
        copy.write(line);
        copy.write("\n", 1);
    }
    copy.close();
    return stopwatch.elapsed();
}

// Pages of a PDF file, counted from its page objects.
qsizetype pdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(path));
    const QByteArray bytes = file.readAll();
    return bytes.count("/Type /Page\n") + bytes.count("/Type /Page ");
}

QString rate(double count, double seconds)
{
    return QString::number(qRound64(count / seconds));
}

int memoryChild(const QString &formatName, int messageCount)
{
    const ExportMessagesThread::Format format = formatName == QLatin1String("csv") ? ExportMessagesThread::FormatCsv
        : formatName == QLatin1String("html")                                      ? ExportMessagesThread::FormatHtml
        : formatName == QLatin1String("pdf")                                       ? ExportMessagesThread::FormatPdf
                                                                                   : ExportMessagesThread::FormatText;
    const Set set = makeSet(messageCount, format == ExportMessagesThread::FormatPdf ? 2 : 500, 7);
    QTemporaryDir dir;
    const qint64 before = procStatusKb("VmRSS");
    resetPeakMemory();
    exportTime(set, dir.filePath(QStringLiteral("out")), format);
    out() << "growth_kb=" << std::max<qint64>(0, procStatusKb("VmHWM") - before) << "\nbefore_kb=" << before << "\n";
    return 0;
}

struct MemoryRun
{
    qint64 growthKb = -1;
    qint64 beforeKb = -1;
};

MemoryRun childMemory(const QString &format, int messageCount)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory"), format, QString::number(messageCount)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        fail(QStringLiteral("memory run of %1 failed: %2").arg(format, QString::fromUtf8(child.readAllStandardError())));
    MemoryRun run;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("growth_kb="))
            run.growthKb = line.mid(10).toLongLong();
        else if (line.startsWith("before_kb="))
            run.beforeKb = line.mid(10).toLongLong();
    }
    return run;
}

int runBench(int messageCount, int rounds, int pdfMessages)
{
    bool ok = true;
    const Set set = makeSet(messageCount, 500, 20240601);
    QTemporaryDir dir;
    out() << "bench_export: " << messageCount << " messages, 500 conversations, best of " << rounds << " rounds\n";

    for (const auto &[name, format] : {std::pair{QStringLiteral("text"), ExportMessagesThread::FormatText},
                                       std::pair{QStringLiteral("csv"), ExportMessagesThread::FormatCsv},
                                       std::pair{QStringLiteral("ndjson"), ExportMessagesThread::FormatNdjson}}) {
        Timing best;
        Timing baseline;
        for (int round = 0; round < rounds; ++round) {
            const QString path = dir.filePath(name + QStringLiteral(".out"));
            best.keepBest(exportTime(set, path, format));
            baseline.keepBest(baselineTime(path, dir.filePath(name + QStringLiteral(".copy"))));
        }
        out() << name << ": wall " << QString::number(best.wall * 1000, 'f', 1) << " ms ("
              << rate(messageCount, best.wall) << " messages/s), CPU " << QString::number(best.cpu * 1000, 'f', 1)
              << " ms (" << rate(messageCount, best.cpu) << " messages/s); buffered write loop of the same bytes: wall "
              << QString::number(baseline.wall * 1000, 'f', 1) << " ms, CPU "
              << QString::number(baseline.cpu * 1000, 'f', 1) << " ms; ratio wall "
              << QString::number(best.wall / baseline.wall, 'f', 1) << ", CPU "
              << QString::number(best.cpu / baseline.cpu, 'f', 1) << "\n";
        const double target = format == ExportMessagesThread::FormatNdjson ? kNdjsonTargetPerSecond
                                                                           : kTextTargetPerSecond;
        ok = ok && messageCount / best.cpu >= target;
    }

    Timing html;
    for (int round = 0; round < rounds; ++round) {
        const QString folder = dir.filePath(QStringLiteral("html%1").arg(round));
        html.keepBest(exportTime(set, folder, ExportMessagesThread::FormatHtml));
    }
    out() << "html: wall " << QString::number(html.wall * 1000, 'f', 1) << " ms (" << rate(messageCount, html.wall)
          << " messages/s), CPU " << QString::number(html.cpu * 1000, 'f', 1) << " ms ("
          << rate(messageCount, html.cpu) << " messages/s)\n";
    ok = ok && messageCount / html.cpu >= kHtmlTargetPerSecond;

    const Set pdfSet = makeSet(pdfMessages, 1, 11);
    const QString pdfFolder = dir.filePath(QStringLiteral("pdf"));
    const Timing pdf = exportTime(pdfSet, pdfFolder, ExportMessagesThread::FormatPdf);
    const QFileInfoList pdfs = QDir(pdfFolder).entryInfoList({QStringLiteral("*.pdf")});
    const qsizetype pages = pdfs.isEmpty() ? 0 : pdfPageCount(pdfs.first().absoluteFilePath());
    out() << "pdf: " << pdfMessages << " messages, " << pages << " pages: wall " << QString::number(pdf.wall * 1000, 'f', 1)
          << " ms (" << rate(pages, pdf.wall) << " pages/s), CPU " << QString::number(pdf.cpu * 1000, 'f', 1) << " ms ("
          << rate(pages, pdf.cpu) << " pages/s)\n";

    const QString evidenceFolder = dir.filePath(QStringLiteral("evidence"));
    const Timing evidence = exportTime(pdfSet, evidenceFolder, ExportMessagesThread::FormatEvidence);
    const qsizetype evidencePages = pdfPageCount(QDir(evidenceFolder).filePath(QStringLiteral("messages.pdf")));
    out() << "evidence: " << pdfMessages << " messages, " << evidencePages << " pages: wall "
          << QString::number(evidence.wall * 1000, 'f', 1) << " ms (" << rate(evidencePages, evidence.wall)
          << " pages/s), CPU " << QString::number(evidence.cpu * 1000, 'f', 1) << " ms ("
          << rate(evidencePages, evidence.cpu) << " pages/s); against the PDF export: ratio wall "
          << QString::number(evidence.wall / pdf.wall, 'f', 1) << ", CPU "
          << QString::number(evidence.cpu / pdf.cpu, 'f', 1) << "\n";

    for (const QString format : {QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("html")}) {
        const MemoryRun small = childMemory(format, 10000);
        const MemoryRun large = childMemory(format, 100000);
        const double ratio = double(large.growthKb) / double(std::max<qint64>(small.growthKb, 1));
        out() << format << " peak growth: " << small.growthKb << " KB at 10,000, " << large.growthKb
              << " KB at 100,000 messages; ratio " << QString::number(ratio, 'f', 2) << " (resident before: "
              << small.beforeKb << " KB, " << large.beforeKb << " KB)\n";
        ok = ok && ratio <= kMemoryGrowthTarget;
    }
    out() << (ok ? "all targets met\n" : "TARGET MISSED\n");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Fonts and images for the PDF pages; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const QStringList args = app.arguments();
        if (args.value(1) == QLatin1String("--memory"))
            return memoryChild(args.value(2), args.value(3).toInt());
        int messages = 100000;
        int rounds = 3;
        int pdfMessages = 2000;
        for (int i = 1; i + 1 < args.size(); i += 2) {
            if (args[i] == QLatin1String("--messages"))
                messages = args[i + 1].toInt();
            else if (args[i] == QLatin1String("--rounds"))
                rounds = args[i + 1].toInt();
            else if (args[i] == QLatin1String("--pdf-messages"))
                pdfMessages = args[i + 1].toInt();
            else
                fail(QStringLiteral("unknown argument %1").arg(args[i]));
        }
        return runBench(std::max(1, messages), std::max(1, rounds), std::max(1, pdfMessages));
    } catch (const std::exception &error) {
        out() << "bench_export: " << error.what() << "\n";
        return 2;
    }
}
