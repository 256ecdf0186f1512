#pragma once

// Crash machinery the crash tests share: an operation runs in a forked child
// that dies by SIGKILL at a chosen point, without destructors, rollback or
// clean-up, and the parent then looks at what the child left behind.
//
// Two kinds of point:
//  - the Nth change an SQLite connection makes to a file (a write, a
//    truncation or a deletion, journals included), through a VFS shim that
//    is the default VFS of the test process. Deterministic, and it reaches
//    every step of a commit;
//  - a moment in time, for what SQLite does not see (attachment files).
//
// The same shim also runs an action (in this process, no crash) just after
// the Nth commit of a message database: what a user does at that moment.

#include <QDeadlineTimer>
#include <QThread>
#include <QtGlobal>

#include <sqlite3.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>

namespace crashpoints {

namespace detail {

// Writes counted since counting began; the process dies before write
// number `killAt` (never when 0).
inline int changes = 0;
inline int killAt = 0;
inline bool counting = false;
inline sqlite3_vfs *realVfs = nullptr;
inline sqlite3_vfs shimVfs;

// Commits of a message database (its sms.db-journal deleted) since
// counting began; `commitAction` runs after commit number `actAtCommit`.
inline std::atomic_int commits{0};
inline int actAtCommit = 0;
inline std::function<void()> commitAction;

inline void committed(const char *name)
{
    if (name && std::strstr(name, "sms.db-journal") && ++commits == actAtCommit && commitAction)
        commitAction();
}

inline void changing()
{
    if (!counting)
        return;
    ++changes;
    if (changes == killAt)
        raise(SIGKILL);
}

struct ShimFile
{
    sqlite3_file base;
    sqlite3_io_methods methods;
    sqlite3_file *real;
};

inline sqlite3_file *realOf(sqlite3_file *file)
{
    return reinterpret_cast<ShimFile *>(file)->real;
}

inline int shimClose(sqlite3_file *f)
{
    return realOf(f)->pMethods->xClose(realOf(f));
}
inline int shimRead(sqlite3_file *f, void *data, int amount, sqlite3_int64 offset)
{
    return realOf(f)->pMethods->xRead(realOf(f), data, amount, offset);
}
inline int shimWrite(sqlite3_file *f, const void *data, int amount, sqlite3_int64 offset)
{
    changing();
    return realOf(f)->pMethods->xWrite(realOf(f), data, amount, offset);
}
inline int shimTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    changing();
    return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
inline int shimSync(sqlite3_file *f, int flags)
{
    return realOf(f)->pMethods->xSync(realOf(f), flags);
}
inline int shimFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return realOf(f)->pMethods->xFileSize(realOf(f), size);
}
inline int shimLock(sqlite3_file *f, int level)
{
    return realOf(f)->pMethods->xLock(realOf(f), level);
}
inline int shimUnlock(sqlite3_file *f, int level)
{
    return realOf(f)->pMethods->xUnlock(realOf(f), level);
}
inline int shimCheckReservedLock(sqlite3_file *f, int *out)
{
    return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
}
inline int shimFileControl(sqlite3_file *f, int op, void *arg)
{
    return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
}
inline int shimSectorSize(sqlite3_file *f)
{
    return realOf(f)->pMethods->xSectorSize(realOf(f));
}
inline int shimDeviceCharacteristics(sqlite3_file *f)
{
    return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
}
inline int shimShmMap(sqlite3_file *f, int region, int size, int extend, void volatile **out)
{
    return realOf(f)->pMethods->xShmMap(realOf(f), region, size, extend, out);
}
inline int shimShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
}
inline void shimShmBarrier(sqlite3_file *f)
{
    realOf(f)->pMethods->xShmBarrier(realOf(f));
}
inline int shimShmUnmap(sqlite3_file *f, int deleteFlag)
{
    return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag);
}
inline int shimFetch(sqlite3_file *f, sqlite3_int64 offset, int amount, void **out)
{
    return realOf(f)->pMethods->xFetch(realOf(f), offset, amount, out);
}
inline int shimUnfetch(sqlite3_file *f, sqlite3_int64 offset, void *page)
{
    return realOf(f)->pMethods->xUnfetch(realOf(f), offset, page);
}

inline int shimOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
    shim->base.pMethods = nullptr;
    const int rc = realVfs->xOpen(realVfs, name, shim->real, flags, outFlags);
    if (!shim->real->pMethods)
        return rc;
    const sqlite3_io_methods *real = shim->real->pMethods;
    shim->methods = sqlite3_io_methods{std::min(real->iVersion, 3),
                                       shimClose,
                                       shimRead,
                                       shimWrite,
                                       shimTruncate,
                                       shimSync,
                                       shimFileSize,
                                       shimLock,
                                       shimUnlock,
                                       shimCheckReservedLock,
                                       shimFileControl,
                                       shimSectorSize,
                                       shimDeviceCharacteristics,
                                       shimShmMap,
                                       shimShmLock,
                                       shimShmBarrier,
                                       shimShmUnmap,
                                       shimFetch,
                                       shimUnfetch};
    shim->base.pMethods = &shim->methods;
    return rc;
}

inline int shimDelete(sqlite3_vfs *, const char *name, int syncDir)
{
    changing();  // deleting the journal is the commit
    const int rc = realVfs->xDelete(realVfs, name, syncDir);
    committed(name);
    return rc;
}

} // namespace detail

// Makes the counting VFS the default of this process; call once, before any
// connection is opened.
inline void installShim()
{
    using namespace detail;
    if (realVfs)
        return;
    realVfs = sqlite3_vfs_find(nullptr);
    shimVfs = *realVfs;
    shimVfs.zName = "crash-points";
    shimVfs.szOsFile = int(sizeof(ShimFile)) + realVfs->szOsFile;
    shimVfs.xOpen = shimOpen;
    shimVfs.xDelete = shimDelete;
    sqlite3_vfs_register(&shimVfs, 1);
}

// Counts the database changes `work` makes (run in this process).
inline int countChanges(const std::function<void()> &work)
{
    detail::changes = 0;
    detail::killAt = 0;
    detail::counting = true;
    work();
    detail::counting = false;
    return detail::changes;
}

// The commits of message databases `work` makes (run in this process).
inline int countCommits(const std::function<void()> &work)
{
    detail::commits = 0;
    detail::actAtCommit = 0;
    work();
    return detail::commits;
}

// Runs `work` (in this process); `action` runs on the committing thread just
// after the `n`th commit of a message database `work` makes, before the
// commit's caller goes on.
inline void atCommit(int n, const std::function<void()> &action, const std::function<void()> &work)
{
    detail::commits = 0;
    detail::commitAction = action;
    detail::actAtCommit = n;
    work();
    detail::actAtCommit = 0;
    detail::commitAction = nullptr;
}

enum class ChildEnd { Finished, Failed, Killed, Hung };

// Runs `work` in a child process that dies before its `killAtChange`th
// database change (0: never), or `killAfterMs` after it started (-1: never).
inline ChildEnd runInChild(const std::function<void()> &work, int killAtChange = 0, int killAfterMs = -1)
{
    const pid_t child = fork();
    if (child == 0) {
        detail::changes = 0;
        detail::killAt = killAtChange;
        detail::counting = killAtChange > 0;
        int code = 0;
        try {
            work();
        } catch (...) {
            code = 2;
        }
        _exit(code);  // never return into the test runner
    }
    if (killAfterMs >= 0) {
        QThread::usleep(qulonglong(killAfterMs) * 1000);
        kill(child, SIGKILL);
    }
    int status = 0;
    QDeadlineTimer deadline(60000);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return ChildEnd::Hung;
        }
        QThread::usleep(500);
    }
    if (WIFSIGNALED(status))
        return ChildEnd::Killed;
    return WEXITSTATUS(status) == 0 ? ChildEnd::Finished : ChildEnd::Failed;
}

} // namespace crashpoints
