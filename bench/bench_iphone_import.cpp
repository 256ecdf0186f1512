// Measures the import of an iPhone backup folder. A backup is generated
// (fixed seed): by default 100,000 messages of 500 people, a tenth of them in
// 20 group chats, a fifth with their text only in attributedBody, dates in
// nanoseconds, 1,000 pictures of 20 KB in the hashed folders, and 1,000
// reactions (skipped). In one run:
//
//  1. baseline: the backup's tables read into records by the import's own
//     reader (IPhoneMessageReader), nothing stored: what reading costs;
//  2. import of a backup of a quarter of the messages into a new local
//     database, then of the whole one into another (ImportIPhoneBackupThread):
//     target at most 3 x the baseline;
//  3. second import of the whole backup, which must add nothing;
//  4. SQLite's floor: the rows the first import wrote to message and
//     chat_message_join copied into a new database of the same layout with
//     one INSERT ... SELECT each. No writer stores these rows faster; it
//     shows how much of the 3 x the database's own inserts leave.
//
// Peak memory is VmHWM of this process after each phase (it only grows). The
// merge writer holds at most SQLite's page cache (32 MB, filled as the
// database grows), the attachment copier's queue (8 MB) and its two filters of
// the keys it wrote (2 MB): the whole import may raise the peak at most 48 MB
// above the quarter's ("flat"), those and some room for the allocator.
// Exits with 1 when a target is missed.
//
// Usage: bench_iphone_import [--messages N]

#include "BenchSupport.h"
#include "app/AppFolders.h"
#include "core/IPhoneBackupFixture.h"
#include "import/IPhoneBackupFolder.h"
#include "import/IPhoneMessageReader.h"
#include "import/ImportIPhoneBackupThread.h"
#include "store/IOS6MessageDb.h"
#include "work/HeadlessProgress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <random>

#include <sqlite3.h>

using namespace bench;

namespace {

constexpr double kTargetRatio = 3.0;
constexpr qint64 kFlatLimitKb = 48 * 1024;
constexpr int kPeople = 500;
constexpr int kGroups = 20;

QString megabytes(qint64 kb)
{
    return fixed(double(kb) / 1024.0, 1) + QStringLiteral(" MB");
}

void generate(const QString &folder, int messages)
{
    std::mt19937 random(20231114);
    iphonetest::Backup backup(folder);
    QList<qint64> handles;
    QList<qint64> chats;
    for (int i = 0; i < kPeople; ++i) {
        const QString number = QStringLiteral("+1555%1").arg(i, 7, 10, QChar('0'));
        handles.append(backup.handle(number));
        chats.append(backup.chat(number, {handles.last()}));
    }
    QList<qint64> groups;
    for (int i = 0; i < kGroups; ++i)
        groups.append(backup.chat(QStringLiteral("chat%1").arg(i), {handles.at(i), handles.at(i + 1), handles.at(i + 2)}));
    const QByteArray picture(20000, 'p');
    const qint64 start = 600000000LL;
    for (int i = 0; i < messages; ++i) {
        const bool group = i % 10 == 0;
        const int person = int(random() % kPeople);
        iphonetest::Message message;
        message.chat = group ? groups.at(person % kGroups) : chats.at(person);
        message.fromMe = random() % 2 == 0;
        message.handle = message.fromMe && group ? 0 : handles.at(group ? person % kGroups : person);
        message.date = (start + i * 60LL) * 1000000000LL;
        const QString text = QStringLiteral("message %1 about the weather and lunch").arg(i);
        if (i % 5 == 1)
            message.body = iphonetest::attributedBody(text);
        else
            message.text = text;
        if (i % 100 == 50)
            message.associatedType = 2000;
        const qint64 rowid = backup.message(message);
        if (i % 100 == 7)
            backup.attachment(rowid, QStringLiteral("IMG_%1.jpeg").arg(i), QStringLiteral("image/jpeg"),
                              picture + QByteArray::number(i));
    }
    backup.finish();
}

qint64 readOnly(const QString &folder)
{
    IPhoneBackupFolder backup(folder);
    IPhoneMessageReader reader(backup);
    SmsBackupRecord record;
    qint64 records = 0;
    while (reader.next(record))
        ++records;
    return records;
}

void exec(sqlite3 *db, const QString &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = QString::fromUtf8(error);
        sqlite3_free(error);
        fail(QStringLiteral("%1: %2").arg(sql, text));
    }
}

qint64 insertFloorMs(const QString &imported, const QString &folder)
{
    IOS6MessageDb source(imported, QString());
    IOS6MessageDb target(folder, QString());
    target.ensureOpen();
    sqlite3 *db = target.handle();
    QString path = source.databasePath();
    exec(db, QStringLiteral("ATTACH DATABASE '%1' AS imported").arg(path.replace('\'', QStringLiteral("''"))));
    QElapsedTimer clock;
    clock.start();
    // The WHERE keeps SQLite from copying the tables page by page into the
    // empty ones: each row goes in as a writer's insert does, its indexes too.
    exec(db, QStringLiteral("BEGIN; INSERT INTO message SELECT * FROM imported.message WHERE rowid > 0;"
                            " INSERT INTO chat_message_join SELECT * FROM imported.chat_message_join"
                            " WHERE message_id > 0; COMMIT;"));
    return qMax<qint64>(clock.elapsed(), 1);
}

struct Import
{
    qint64 ms = 0;
    qint64 records = 0;
    qint64 added = 0;
};

Import runImport(const QString &backup, const QString &folder)
{
    QElapsedTimer clock;
    clock.start();
    HeadlessProgress progress;
    ImportIPhoneBackupThread worker(backup, folder, QStringLiteral("310"), &progress);
    progress.runToEnd(worker);
    if (!progress.succeeded())
        fail(QStringLiteral("import failed: %1").arg(progress.errorText()));
    return Import{clock.elapsed(), worker.recordsRead(), worker.messagesAdded()};
}

int run(int messages)
{
    QTemporaryDir work;
    if (!work.isValid())
        fail(QStringLiteral("no temporary folder"));
    qputenv("HOME", QFile::encodeName(work.filePath("home")));
    resetDataRootCacheForTests();

    QElapsedTimer clock;
    clock.start();
    const QString quarter = work.filePath("quarter");
    const QString whole = work.filePath("whole");
    generate(quarter, messages / 4);
    generate(whole, messages);
    out() << "backups of " << messages / 4 << " and " << messages << " messages generated in " << clock.elapsed()
          << " ms\n";
    out().flush();

    clock.restart();
    const qint64 records = readOnly(whole);
    const qint64 readMs = qMax<qint64>(clock.elapsed(), 1);
    const qint64 peakRead = procStatusKb("VmHWM");
    out() << "baseline read: " << readMs << " ms (" << records << " records), peak " << megabytes(peakRead) << "\n";

    const Import small = runImport(quarter, localDatabasesDir().absoluteFilePath("quarter"));
    const qint64 peakQuarter = procStatusKb("VmHWM");
    out() << "import of the quarter: " << small.ms << " ms, " << small.added << " stored, peak "
          << megabytes(peakQuarter) << "\n";

    const QString target = localDatabasesDir().absoluteFilePath("whole");
    const Import first = runImport(whole, target);
    const qint64 peakWhole = procStatusKb("VmHWM");
    const double ratio = double(first.ms) / double(readMs);
    out() << "first import: " << first.ms << " ms = " << fixed(ratio) << " x baseline (target <= "
          << fixed(kTargetRatio, 1) << "), " << first.records << " read, " << first.added << " stored, "
          << fixed(first.records * 1000.0 / qMax<qint64>(first.ms, 1), 0) << " messages/s, peak "
          << megabytes(peakWhole) << "\n";

    const Import second = runImport(whole, target);
    out() << "second import: " << second.ms << " ms, " << second.added << " added\n";

    const qint64 floorMs = insertFloorMs(target, localDatabasesDir().absoluteFilePath("floor"));
    out() << "SQLite's floor, the first import's rows inserted: " << floorMs << " ms = "
          << fixed(double(floorMs) / double(readMs)) << " x baseline; the import takes "
          << fixed(double(first.ms) / double(floorMs)) << " x the floor\n";

    int status = 0;
    if (ratio > kTargetRatio) {
        out() << "FAIL: the import takes more than " << fixed(kTargetRatio, 1) << " x the reading\n";
        status = 1;
    }
    if (peakWhole - peakQuarter > kFlatLimitKb) {
        out() << "FAIL: memory grew " << megabytes(peakWhole - peakQuarter) << " from a quarter to the whole\n";
        status = 1;
    }
    if (second.added != 0) {
        out() << "FAIL: the second import added messages\n";
        status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int messages = 100000;
    const qsizetype option = args.indexOf(QStringLiteral("--messages"));
    if (option > 0 && option + 1 < args.size())
        messages = args.at(option + 1).toInt();
    return run(messages);
}
