// Opening a large local database in the window: the calls the window makes
// from a click on the source until its first conversation is in the message
// list (chats read, conversations built, the conversation's messages read,
// sorted and given to the list model), and opening its longest conversation.
//
// The database is made first: by default 1,000,000 messages over 20,000
// chats, one of them with 20,000 messages and the newest, so it is the one a
// click on the source shows. Each way of loading runs in a fresh process of
// this program, which reports its time and its peak resident memory (VmHWM):
//
//   window:   chats, then the newest conversation's messages by its chats
//             (the columns the views show);
//   baseline: chats, then every message of the database (messages(set, 0)),
//             the conversation taken from memory - the way it was done before.
//
// Opening the 20,000-message conversation is timed in both (median of
// --runs): read by its chats into a set holding only the chats, against
// picking it from a set holding every message. The window's run also times
// completing the shown records, what a command on that conversation adds.
//
//   bench_source [--messages N] [--chats N] [--conversation N] [--runs N] [--dir PATH]
// Internal: bench_source --phase window|baseline --db FOLDER --runs N
//
// With --backup it measures instead the operations over every message of the
// source (the "All" commands) that read it as they go: backup, CSV export,
// HTML export, attachment extraction, and PDF export, the evidence package and
// the transfer to a simulated phone on loopback, its check included
// (--operations picks some; the last three only when named), each read
// by the worker itself, at one tenth of --messages and at --messages (same
// number of chats), each in a fresh process; and at one tenth the former way,
// every message loaded first.
//
//   bench_source --backup [--operations backup,csv,html,extract,pdf,evidence,transfer] [--messages N] [--chats N]
//                [--dir PATH]
// Internal: bench_source --phase all-chunks|all-loaded --operation NAME --db FOLDER --target FOLDER
//
// Exits with 1 when the window misses a target: 1 s to the first
// conversation, 300 MB peak, and a conversation opened no slower than from
// memory (75 ms).

#include "bench/BenchSimulator.h"
#include "bench/BenchSupport.h"

#include "android/AndroidRestoreSMSThread.h"
#include "app/AppFolders.h"
#include "export/ExportMessagesThread.h"
#include "ops/AttachmentExtractThread.h"
#include "ops/BackupSMSThread.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "store/MsgChat.h"
#include "store/MsgDataSet.h"
#include "ui/ViewRules.h"
#include "views/ChatSessionItemNode.h"
#include "views/ItemModelMain.h"
#include "views/ItemModelSms.h"
#include "views/LocalDBItemNode.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <random>

#include <time.h>

using bench::fail;
using bench::fixed;
using bench::out;
using bench::procStatusKb;

namespace {

struct Shape
{
    int messages = 1000000;
    int chats = 20000;
    int conversation = 20000;  // messages of the newest chat
};

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(db))));
}

void exec(sqlite3 *db, const char *sql)
{
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

// Runs `sql` once per row, binding what `bind` binds.
template <typename Bind>
void insertRows(sqlite3 *db, const char *sql, int count, const Bind &bind)
{
    sqlite3_stmt *stmt = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db, sql);
    for (int i = 1; i <= count; ++i) {
        bind(stmt, i);
        check(sqlite3_step(stmt), db, sql);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
}

void bindText(sqlite3_stmt *stmt, int column, const QByteArray &text)
{
    sqlite3_bind_text(stmt, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

QByteArray numberOfChat(int chat)
{
    return "+9198" + QByteArray::number(10000000 + chat);
}

// The chat of message i: every (messages / conversation)-th message belongs
// to chat 1, the others go round the remaining chats, so the long
// conversation's rows are spread over the whole table as on a phone.
int chatOfMessage(const Shape &shape, int i)
{
    const int stride = std::max(1, shape.messages / std::max(1, shape.conversation));
    if (i % stride == 0 || shape.chats == 1)
        return 1;
    return 2 + i % (shape.chats - 1);
}

void makeDatabase(const QString &folder, const Shape &shape)
{
    IOS6MessageDb target(folder, QString());
    target.ensureOpen();
    sqlite3 *db = target.handle();
    exec(db, "BEGIN TRANSACTION");
    insertRows(db, "insert into handle(ROWID, id, country, service) values(?, ?, 'in', 'SMS')", shape.chats,
               [](sqlite3_stmt *stmt, int i) {
                   sqlite3_bind_int(stmt, 1, i);
                   bindText(stmt, 2, numberOfChat(i));
               });
    // Chat 1 is the newest: it is the first conversation of the tree.
    insertRows(db,
               "insert into chat(ROWID, guid, style, chat_identifier, service_name, _last) values(?, ?, 45, ?, 'SMS', ?)",
               shape.chats, [](sqlite3_stmt *stmt, int i) {
                   sqlite3_bind_int(stmt, 1, i);
                   bindText(stmt, 2, "SMS;-;" + numberOfChat(i));
                   bindText(stmt, 3, numberOfChat(i));
                   sqlite3_bind_int(stmt, 4, i == 1 ? 700000000 : 600000000 - i);
               });
    insertRows(db, "insert into chat_handle_join(chat_id, handle_id) values(?, ?)", shape.chats,
               [](sqlite3_stmt *stmt, int i) {
                   sqlite3_bind_int(stmt, 1, i);
                   sqlite3_bind_int(stmt, 2, i);
               });
    const QByteArray words = "On my way. Did you see the match last night? Call me when you are free, it is "
                             "about the weekend plans and who drives. Meeting moved to 3pm, room 4B. ";
    std::mt19937 random(1000000);
    std::uniform_int_distribution<int> length(1, int(words.size()));
    insertRows(db,
               "insert into message(ROWID, guid, text, handle_id, service, date, is_from_me, is_sent, is_read, "
               "logic_hash) values(?, ?, ?, ?, 'SMS', ?, ?, 1, 1, ?)",
               shape.messages, [&](sqlite3_stmt *stmt, int i) {
                   const int chat = chatOfMessage(shape, i);
                   sqlite3_bind_int(stmt, 1, i);
                   bindText(stmt, 2, "BENCH-" + QByteArray::number(i));
                   bindText(stmt, 3, words.left(length(random)));
                   sqlite3_bind_int(stmt, 4, chat);
                   sqlite3_bind_int(stmt, 5, 400000000 + i * 60);
                   sqlite3_bind_int(stmt, 6, i % 3 == 0);
                   bindText(stmt, 7, QByteArray::number(i).toHex().rightJustified(32, '0'));
               });
    insertRows(db, "insert into chat_message_join(chat_id, message_id) values(?, ?)", shape.messages,
               [&](sqlite3_stmt *stmt, int i) {
                   sqlite3_bind_int(stmt, 1, chatOfMessage(shape, i));
                   sqlite3_bind_int(stmt, 2, i);
               });
    exec(db, "COMMIT TRANSACTION");
}

double millisecondsSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// CPU time of this thread: on a machine shared with other work it varies
// less than the elapsed time.
double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// What the window does with a conversation's messages once it has them.
MsgMessageList shownList(const QList<_MsgChat *> &chats, ItemModelSms &list)
{
    MsgMessageList messages = ViewRules::messagesOfChats(chats);
    ItemModelSms::sortForDisplay(messages, Qt::AscendingOrder);
    list.setMessages(messages);
    return messages;
}

// The newest conversation's messages the way `baseline` picks: read by its
// chats, or everything read first.
void loadFirstConversation(IOS6MessageDb &db, MsgDataSet &set, const QList<_MsgChat *> &chats, bool baseline)
{
    if (baseline) {
        db.messages(set, 0);
        return;
    }
    QList<qint64> rowids;
    for (const _MsgChat *chat : chats)
        rowids.append(chat->rowid);
    db.shownChatMessages(set, rowids);
}

// One way of loading, in this (fresh) process.
int runPhase(const QString &phase, const QString &folder, int runs)
{
    const bool baseline = phase == QLatin1String("baseline");
    ItemModelMain tree;
    ItemModelSms list;
    auto db = QSharedPointer<IOS6MessageDb>::create(folder, QStringLiteral("404"));
    _LocalDBItemNode *node = tree.addLocalDatabase(db, QStringLiteral("bench"));

    QElapsedTimer timer;
    timer.start();
    db->chats(*node->dataSet);
    tree.rebuildConversations(node);
    if (node->children.isEmpty())
        fail(QStringLiteral("the database has no conversation"));
    const auto *first = static_cast<_ChatSessionItemNode *>(node->children.constFirst());
    loadFirstConversation(*db, *node->dataSet, first->chatList, baseline);
    const qsizetype shown = shownList(first->chatList, list).size();
    const double firstMs = millisecondsSince(timer);
    const qint64 peakKb = procStatusKb("VmHWM");

    QList<double> openTimes;
    QList<double> openCpuTimes;
    for (int run = 0; run < runs; ++run) {
        list.setMessages({});
        if (baseline) {
            timer.restart();  // from memory, as the window did
            const double cpuStart = threadCpuMilliseconds();
            shownList(first->chatList, list);
            openTimes << millisecondsSince(timer);
            openCpuTimes << threadCpuMilliseconds() - cpuStart;
            continue;
        }
        MsgDataSet chatsOnly;
        db->chats(chatsOnly);
        const QList<_MsgChat *> chats = {chatsOnly.chat(first->chatList.constFirst()->rowid)};
        timer.restart();
        const double cpuStart = threadCpuMilliseconds();
        loadFirstConversation(*db, chatsOnly, chats, false);
        shownList(chats, list);
        openTimes << millisecondsSince(timer);
        openCpuTimes << threadCpuMilliseconds() - cpuStart;
        list.setMessages({});
    }
    // What a command on the shown conversation adds: its whole rows.
    double completeMs = 0;
    if (!baseline) {
        timer.restart();
        db->completeMessages(*node->dataSet, ViewRules::messagesOfChats(first->chatList));
        completeMs = millisecondsSince(timer);
    }
    out() << "first_ms=" << firstMs << "\npeak_kb=" << peakKb << "\nshown=" << shown
          << "\nloaded=" << node->dataSet->messages.size() << "\nopen_ms=" << median(openTimes)
          << "\nopen_cpu_ms=" << median(openCpuTimes) << "\ncomplete_ms=" << completeMs << "\n";
    out().flush();
    return 0;
}

qint64 messageRows(const QString &folder)
{
    IOS6MessageDb db(folder, QString());
    return db.shownMessageCount();
}

// The worker of `operation` over every message of `folder`, writing to
// `target`: with a reader of its own, or given `loaded` (every message read
// first, the former way) when that is not null.
// A phone on loopback with an empty store in `target`, for the transfer;
// the phone's cache goes to a home of its own there too.
std::unique_ptr<bench::Simulator> startPhone(const QString &target)
{
    QDir().mkpath(target + QStringLiteral("/store"));
    qputenv("HOME", QFile::encodeName(target + QStringLiteral("/home")));
    resetDataRootCacheForTests();
    return std::make_unique<bench::Simulator>(target + QStringLiteral("/store"), target + QStringLiteral("/status.json"));
}

std::unique_ptr<QThread> allWorker(const QString &operation, const QString &folder, const QString &target,
                                   const MsgMessageList *loaded, int phonePort)
{
    const auto reader = [&folder] { return std::make_unique<MessageChunkReader>(folder, QStringLiteral("404")); };
    if (operation == QLatin1String("transfer")) {
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = phonePort;
        device.imei = device.uid = QStringLiteral("bench-target");
        device.mmc = QStringLiteral("404");
        if (loaded)
            return std::make_unique<AndroidRestoreSMSThread>(device, *loaded, nullptr);
        return std::make_unique<AndroidRestoreSMSThread>(device, reader(), nullptr);
    }
    if (operation == QLatin1String("backup")) {
        if (loaded)
            return std::make_unique<BackupSMSThread>(*loaded, target, QString(), nullptr);
        return std::make_unique<BackupSMSThread>(reader(), target, QString(), nullptr);
    }
    if (operation == QLatin1String("extract")) {
        if (loaded)
            return std::make_unique<AttachmentExtractThread>(nullptr, *loaded, target);
        return std::make_unique<AttachmentExtractThread>(nullptr, reader(), target);
    }
    using Format = ExportMessagesThread::Format;
    const QMap<QString, Format> formats{{QStringLiteral("csv"), Format::FormatCsv},
                                        {QStringLiteral("html"), Format::FormatHtml},
                                        {QStringLiteral("pdf"), Format::FormatPdf},
                                        {QStringLiteral("evidence"), Format::FormatEvidence}};
    if (!formats.contains(operation))
        fail(QStringLiteral("unknown operation %1").arg(operation));
    const Format format = formats.value(operation);
    const QString path = format == Format::FormatCsv ? target + QStringLiteral(".csv") : target;
    // The package's PDF draws with the bubble pictures of the build.
    const QString dataFolder = QStringLiteral(FERRY_BINARY_DIR);
    if (loaded)
        return std::make_unique<ExportMessagesThread>(*loaded, path, format, nullptr, nullptr, dataFolder);
    return std::make_unique<ExportMessagesThread>(reader(), MessageDateRange(), path, format, nullptr, nullptr,
                                                  dataFolder);
}

// What the run wrote: messages backed up or exported, files extracted.
qint64 writtenBy(const QString &operation, QThread &worker, const QString &target)
{
    if (operation == QLatin1String("backup"))
        return messageRows(target);
    if (operation == QLatin1String("extract"))
        return static_cast<AttachmentExtractThread &>(worker).extractedCount();
    if (operation == QLatin1String("transfer")) {
        // Only what the check found on the phone counts.
        const auto &transfer = static_cast<AndroidRestoreSMSThread &>(worker);
        return transfer.checked() ? transfer.deliveredCount() - transfer.missingCount() : -1;
    }
    return static_cast<ExportMessagesThread &>(worker).exported();
}

// One operation over every message of `folder`, the new way or the old.
int runAllPhase(const QString &phase, const QString &operation, const QString &folder, const QString &target)
{
    QElapsedTimer timer;
    timer.start();
    MsgDataSet loaded;
    MsgMessageList messages;
    if (phase == QLatin1String("all-loaded")) {
        IOS6MessageDb(folder, QStringLiteral("404")).messages(loaded, 0);
        messages = loaded.messages.values();
    }
    const std::unique_ptr<bench::Simulator> phone =
        operation == QLatin1String("transfer") ? startPhone(target) : nullptr;
    const std::unique_ptr<QThread> worker = allWorker(operation, folder, target,
                                                      phase == QLatin1String("all-loaded") ? &messages : nullptr,
                                                      phone ? phone->port() : 0);
    worker->start();
    worker->wait();
    out() << "run_ms=" << millisecondsSince(timer) << "\npeak_kb=" << procStatusKb("VmHWM")
          << "\nrows=" << writtenBy(operation, *worker, target) << "\n";
    out().flush();
    return 0;
}

QMap<QString, QString> runChild(const QString &phase, const QString &folder, int runs,
                                const QString &target = QString(), const QString &operation = QString())
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phase"), phase, QStringLiteral("--db"), folder, QStringLiteral("--runs"),
                 QString::number(runs), QStringLiteral("--target"), target, QStringLiteral("--operation"), operation});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        fail(QStringLiteral("the %1 process failed (exit code %2)").arg(phase).arg(child.exitCode()));
    QMap<QString, QString> values;
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    return values;
}

void printPhase(const QString &name, const QMap<QString, QString> &v)
{
    out() << name.leftJustified(10) << " first conversation " << fixed(v.value("first_ms").toDouble(), 0)
          << " ms, peak " << fixed(v.value("peak_kb").toDouble() / 1024, 0) << " MB, messages read "
          << v.value("loaded") << ", shown " << v.value("shown") << ", conversation opened in "
          << fixed(v.value("open_ms").toDouble(), 1) << " ms (median; CPU " << fixed(v.value("open_cpu_ms").toDouble(), 1)
          << " ms)";
    if (v.value("complete_ms").toDouble() > 0)
        out() << ", completed for a command in " << fixed(v.value("complete_ms").toDouble(), 0) << " ms";
    out() << "\n";
}

int runBenchmark(const Shape &shape, const QString &dir, int runs)
{
    const QString folder = QDir(dir).absoluteFilePath(QStringLiteral("db"));
    QElapsedTimer made;
    made.start();
    makeDatabase(folder, shape);
    out() << "database: " << shape.messages << " messages, " << shape.chats << " chats, newest with "
          << shape.conversation << " (made in " << fixed(millisecondsSince(made) / 1000, 1) << " s)\n";
    out().flush();

    const QMap<QString, QString> window = runChild(QStringLiteral("window"), folder, runs);
    const QMap<QString, QString> old = runChild(QStringLiteral("baseline"), folder, runs);
    printPhase(QStringLiteral("window"), window);
    printPhase(QStringLiteral("baseline"), old);
    const double firstMs = window.value("first_ms").toDouble();
    const double peakMb = window.value("peak_kb").toDouble() / 1024;
    const double openMs = window.value("open_ms").toDouble();
    const double oldFirstMs = old.value("first_ms").toDouble();
    const double oldPeakMb = old.value("peak_kb").toDouble() / 1024;
    out() << "ratios window / baseline: first conversation " << fixed(firstMs / oldFirstMs, 3) << ", peak "
          << fixed(peakMb / oldPeakMb, 3) << ", conversation opened "
          << fixed(openMs / old.value("open_ms").toDouble(), 2) << "\n";
    const bool ok = firstMs <= 1000 && peakMb <= 300 && openMs <= 75;
    out() << (ok ? "PASS" : "FAIL") << ": first conversation <= 1000 ms, peak <= 300 MB, opened <= 75 ms\n";
    out().flush();
    return ok ? 0 : 1;
}

void printAll(const QString &name, qint64 messages, const QMap<QString, QString> &v)
{
    out() << name.leftJustified(30) << messages << " messages: " << fixed(v.value("run_ms").toDouble() / 1000, 1)
          << " s, " << fixed(v.value("run_ms").toDouble() * 1000 / qMax<qint64>(1, messages), 1)
          << " us/message, peak " << fixed(v.value("peak_kb").toDouble() / 1024, 0) << " MB, written "
          << v.value("rows") << "\n";
    out().flush();
}

int runAllBenchmark(const Shape &large, const QString &dir, const QStringList &operations)
{
    // The longest conversation stays: HTML reads one conversation at a time,
    // so its memory follows that conversation, the others' nothing of it.
    Shape small = large;
    small.messages = large.messages / 10;
    small.conversation = std::min(large.conversation, small.messages);
    QMap<QString, QMap<qint64, QMap<QString, QString>>> chunked;  // operation -> messages -> values
    QMap<QString, QMap<QString, QString>> loaded;
    for (const Shape &shape : {small, large}) {
        const QString folder = QDir(dir).absoluteFilePath(QStringLiteral("db-%1").arg(shape.messages));
        makeDatabase(folder, shape);
        for (const QString &operation : operations) {
            const QString target = QStringLiteral("%1-%2").arg(folder, operation);
            chunked[operation][shape.messages] = runChild(QStringLiteral("all-chunks"), folder, 1,
                                                          target + QStringLiteral("-chunks"), operation);
            printAll(operation + QStringLiteral(", read as it goes"), shape.messages, chunked[operation][shape.messages]);
            if (shape.messages == small.messages) {
                loaded[operation] = runChild(QStringLiteral("all-loaded"), folder, 1, target + QStringLiteral("-loaded"),
                                             operation);
                printAll(operation + QStringLiteral(", loaded first (before)"), shape.messages, loaded[operation]);
            }
        }
    }
    bool ok = true;
    for (const QString &operation : operations) {
        const QMap<qint64, QMap<QString, QString>> &runs = chunked[operation];
        const double peakRatio = runs[large.messages].value("peak_kb").toDouble()
            / runs[small.messages].value("peak_kb").toDouble();
        const double speedRatio = runs[small.messages].value("run_ms").toDouble()
            / loaded[operation].value("run_ms").toDouble();
        out() << operation << ": peak " << large.messages << " / " << small.messages << ": " << fixed(peakRatio, 3)
              << "; time read as it goes / loaded first at " << small.messages << ": " << fixed(speedRatio, 2)
              << "\n";
        // Extraction copies files, and these messages have none.
        const qint64 expected = operation == QLatin1String("extract") ? 0 : large.messages;
        ok = ok && peakRatio <= 1.2 && runs[large.messages].value("rows").toLongLong() == expected
            && runs[small.messages].value("rows") == loaded[operation].value("rows");
    }
    out() << (ok ? "PASS" : "FAIL") << ": flat peak (<= 1.2), nothing lost\n";
    out().flush();
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("messages"), QStringLiteral("Messages in the database."), QStringLiteral("N"), QStringLiteral("1000000")});
    parser.addOption({QStringLiteral("chats"), QStringLiteral("Chats in the database."), QStringLiteral("N"), QStringLiteral("20000")});
    parser.addOption({QStringLiteral("conversation"), QStringLiteral("Messages of the newest chat."), QStringLiteral("N"), QStringLiteral("20000")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Timed openings of the conversation."), QStringLiteral("N"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Work folder (default: temporary)."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("phase"), QStringLiteral("Internal."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("db"), QStringLiteral("Internal."), QStringLiteral("FOLDER")});
    parser.addOption({QStringLiteral("target"), QStringLiteral("Internal."), QStringLiteral("FOLDER")});
    parser.addOption({QStringLiteral("backup"), QStringLiteral("Measure the operations over All instead.")});
    parser.addOption({QStringLiteral("operations"),
                      QStringLiteral("With --backup: which of backup, csv, html, extract, pdf, evidence, transfer."),
                      QStringLiteral("LIST"), QStringLiteral("backup,csv,html,extract")});
    parser.addOption({QStringLiteral("operation"), QStringLiteral("Internal."), QStringLiteral("NAME")});
    parser.addHelpOption();
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    try {
        const QString phase = parser.value(QStringLiteral("phase"));
        if (phase.startsWith(QLatin1String("all-")))
            return runAllPhase(phase, parser.value(QStringLiteral("operation")), parser.value(QStringLiteral("db")),
                               parser.value(QStringLiteral("target")));
        if (!phase.isEmpty())
            return runPhase(phase, parser.value(QStringLiteral("db")), runs);
        Shape shape;
        shape.messages = std::max(1, parser.value(QStringLiteral("messages")).toInt());
        shape.chats = std::max(1, parser.value(QStringLiteral("chats")).toInt());
        shape.conversation = std::clamp(parser.value(QStringLiteral("conversation")).toInt(), 1, shape.messages);
        QTemporaryDir temporary;
        const QString dir = parser.isSet(QStringLiteral("dir")) ? parser.value(QStringLiteral("dir")) : temporary.path();
        // The country table is copied into the data root: keep it out of the user's.
        qputenv("HOME", QDir(dir).absoluteFilePath(QStringLiteral("home")).toUtf8());
        QDir().mkpath(QDir(dir).absoluteFilePath(QStringLiteral("home")));
        if (parser.isSet(QStringLiteral("backup")))
            return runAllBenchmark(shape, dir, parser.value(QStringLiteral("operations")).split(QLatin1Char(','), Qt::SkipEmptyParts));
        return runBenchmark(shape, dir, runs);
    } catch (const std::exception &error) {
        fprintf(stderr, "bench_source: %s\n", error.what());
        return 2;
    }
}
