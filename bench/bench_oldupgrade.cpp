// Measures the start-up conversion of a database of the older single-file
// format ("mms.db" with an attachments folder). A synthetic old database is
// generated (fixed seed): by default 50,000 messages from 1,000 numbers, texts
// of 1 to 300 characters, 10% of the messages with one 20 KB picture and 2%
// with a text/plain part. In one run:
//
//  1. baseline: the messages the conversion produced, loaded back and merged
//     into a new database through the same writer (ExportMessagesDb, one
//     transaction, attachment files copied): what the conversion costs
//     without reading the old file;
//  2. conversion: OldDbConverter on a fresh copy of the old database.
//
// Each phase runs --rounds times (default 3) on new folders and the best
// round is reported, as wall-clock time and as CPU time of this process.
// The message counts of both results must agree (exit code 1 otherwise).
//
// Usage: bench_oldupgrade [--messages N] [--rounds N] [--seed N]

#include "BenchSupport.h"
#include "app/AppFolders.h"
#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgDataSet.h"
#include "import/OldDbConverter.h"
#include "store/Sqlite3DB.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <time.h>

#include <algorithm>
#include <exception>
#include <random>
#include <stdexcept>

using namespace bench;

namespace {

constexpr int kPictureBytes = 20 * 1024;
constexpr int kNumbers = 1000;

struct Options
{
    int messages = 50000;
    int rounds = 3;
    unsigned seed = 2024;
};

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args.at(i);
        const int value = args.at(i + 1).toInt();
        if (name == QLatin1String("--messages"))
            options.messages = value;
        else if (name == QLatin1String("--rounds"))
            options.rounds = std::max(1, value);
        else if (name == QLatin1String("--seed"))
            options.seed = static_cast<unsigned>(value);
        else
            fail(QStringLiteral("unknown option %1").arg(name));
    }
    return options;
}

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

struct Timing
{
    qint64 wallMs = 0;
    double cpuMs = 0;
};

template <typename Work>
Timing timed(Work work)
{
    QElapsedTimer wall;
    const double cpuStart = cpuMs();
    wall.start();
    work();
    return {wall.elapsed(), cpuMs() - cpuStart};
}

Timing best(const Timing &a, const Timing &b)
{
    return a.wallMs <= b.wallMs ? a : b;
}

void exec(Sqlite3DB &db, const QString &sql)
{
    QString error;
    if (db.exec(sql, error) != 0)
        fail(error);
}

QString randomText(std::mt19937 &random, int length)
{
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz      .,!?\u0430\u0431\u0432\u4e2d\u6587");
    QString text;
    for (int i = 0; i < length; ++i)
        text += letters.at(static_cast<int>(random() % letters.size()));
    return text;
}

// The old database in `folder`: messages, handles, parts and their files.
void generateOldDatabase(const QString &folder, const Options &options)
{
    std::mt19937 random(options.seed);
    QDir().mkpath(folder + QStringLiteral("/attachments"));
    Sqlite3DB db;
    db.openThrow(folder + QStringLiteral("/mms.db"), Sqlite3DB::OpenReadWriteCreate);
    exec(db, QStringLiteral(
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, body TEXT, subject TEXT, "
        "date INTEGER, is_send INTEGER, handle_id INTEGER);"
        "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);"
        "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);"
        "CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);"
        "BEGIN;"));
    for (int i = 0; i < kNumbers; ++i) {
        db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT INTO handle(address, person) VALUES(?, ?)"))
                            .addTextParam(QStringLiteral("98%1").arg(10000000 + i))
                            .addTextParam(QStringLiteral("Person %1").arg(i)));
    }
    const QByteArray picture(kPictureBytes, 'p');
    qint64 date = 1300000000;
    int parts = 0;
    for (int i = 1; i <= options.messages; ++i) {
        date += 1 + random() % 600;
        db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT INTO message(body, subject, date, is_send, handle_id) "
                                                  "VALUES(?, '', ?, ?, ?)"))
                            .addTextParam(randomText(random, 1 + static_cast<int>(random() % 300)))
                            .addInt64Param(date)
                            .addIntParam(static_cast<int>(random() % 2))
                            .addInt64Param(1 + static_cast<qint64>(random() % kNumbers)));
        const unsigned roll = random() % 100;
        if (roll >= 12)
            continue;
        const bool isPicture = roll < 10;
        const QString name = QStringLiteral("part%1.%2").arg(++parts).arg(isPicture ? "jpg" : "txt");
        QFile file(folder + QStringLiteral("/attachments/") + name);
        if (!file.open(QIODevice::WriteOnly))
            fail(file.errorString());
        file.write(isPicture ? picture : randomText(random, 200).toUtf8());
        file.close();
        db.executeThrow(Sqlite3Sql(QStringLiteral("INSERT INTO attachment(filename, mime_type) VALUES(?, ?)"))
                            .addTextParam(name)
                            .addTextParam(isPicture ? QStringLiteral("image/jpeg") : QStringLiteral("text/plain")));
        exec(db, QStringLiteral("INSERT INTO message_attachment VALUES(%1, %2)").arg(i).arg(parts));
    }
    exec(db, QStringLiteral("COMMIT;"));
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(entry.fileName());
        if (entry.isDir())
            copyFolder(entry.absoluteFilePath(), target);
        else if (!QFile::copy(entry.absoluteFilePath(), target))
            fail(QStringLiteral("copy %1 failed").arg(entry.absoluteFilePath()));
    }
}

qint64 messageCount(const QString &folder)
{
    Sqlite3DB db;
    db.openThrow(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db"), Sqlite3DB::OpenReadOnly);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from message"));
    return cursor.moveNext() ? cursor.getInt64(0) : -1;
}

void printRow(const QString &phase, const Timing &timing, const Timing &baseline, int messages)
{
    out() << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                 .arg(phase)
                 .arg(timing.wallMs)
                 .arg(qRound(timing.cpuMs))
                 .arg(qRound(messages * 1000.0 / std::max<qint64>(1, timing.wallMs)))
                 .arg(double(timing.wallMs) / std::max<qint64>(1, baseline.wallMs), 0, 'f', 2)
                 .arg(timing.cpuMs / std::max(1.0, baseline.cpuMs), 0, 'f', 2);
}

int run(const Options &options)
{
    QTemporaryDir work;
    qputenv("HOME", QFile::encodeName(work.path()));  // the country file goes there
    const QString original = work.filePath(QStringLiteral("original"));
    generateOldDatabase(original, options);

    Timing conversion{1LL << 60, 0};
    Timing baseline{1LL << 60, 0};
    qint64 converted = 0;
    qint64 merged = 0;
    for (int round = 0; round < options.rounds; ++round) {
        const QString source = work.filePath(QStringLiteral("old%1").arg(round));
        const QString target = work.filePath(QStringLiteral("new%1").arg(round));
        copyFolder(original, source);
        conversion = best(conversion, timed([&] { OldDbConverter(source, target).run({}); }));
        converted = messageCount(target);

        MsgDataSet set;
        IOS6MessageDb result(target, QString());
        result.messages(set, 0);
        result.close();
        const QString again = work.filePath(QStringLiteral("merged%1").arg(round));
        baseline = best(baseline, timed([&] {
            ExportMessagesDb writer(again, QString());
            writer.begin();
            for (const _MsgMessage *message : std::as_const(set.messages))
                writer.write(*message);
            writer.end();
        }));
        merged = messageCount(again);
    }

    out() << QStringLiteral("%1 old messages; %2 new messages after the conversion, %3 after the merge\n\n")
                 .arg(options.messages)
                 .arg(converted)
                 .arg(merged);
    out() << "| phase | wall ms | CPU ms | old messages/s (wall) | x baseline (wall) | x baseline (CPU) |\n";
    out() << "|---|---:|---:|---:|---:|---:|\n";
    printRow(QStringLiteral("baseline: merge of the converted messages"), baseline, baseline, options.messages);
    printRow(QStringLiteral("conversion of the old database"), conversion, baseline, options.messages);
    out().flush();
    return converted == merged ? 0 : 1;
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
