// Measures the import of an "SMS Backup & Restore" XML file. A file is
// generated (fixed seed): by default 200,000 messages, of which 2,000 are MMS
// with a text part, a SMIL layout and one picture of 50 to 200 KB in Base64;
// the SMS come from 2,000 national numbers, a tenth of them with an emoji
// written as two surrogate references. In one run:
//
//  1. baseline: the file read into records by the import's own reader
//     (SmsBackupXmlReader: pictures decoded into temporary files), nothing
//     stored: what reading the file costs;
//  2. first import into a new local database (ImportSmsBackupThread);
//  3. second import of the same file into it, which must add nothing;
//  4. a file of one MMS with a video of --video-mb MB (default 100) imported
//     into a database of its own: memory must not grow with a part's size.
//
// Times are wall-clock; peak memory is VmHWM of this process after each
// phase (it only grows). Exits with 1 when the second import adds a message
// or the peak passes 200 MB.
//
// Usage: bench_import [--messages N] [--mms N] [--video-mb N]

#include "BenchSupport.h"
#include "app/AppFolders.h"
#include "work/HeadlessProgress.h"
#include "import/ImportSmsBackupThread.h"
#include "import/SmsBackupXmlReader.h"
#include "store/Sqlite3DB.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <exception>
#include <random>

using namespace bench;

namespace {

constexpr qint64 kPeakLimitKb = 200 * 1024;
constexpr int kNumbers = 2000;

struct Options
{
    int messages = 200000;
    int mms = 2000;
    int videoMb = 100;
};

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args.at(i);
        const int value = args.at(i + 1).toInt();
        if (name == QLatin1String("--messages"))
            options.messages = value;
        else if (name == QLatin1String("--mms"))
            options.mms = value;
        else if (name == QLatin1String("--video-mb"))
            options.videoMb = value;
        else
            fail(QStringLiteral("unknown option %1").arg(name));
    }
    if (options.mms > options.messages)
        fail(QStringLiteral("--mms must not exceed --messages"));
    return options;
}

// Writes the file element by element; pictures are slices of one random
// block with their own index in front, so no two are alike.
class FileGenerator
{
public:
    explicit FileGenerator(QFile &file) : m_file(file), m_random(20261207)
    {
        m_block.resize(256 * 1024);
        for (char &byte : m_block)
            byte = char(m_random());
    }

    void generate(const Options &options)
    {
        write("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\""
              + QByteArray::number(options.messages) + "\" backup_date=\"1700000000000\" type=\"full\">\n");
        const int mmsEvery = options.mms > 0 ? options.messages / options.mms : 0;
        int mmsWritten = 0;
        for (int i = 0; i < options.messages; ++i) {
            const qint64 dateMs = 1500000000000LL + qint64(i) * 60000;
            if (mmsEvery > 0 && i % mmsEvery == 0 && mmsWritten < options.mms)
                writeMms(mmsWritten++, dateMs);
            else
                writeSms(i, dateMs);
        }
        write("</smses>\n");
    }

    // One MMS whose video of `megabytes` MB is written in Base64 piece by piece.
    void generateVideo(int megabytes)
    {
        write("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"1\">\n"
              "  <mms date=\"1700000000000\" msg_box=\"1\" address=\"2125550100\" m_type=\"132\">\n"
              "    <parts>\n      <part seq=\"0\" ct=\"video/mp4\" name=\"null\" cl=\"VID_1.mp4\" data=\"");
        // 192 KB pieces: a multiple of 3 bytes, so the pieces' Base64 joins up.
        const QByteArray piece = m_block.left(192 * 1024).toBase64();
        for (qint64 written = 0; written < qint64(megabytes) * 1024 * 1024; written += 192 * 1024)
            write(piece);
        write("\" />\n    </parts>\n    <addrs>\n      <addr address=\"2125550100\" type=\"137\" />\n"
              "    </addrs>\n  </mms>\n</smses>\n");
    }

private:
    QByteArray number(int index) const { return "212555" + QByteArray::number(1000 + index % kNumbers); }

    void writeSms(int i, qint64 dateMs)
    {
        const QByteArray emoji = i % 10 == 0 ? " &#55357;&#56832;" : "";
        write("  <sms protocol=\"0\" address=\"" + number(int(m_random() % kNumbers)) + "\" date=\""
              + QByteArray::number(dateMs) + "\" type=\"" + QByteArray::number(1 + i % 2)
              + "\" subject=\"null\" body=\"Message number " + QByteArray::number(i)
              + " &amp; some words to make it a typical length" + emoji
              + "\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\""
                " date_sent=\"0\" readable_date=\"Jul 14, 2017 2:40:00 AM\" contact_name=\"(Unknown)\" />\n");
    }

    void writeMms(int index, qint64 dateMs)
    {
        const int size = 50 * 1024 + int(m_random() % (150 * 1024));
        QByteArray picture = m_block.left(size);
        const QByteArray tag = QByteArray::number(index);
        picture.replace(0, tag.size(), tag);
        const QByteArray name = "IMG_" + tag + ".jpg";
        write("  <mms date=\"" + QByteArray::number(dateMs) + "\" msg_box=\"" + QByteArray::number(1 + index % 2)
              + "\" address=\"" + number(index) + "\" m_type=\"132\" sub=\"null\" ct_t=\"application/"
              "vnd.wap.multipart.related\" text_only=\"0\" read=\"1\" contact_name=\"(Unknown)\">\n    <parts>\n"
              "      <part seq=\"-1\" ct=\"application/smil\" name=\"null\" chset=\"null\" cd=\"null\" fn=\"null\""
              " cid=\"&lt;smil&gt;\" cl=\"smil.xml\" text=\"&lt;smil&gt;&lt;body&gt;&lt;par&gt;&lt;img src=&quot;"
              + name + "&quot;/&gt;&lt;/par&gt;&lt;/body&gt;&lt;/smil&gt;\" />\n"
              "      <part seq=\"0\" ct=\"text/plain\" name=\"null\" chset=\"106\" cd=\"null\" fn=\"null\""
              " cid=\"&lt;text_0&gt;\" cl=\"text_0.txt\" text=\"Picture " + tag + "\" />\n"
              "      <part seq=\"1\" ct=\"image/jpeg\" name=\"" + name + "\" chset=\"null\" cd=\"null\" fn=\"null\""
              " cid=\"&lt;" + name + "&gt;\" cl=\"" + name + "\" data=\"");
        write(picture.toBase64());
        write("\" />\n    </parts>\n    <addrs>\n      <addr address=\"" + number(index)
              + "\" type=\"137\" charset=\"106\" />\n      <addr address=\"2125559999\" type=\"151\""
                " charset=\"106\" />\n    </addrs>\n  </mms>\n");
    }

    void write(const QByteArray &bytes)
    {
        if (m_file.write(bytes) != bytes.size())
            fail(QStringLiteral("writing the file failed: %1").arg(m_file.errorString()));
    }

    QFile &m_file;
    std::mt19937 m_random;
    QByteArray m_block;
};

// The file read into records by the import's own reader (pictures decoded
// into temporary files), nothing stored; returns the records.
qint64 parseOnly(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot open %1").arg(path));
    SmsBackupXmlReader reader(&file);
    SmsBackupRecord record;
    qint64 records = 0;
    while (reader.next(record))
        ++records;
    return records;
}

struct Import
{
    qint64 ms = 0;
    qint64 records = 0;
};

Import runImport(const QString &path, const QString &folder)
{
    QElapsedTimer clock;
    clock.start();
    HeadlessProgress progress;
    ImportSmsBackupThread worker(path, folder, QStringLiteral("310"), &progress);
    progress.runToEnd(worker);
    if (!progress.succeeded())
        fail(QStringLiteral("import failed: %1").arg(progress.errorText()));
    return Import{clock.elapsed(), worker.recordsRead()};
}

qint64 messageCount(const QString &folder)
{
    Sqlite3DB db;
    db.openThrow(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db"), Sqlite3DB::OpenReadOnly);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from message"));
    return cursor.moveNext() ? cursor.getInt64(0) : -1;
}

QString megabytes(qint64 kb)
{
    return fixed(double(kb) / 1024.0, 1) + QStringLiteral(" MB");
}

int run(const Options &options)
{
    QTemporaryDir work;
    if (!work.isValid())
        fail(QStringLiteral("no temporary folder"));
    qputenv("HOME", QFile::encodeName(work.filePath("home")));
    qputenv("TMPDIR", QFile::encodeName(work.path()));
    resetDataRootCacheForTests();

    const QString path = work.filePath("backup.xml");
    QElapsedTimer clock;
    clock.start();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot write %1").arg(path));
        FileGenerator(file).generate(options);
    }
    const qint64 fileBytes = QFileInfo(path).size();
    out() << "file: " << options.messages << " messages, " << options.mms << " MMS, "
          << fixed(double(fileBytes) / 1048576.0, 1) << " MB, generated in " << clock.elapsed() << " ms\n";
    out().flush();

    clock.restart();
    const qint64 elements = parseOnly(path);
    const qint64 parseMs = qMax<qint64>(clock.elapsed(), 1);
    const qint64 peakParse = procStatusKb("VmHWM");
    out() << "baseline read: " << parseMs << " ms (" << elements << " records), peak " << megabytes(peakParse)
          << "\n";
    out().flush();

    const QString folder = localDatabasesDir().absoluteFilePath(QStringLiteral("Imported"));
    const Import first = runImport(path, folder);
    const qint64 peakFirst = procStatusKb("VmHWM");
    const qint64 stored = messageCount(folder);
    out() << "first import: " << first.ms << " ms = " << fixed(double(first.ms) / parseMs) << " x baseline, "
          << first.records << " read, " << stored << " stored, peak " << megabytes(peakFirst) << "\n";
    out().flush();

    const Import second = runImport(path, folder);
    const qint64 peakSecond = procStatusKb("VmHWM");
    const qint64 storedAgain = messageCount(folder);
    out() << "second import: " << second.ms << " ms = " << fixed(double(second.ms) / parseMs)
          << " x baseline, " << storedAgain - stored << " added, peak " << megabytes(peakSecond) << "\n";
    const QString videoPath = work.filePath("video.xml");
    {
        QFile file(videoPath);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot write %1").arg(videoPath));
        FileGenerator(file).generateVideo(options.videoMb);
    }
    const Import video = runImport(videoPath, localDatabasesDir().absoluteFilePath(QStringLiteral("Video")));
    const qint64 peakVideo = procStatusKb("VmHWM");
    out() << "one " << options.videoMb << " MB video: " << video.ms << " ms, peak " << megabytes(peakVideo) << "\n";
    QFile::remove(videoPath);

    out() << "throughput (first import): " << fixed(double(fileBytes) / 1048576.0 / (first.ms / 1000.0), 1)
          << " MB/s, " << fixed(first.records / (first.ms / 1000.0), 0) << " messages/s\n";

    int result = 0;
    if (storedAgain != stored) {
        out() << "FAIL: the second import added messages\n";
        result = 1;
    }
    if (peakVideo > kPeakLimitKb) {
        out() << "FAIL: peak memory over 200 MB\n";
        result = 1;
    }
    out().flush();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        return run(parseOptions(app.arguments()));
    } catch (const std::exception &error) {
        out() << "error: " << error.what() << "\n";
        return 1;
    }
}
