// Measures the merge into a local message database on a synthetic set shaped
// like a heavy phone: by default 100,000 messages over 2,000 chats (5% group
// chats of 3-8 people), texts of 1 to 500 characters mixing Latin, Cyrillic,
// Chinese, Arabic, Devanagari and emoji, 2% of the messages with one 20 KB
// attachment file. In one run:
//
//  1. baseline: the same message rows inserted into a new database with one
//     prepared statement in one transaction (content hashes computed before
//     the clock starts) - the floor a merge cannot beat;
//  2. first merge into another new database (ExportMessagesDb, one
//     transaction, attachment files copied);
//  3. the same messages merged again: everything is a duplicate, and the row
//     counts of all seven tables must not change (exit code 1 otherwise);
//     The attachment files alone (folders made and files copied with plain
//     calls, as the merge lays them out) are timed too, to show how much of
//     the merge is the file system's share;
//  4. the merged database taken as a phone cache: its messages loaded and
//     backed up (BackupSMSThread) into a new local database, then backed up
//     into it again; both against the first merge;
//  5. deletion (DeleteMMSThread) of every tenth message of that backup, and
//     of every tenth message of a backup a quarter its size: the time per
//     message must not grow with the database beyond log n;
//  6. messages(set, 0) of the merged database in a fresh process of this
//     program, which reports the load time and its peak resident memory
//     (VmHWM of /proc/self/status).
//
// Phases 1-5 run --rounds times (default 3), each round on new databases, and
// the best round of each phase is reported: wall-clock time, and the CPU time
// of this process, which other programs on a shared machine do not inflate.
//
// Usage: bench_merge [--messages N] [--chats N] [--attachments PERCENT] [--seed N] [--rounds N]
//                    [--dir PATH] [--keep]
//   --dir   work folder (default: a temporary folder, removed afterwards)
//   --keep  keep the work folder (with the databases of the last round)
// Internal: bench_merge --load FOLDER  (phase 4)

#include "BenchSupport.h"
#include "ops/BackupSMSThread.h"
#include "ops/DeleteMMSThread.h"
#include "store/ExportMessagesDb.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageIds.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>
#include <time.h>

#include <exception>
#include <random>
#include <stdexcept>

using namespace bench;

namespace {

constexpr double kFirstMergeTarget = 8.0;   // times the baseline
constexpr double kSecondMergeTarget = 3.0;  // times the baseline
constexpr double kPeakMemoryTargetMb = 250.0;
constexpr double kBackupNewTarget = 1.2;        // times the first merge
constexpr double kBackupAgainTarget = 0.3;      // times the first merge
constexpr double kDeletionGrowthTarget = 1.5;   // per-message time, 4x the database
constexpr int kAttachmentBytes = 20 * 1024;
const QString kCountryCode = QStringLiteral("404");  // India: numbers below are Indian mobiles

const QStringList kTables = {
    QStringLiteral("message"), QStringLiteral("chat"), QStringLiteral("handle"),
    QStringLiteral("attachment"), QStringLiteral("chat_handle_join"),
    QStringLiteral("chat_message_join"), QStringLiteral("message_attachment_join"),
};

struct Options
{
    int messages = 100000;
    int chats = 2000;
    quint32 seed = 20240601;
    int rounds = 3;
    int attachmentPercent = 2;
    QString dir;
    bool keep = false;
    QString loadFolder;  // set in the child process of phase 4
};

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto next = [&]() {
            if (i + 1 >= args.size())
                fail(QStringLiteral("%1 needs a value").arg(arg));
            return args.at(++i);
        };
        if (arg == QLatin1String("--messages"))
            options.messages = next().toInt();
        else if (arg == QLatin1String("--chats"))
            options.chats = next().toInt();
        else if (arg == QLatin1String("--seed"))
            options.seed = next().toUInt();
        else if (arg == QLatin1String("--rounds"))
            options.rounds = next().toInt();
        else if (arg == QLatin1String("--attachments"))
            options.attachmentPercent = next().toInt();
        else if (arg == QLatin1String("--dir"))
            options.dir = next();
        else if (arg == QLatin1String("--keep"))
            options.keep = true;
        else if (arg == QLatin1String("--load"))
            options.loadFolder = next();
        else
            fail(QStringLiteral("unknown argument %1").arg(arg));
    }
    if (options.messages < 1 || options.chats < 1 || options.rounds < 1)
        fail(QStringLiteral("--messages, --chats and --rounds must be positive"));
    return options;
}

// ------------------------------------------------------------ synthetic set

class TextMaker
{
public:
    explicit TextMaker(std::mt19937 &rng) : m_rng(rng) {}

    // Mostly short texts, as on phones, with a long tail up to 500.
    QString text()
    {
        const int bucket = pick(100);
        const int length = bucket < 60 ? 1 + pick(80) : bucket < 85 ? 81 + pick(80) : 161 + pick(340);
        const QStringList &words = m_scripts[pickScript()];
        QString text;
        while (text.size() < length) {
            if (!text.isEmpty())
                text += QLatin1Char(' ');
            text += pick(5) == 0 ? m_emoji[pick(m_emoji.size())] : words[pick(words.size())];
        }
        text.truncate(length);
        if (text.size() > 0 && text.back().isHighSurrogate())
            text.chop(1);
        return text.isEmpty() ? QStringLiteral("k") : text;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    int pickScript()
    {
        const int p = pick(100);
        return p < 60 ? 0 : p < 70 ? 1 : p < 80 ? 2 : p < 90 ? 3 : 4;
    }

    std::mt19937 &m_rng;
    const QList<QStringList> m_scripts = {
        QStringLiteral("ok see you tomorrow at the station call me when you are free "
                       "thanks happy birthday running late dinner tonight meeting moved").split(' '),
        QStringLiteral("привет как дела увидимся завтра позвони мне спасибо опаздываю ужин").split(' '),
        QStringLiteral("你好 明天 见 谢谢 晚饭 我们 会议 改到 下午 生日快乐 马上到").split(' '),
        QStringLiteral("مرحبا كيف حالك غدا شكرا العشاء الليلة الاجتماع متأخر").split(' '),
        QStringLiteral("नमस्ते कल मिलते हैं धन्यवाद रात का खाना बैठक देर से जन्मदिन").split(' '),
    };
    const QStringList m_emoji = {
        QStringLiteral("\U0001F600"), QStringLiteral("\U0001F602"), QStringLiteral("\U0001F44D"),
        QStringLiteral("\U0001F389"), QStringLiteral("\u2764"),      QStringLiteral("\u2600"),
        QStringLiteral("\u2705"),      QStringLiteral("\U0001F64F"), QStringLiteral("\U0001F914"),
    };
};

struct SyntheticSet
{
    MsgDataSetPtr set = MsgDataSetPtr::create();
    MsgMessageList messages;  // in date order
    int groupChats = 0;
    int attachmentFiles = 0;
    qint64 textUnits = 0;
};

class SetGenerator
{
public:
    SetGenerator(const Options &options, const QString &sourceDir)
        : m_options(options), m_sourceDir(sourceDir), m_rng(options.seed), m_texts(m_rng)
    {
    }

    SyntheticSet generate()
    {
        SyntheticSet s;
        QList<_MsgChat *> chats;
        QList<_MsgHandle *> people;
        const int groups = m_options.chats / 20;  // 5%
        for (int i = 0; i < m_options.chats - groups; ++i) {
            _MsgHandle *person = newHandle(s, i);
            people.append(person);
            chats.append(newChat(s, QStringLiteral("SMS;-;%1").arg(person->id), {person}));
        }
        for (int i = 0; i < groups; ++i) {
            QList<_MsgHandle *> members;
            const int size = 3 + pick(6);
            while (members.size() < size) {
                _MsgHandle *member = people.at(pick(people.size()));
                if (!members.contains(member))
                    members.append(member);
            }
            chats.append(newChat(s, QStringLiteral("SMS;+;chat%1").arg(newGuid()), members));
        }
        s.groupChats = groups;

        qint32 date = 410000000;  // late 2013, seconds since 2001
        for (int i = 0; i < m_options.messages; ++i) {
            date += 1 + pick(3000);
            _MsgChat *chat = chats.at(pick(chats.size()));
            _MsgMessage *message = newMessage(s, chat, date);
            if (pick(100) < m_options.attachmentPercent)
                addAttachment(s, message, i);
            s.textUnits += message->text.size();
            s.messages.append(message);
        }
        return s;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    _MsgHandle *newHandle(SyntheticSet &s, int index)
    {
        auto *h = new _MsgHandle;
        h->rowid = ++m_nextRowid;
        const QString national = QString::number(9000000000LL + qint64(index) * 7919 % 999999999);
        // Most numbers arrive international, some in the national form with trunk zero.
        h->id = pick(10) == 0 ? QStringLiteral("0") + national : QStringLiteral("+91") + national;
        s.set->addHandle(h);
        return h;
    }

    _MsgChat *newChat(SyntheticSet &s, const QString &guid, const QList<_MsgHandle *> &members)
    {
        auto *c = new _MsgChat;
        c->rowid = ++m_nextRowid;
        c->guid = guid;
        c->chat_identifier = members.size() == 1 ? members.first()->id : guid.mid(6);
        for (_MsgHandle *h : members)
            c->handles.insert(QString::number(h->rowid), h);
        s.set->addChat(c);
        return c;
    }

    _MsgMessage *newMessage(SyntheticSet &s, _MsgChat *chat, qint32 date)
    {
        auto *m = new _MsgMessage;
        m->rowid = ++m_nextRowid;
        m->sortKey = m->rowid;
        m->guid = newGuid();
        m->text = m_texts.text();
        m->service = QStringLiteral("SMS");
        m->date = date;
        m->is_from_me = pick(10) < 4 ? 1 : 0;
        m->is_read = 1;
        m->is_sent = m->is_from_me;
        m->is_delivered = 1;
        m->is_finished = 1;
        m->chat = chat;
        // Sent messages of a group have no handle; everything else names the other party.
        if (!chat->isGroup())
            m->handle = chat->handles.first();
        else if (!m->is_from_me)
            m->handle = chat->handles.values().at(pick(chat->handles.size()));
        m->handle_id = m->handle ? m->handle->rowid : 0;
        chat->messages.insert(QString::number(m->rowid), m);
        s.set->addMessage(m);
        return m;
    }

    void addAttachment(SyntheticSet &s, _MsgMessage *message, int index)
    {
        auto *a = new _MsgAttachment;
        a->rowid = ++m_nextRowid;
        a->guid = newGuid();
        const QString name = QStringLiteral("IMG_%1.jpg").arg(index);
        a->filename = QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
                          .arg(a->guid.left(2).toLower(), a->guid.mid(2, 2).toLower(), a->guid, name);
        a->mime_type = QStringLiteral("image/jpeg");
        a->uti = QStringLiteral("public.jpeg");
        a->transfer_name = name;
        a->created_date = message->date;
        a->is_outgoing = message->is_from_me;
        a->total_bytes = kAttachmentBytes;
        a->localPath = m_sourceDir + QLatin1Char('/') + name;
        writeRandomFile(a->localPath);
        message->attachments.insert(QString::number(a->rowid), a);
        message->text += QChar(0xFFFC);
        s.set->addAttachment(a);
        ++s.attachmentFiles;
    }

    void writeRandomFile(const QString &path)
    {
        QByteArray bytes(kAttachmentBytes, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(pick(256));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    }

    const Options &m_options;
    QString m_sourceDir;
    std::mt19937 m_rng;
    TextMaker m_texts;
    qint64 m_nextRowid = 0;
};

// ------------------------------------------------------------ phases

QMap<QString, qint64> rowCounts(const QString &folder)
{
    IOS6MessageDb db(folder, QString());
    db.ensureOpen();
    QMap<QString, qint64> counts;
    for (const QString &table : kTables) {
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from %1").arg(table));
        counts.insert(table, cursor.moveNext() ? cursor.getInt64(0) : -1);
    }
    return counts;
}

// Wall-clock and process CPU time of one phase, in milliseconds.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;

    Timing best(const Timing &other) const
    {
        return {qMin(wallMs, other.wallMs), qMin(cpuMs, other.cpuMs)};
    }
};

class Stopwatch
{
public:
    Stopwatch() : m_cpuStart(cpuNs()) { m_wall.start(); }
    Timing elapsed() const { return {m_wall.nsecsElapsed() / 1e6, (cpuNs() - m_cpuStart) / 1e6}; }

private:
    static qint64 cpuNs()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }
    QElapsedTimer m_wall;
    qint64 m_cpuStart;
};

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        fail(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(db))));
}

// The message rows a merge of a new database writes, inserted directly.
Timing baseline(const SyntheticSet &s, const QString &folder)
{
    QList<QByteArray> hashes;
    QList<QByteArray> texts;
    QList<QByteArray> guids;
    for (const _MsgMessage *m : s.messages) {
        hashes.append(logicHash(*m).toUtf8());
        texts.append(m->text.toUtf8());
        guids.append(m->guid.toUtf8());
    }
    IOS6MessageDb target(folder, QString());
    target.ensureOpen();
    sqlite3 *db = target.handle();
    const char *sql =
        "insert into message(guid, text, replace, handle_id, version, type, service, account, account_guid, "
        "error, date, date_read, date_delivered, is_delivered, is_finished, is_emote, is_from_me, is_empty, "
        "is_delayed, is_auto_reply, is_prepared, is_read, is_system_message, is_sent, has_dd_results, "
        "is_service_message, is_forward, was_downgraded, is_archive, cache_has_attachments, cache_roomnames, "
        "was_data_detected, was_deduplicated, is_audio_message, is_played, date_played, item_type, "
        "group_action_type, share_status, share_direction, is_expirable, expire_state, message_action_type, "
        "logic_hash) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    sqlite3_stmt *stmt = nullptr;

    const Stopwatch watch;
    check(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db, "prepare");
    check(sqlite3_exec(db, "BEGIN TRANSACTION", nullptr, nullptr, nullptr), db, "begin");
    for (int i = 0; i < s.messages.size(); ++i) {
        const _MsgMessage &m = *s.messages.at(i);
        int p = 0;
        const auto text = [&](const QByteArray &v) { sqlite3_bind_text(stmt, ++p, v.constData(), int(v.size()), SQLITE_STATIC); };
        const auto integer = [&](qint64 v) { sqlite3_bind_int64(stmt, ++p, v); };
        text(guids.at(i));
        text(texts.at(i));
        integer(m.replace);
        integer(m.handle_id);
        integer(m.version);
        integer(m.type);
        sqlite3_bind_text(stmt, ++p, "SMS", 3, SQLITE_STATIC);
        sqlite3_bind_text(stmt, ++p, "", 0, SQLITE_STATIC);
        sqlite3_bind_text(stmt, ++p, "", 0, SQLITE_STATIC);
        for (const qint64 v : {qint64(m.error), qint64(m.date), qint64(m.date_read), qint64(m.date_delivered),
                               qint64(m.is_delivered), qint64(m.is_finished), qint64(m.is_emote),
                               qint64(m.is_from_me), qint64(m.is_empty), qint64(m.is_delayed),
                               qint64(m.is_auto_reply), qint64(m.is_prepared), qint64(m.is_read),
                               qint64(m.is_system_message), qint64(m.is_sent), qint64(m.has_dd_results),
                               qint64(m.is_service_message), qint64(m.is_forward), qint64(m.was_downgraded),
                               qint64(m.is_archive), qint64(m.cache_has_attachments)})
            integer(v);
        sqlite3_bind_text(stmt, ++p, "", 0, SQLITE_STATIC);
        for (const qint64 v : {qint64(m.was_data_detected), qint64(m.was_deduplicated), qint64(m.is_audio_message),
                               qint64(m.is_played), qint64(m.date_played), qint64(m.item_type),
                               qint64(m.group_action_type), qint64(m.share_status), qint64(m.share_direction),
                               qint64(m.is_expirable), qint64(m.expire_state), qint64(m.message_action_type)})
            integer(v);
        text(hashes.at(i));
        check(sqlite3_step(stmt), db, "insert");
        sqlite3_reset(stmt);
    }
    check(sqlite3_exec(db, "COMMIT TRANSACTION", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_finalize(stmt);
    return watch.elapsed();
}

// What the file system alone takes for the attachment files: their folders
// made and the files copied as the merge lays them out, with plain calls.
Timing fileFloor(const SyntheticSet &s, const QString &folder)
{
    const Stopwatch watch;
    for (const _MsgAttachment *a : std::as_const(s.set->attachments)) {
        QString relative = a->filename;
        relative.replace(0, 2, QStringLiteral("var/mobile/"));
        const QString target = folder + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(a->localPath, target))
            fail(QStringLiteral("cannot copy %1 to %2").arg(a->localPath, target));
    }
    return watch.elapsed();
}

struct MergeResult
{
    Timing time;
    int prepares = 0;
};

MergeResult merge(const SyntheticSet &s, const QString &folder)
{
    ExportMessagesDb writer(folder, kCountryCode);
    const int preparesBefore = writer.database().statementPrepareCount();
    const Stopwatch watch;
    writer.begin();
    for (const _MsgMessage *m : s.messages)
        writer.write(*m);
    writer.end();
    MergeResult result;
    result.time = watch.elapsed();
    result.prepares = writer.database().statementPrepareCount() - preparesBefore;
    return result;
}

struct LoadResult
{
    Timing time;
    qint64 messages = 0;
    qint64 attachments = 0;
    qint64 rssBeforeKb = 0;
    qint64 peakKb = 0;
};

// Phase 4 in the child: nothing else has touched its memory.
int runLoad(const QString &folder)
{
    const qint64 rssBefore = procStatusKb("VmRSS");
    IOS6MessageDb db(folder, kCountryCode);
    MsgDataSet set;
    const Stopwatch watch;
    db.messages(set, 0);
    const Timing t = watch.elapsed();
    out() << "load_wall_ms=" << t.wallMs << "\nload_cpu_ms=" << t.cpuMs << "\nmessages=" << set.messages.size() << "\nattachments="
          << set.attachments.size() << "\nrss_before_kb=" << rssBefore << "\npeak_kb=" << procStatusKb("VmHWM")
          << "\n";
    out().flush();
    return 0;
}

LoadResult loadInFreshProcess(const QString &folder, const QString &home)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);  // the country table is copied into this data root
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), folder});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        fail(QStringLiteral("the load process failed (exit code %1)").arg(child.exitCode()));
    QMap<QString, QString> values;
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    LoadResult result;
    result.time.wallMs = values.value(QStringLiteral("load_wall_ms")).toDouble();
    result.time.cpuMs = values.value(QStringLiteral("load_cpu_ms")).toDouble();
    result.messages = values.value(QStringLiteral("messages")).toLongLong();
    result.attachments = values.value(QStringLiteral("attachments")).toLongLong();
    result.rssBeforeKb = values.value(QStringLiteral("rss_before_kb")).toLongLong();
    result.peakKb = values.value(QStringLiteral("peak_kb")).toLongLong();
    return result;
}

QString verdict(bool ok)
{
    return ok ? QStringLiteral("within target") : QStringLiteral("MISSED");
}

QString perSecond(qint64 count, double ms)
{
    return QString::number(qRound64(count / (ms / 1000.0)));
}

void printCounts(const QString &title, const QMap<QString, qint64> &counts)
{
    out() << title << ":";
    for (const QString &table : kTables)
        out() << " " << table << "=" << counts.value(table);
    out() << "\n";
}

// ------------------------------------------------------------ backup and deletion

// Runs an operation worker to its end without a dialog.
Timing timeWorker(QThread &worker)
{
    const Stopwatch watch;
    worker.start();
    worker.wait();
    return watch.elapsed();
}

MsgMessageList loadAll(const QString &folder, MsgDataSetPtr &set)
{
    set = MsgDataSetPtr::create();
    IOS6MessageDb(folder, QString()).messages(*set, 0);
    return set->messages.values();
}

qint64 messageRows(const QString &folder)
{
    return rowCounts(folder).value(QStringLiteral("message"));
}

Timing backup(const MsgMessageList &messages, const QString &folder)
{
    BackupSMSThread worker(messages, folder, QString(), nullptr);
    return timeWorker(worker);
}

// Deletes every tenth message of the database; the time, and how many went.
Timing deleteEveryTenth(const QString &folder, int *deleted)
{
    MsgDataSetPtr set;
    MsgMessageList victims;
    const MsgMessageList all = loadAll(folder, set);
    for (int i = 0; i < all.size(); i += 10)
        victims.append(all.at(i));
    const qint64 before = messageRows(folder);
    DeleteMMSThread worker(folder, victims, nullptr);
    const Timing t = timeWorker(worker);
    if (messageRows(folder) != before - victims.size())
        fail(QStringLiteral("the deletion in %1 did not remove %2 messages").arg(folder).arg(victims.size()));
    *deleted = int(victims.size());
    return t;
}

struct Operations
{
    Timing backupNew;
    Timing backupAgain;
    Timing deleteLarge;
    Timing deleteSmall;
    int largeDeleted = 0;
    int smallDeleted = 0;

    Operations best(const Operations &other) const
    {
        Operations b = *this;
        b.backupNew = backupNew.best(other.backupNew);
        b.backupAgain = backupAgain.best(other.backupAgain);
        b.deleteLarge = deleteLarge.best(other.deleteLarge);
        b.deleteSmall = deleteSmall.best(other.deleteSmall);
        return b;
    }
};

// The merged database as a phone cache: backed up twice, then thinned.
Operations runOperations(const QString &cache, const QString &folder)
{
    Operations ops;
    MsgDataSetPtr set;
    const MsgMessageList messages = loadAll(cache, set);
    const QString target = folder + QStringLiteral("/backup");
    ops.backupNew = backup(messages, target);
    const QMap<QString, qint64> counts = rowCounts(target);
    if (counts.value(QStringLiteral("message")) != messages.size())
        fail(QStringLiteral("the backup stored %1 of %2 messages").arg(counts.value(QStringLiteral("message"))).arg(messages.size()));
    ops.backupAgain = backup(messages, target);
    if (rowCounts(target) != counts)
        fail(QStringLiteral("the second backup changed the row counts"));
    const QString quarter = folder + QStringLiteral("/backup-quarter");
    backup(messages.mid(0, messages.size() / 4), quarter);
    ops.deleteLarge = deleteEveryTenth(target, &ops.largeDeleted);
    ops.deleteSmall = deleteEveryTenth(quarter, &ops.smallDeleted);
    return ops;
}

// One round of phases 1-3 on new databases in `folder`; false when the
// second merge changed any row count (or the first lost messages).
struct Round
{
    Timing baseline;
    Timing files;
    MergeResult first;
    MergeResult second;
    QMap<QString, qint64> afterFirst;
    QMap<QString, qint64> afterSecond;
    Operations ops;
};

Round runRound(const SyntheticSet &s, const QString &folder)
{
    Round round;
    round.baseline = baseline(s, folder + QStringLiteral("/baseline"));
    round.files = fileFloor(s, folder + QStringLiteral("/files"));
    const QString merged = folder + QStringLiteral("/merged");
    round.first = merge(s, merged);
    round.afterFirst = rowCounts(merged);
    round.second = merge(s, merged);
    round.afterSecond = rowCounts(merged);
    round.ops = runOperations(merged, folder);
    return round;
}

void printPhase(const QString &name, qint64 count, const Timing &t, const Timing &floor, double target)
{
    const double wallRatio = t.wallMs / floor.wallMs;
    const double cpuRatio = t.cpuMs / floor.cpuMs;
    out() << "| " << name << " | " << qRound64(t.wallMs) << " | " << qRound64(t.cpuMs) << " | "
          << perSecond(count, t.wallMs) << " | ";
    if (target <= 0) {
        out() << "1.00 | 1.00 | | |\n";
        return;
    }
    out() << fixed(wallRatio) << " | " << fixed(cpuRatio) << " | <= " << target << " | "
          << verdict(wallRatio <= target) << " |\n";
}

int runBenchmark(const Options &options)
{
    QTemporaryDir temp;
    const QString work = options.dir.isEmpty() ? temp.path() : QDir(options.dir).absolutePath();
    temp.setAutoRemove(options.dir.isEmpty() ? !options.keep : true);  // unused with --dir
    const QString sources = work + QStringLiteral("/sources");
    QDir().mkpath(sources);
    for (int r = 1; r <= options.rounds; ++r) {
        if (QFileInfo::exists(work + QStringLiteral("/round%1").arg(r)))
            fail(QStringLiteral("%1/round%2 exists already; give an empty --dir").arg(work).arg(r));
    }

    QElapsedTimer timer;
    timer.start();
    const SyntheticSet s = SetGenerator(options, sources).generate();
    const int n = s.messages.size();
    out() << "set: " << n << " messages, " << s.set->chats.size() << " chats (" << s.groupChats
          << " group chats), " << s.set->handles.size() << " handles, " << s.attachmentFiles
          << " attachment files of " << kAttachmentBytes / 1024 << " KB, " << fixed(double(s.textUnits) / n, 1)
          << " UTF-16 units of text per message; generated in " << timer.elapsed() << " ms\n";
    out().flush();

    Round best;
    QString lastFolder;
    // Earlier rounds stay on disk until the end: removing thousands of files
    // makes the file system slower at creating new ones for a while, which
    // would burden the next round's attachment copies.
    for (int r = 1; r <= options.rounds; ++r) {
        lastFolder = work + QStringLiteral("/round%1").arg(r);
        const Round round = runRound(s, lastFolder);
        out() << "round " << r << ": baseline " << qRound64(round.baseline.wallMs) << " ms, files "
              << qRound64(round.files.wallMs) << " ms, first merge "
              << qRound64(round.first.time.wallMs) << " ms, second merge " << qRound64(round.second.time.wallMs)
              << " ms (wall)\n";
        out().flush();
        if (round.afterFirst.value(QStringLiteral("message")) != n) {
            out() << "FAILED: the first merge stored " << round.afterFirst.value(QStringLiteral("message"))
                  << " of " << n << " messages\n";
            return 1;
        }
        if (round.afterSecond != round.afterFirst) {
            printCounts(QStringLiteral("rows after the first merge"), round.afterFirst);
            printCounts(QStringLiteral("rows after the second merge"), round.afterSecond);
            out() << "FAILED: the second merge changed the row counts\n";
            return 1;
        }
        if (r == 1) {
            best = round;
        } else {
            best.baseline = best.baseline.best(round.baseline);
            best.files = best.files.best(round.files);
            best.first.time = best.first.time.best(round.first.time);
            best.second.time = best.second.time.best(round.second.time);
            best.ops = best.ops.best(round.ops);
        }
    }
    const LoadResult load = loadInFreshProcess(lastFolder + QStringLiteral("/merged"), work + QStringLiteral("/home"));
    if (load.messages != n) {
        out() << "FAILED: loaded " << load.messages << " of " << n << " messages\n";
        return 1;
    }

    const double peakMb = load.peakKb / 1024.0;
    out() << "\nbest of " << options.rounds << " rounds:\n\n"
          << "| phase | wall ms | CPU ms | messages/s (wall) | x baseline (wall) | x baseline (CPU) | target | result |\n"
          << "|---|---:|---:|---:|---:|---:|---:|---|\n";
    printPhase(QStringLiteral("baseline: plain inserts, one statement"), n, best.baseline, best.baseline, 0);
    printPhase(QStringLiteral("first merge, new database"), n, best.first.time, best.baseline, kFirstMergeTarget);
    printPhase(QStringLiteral("second merge, all duplicates"), n, best.second.time, best.baseline, kSecondMergeTarget);
    printPhase(QStringLiteral("backup of the merged database, new database"), n, best.ops.backupNew,
               best.first.time, kBackupNewTarget);
    printPhase(QStringLiteral("backup again, all duplicates"), n, best.ops.backupAgain, best.first.time,
               kBackupAgainTarget);
    out() << "(backups: x first merge instead of x baseline)\n";
    out() << "| (attachment files alone: folders and copies) | " << qRound64(best.files.wallMs) << " | "
          << qRound64(best.files.cpuMs) << " | | " << fixed(best.files.wallMs / best.baseline.wallMs) << " | "
          << fixed(best.files.cpuMs / best.baseline.cpuMs) << " | | |\n";
    out() << "| messages(set, 0), fresh process | " << qRound64(load.time.wallMs) << " | " << qRound64(load.time.cpuMs)
          << " | " << perSecond(load.messages, load.time.wallMs) << " | | | | |\n";
    out() << "\npeak resident memory of the load process (VmHWM): " << fixed(peakMb, 1)
          << " MB (resident before loading: " << fixed(load.rssBeforeKb / 1024.0, 1) << " MB), target < "
          << kPeakMemoryTargetMb << " MB: " << verdict(peakMb < kPeakMemoryTargetMb) << "\n";
    const double usLarge = best.ops.deleteLarge.wallMs * 1000.0 / best.ops.largeDeleted;
    const double usSmall = best.ops.deleteSmall.wallMs * 1000.0 / best.ops.smallDeleted;
    out() << "\ndeletion of every tenth message: " << best.ops.largeDeleted << " of " << n << " in "
          << qRound64(best.ops.deleteLarge.wallMs) << " ms, CPU " << qRound64(best.ops.deleteLarge.cpuMs) << " ms ("
          << perSecond(best.ops.largeDeleted, best.ops.deleteLarge.wallMs)
          << " messages/s, " << fixed(usLarge, 1) << " us each); " << best.ops.smallDeleted << " of " << n / 4
          << " in " << qRound64(best.ops.deleteSmall.wallMs) << " ms, CPU " << qRound64(best.ops.deleteSmall.cpuMs)
          << " ms (" << fixed(usSmall, 1)
          << " us each); per-message growth for 4x the database: " << fixed(usLarge / usSmall) << " (target <= "
          << kDeletionGrowthTarget << "): " << verdict(usLarge / usSmall <= kDeletionGrowthTarget) << "\n";
    out() << "loaded " << load.messages << " messages and " << load.attachments << " attachments\n";
    out() << "statements prepared in the last round: first merge " << best.first.prepares << ", second merge "
          << best.second.prepares << "\n";
    printCounts(QStringLiteral("rows after the first merge"), best.afterFirst);
    printCounts(QStringLiteral("rows after the second merge"), best.afterSecond);
    out() << "row counts unchanged by the second merge: ok\n";
    if (options.keep || !options.dir.isEmpty())
        out() << "databases kept in " << work << "\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        const Options options = parseOptions(app.arguments());
        if (!options.loadFolder.isEmpty())
            return runLoad(options.loadFolder);
        return runBenchmark(options);
    } catch (const std::exception &e) {
        QTextStream(stderr) << "bench_merge: " << e.what() << "\n";
        return 2;
    }
}
