#include "store/DatabaseLock.h"

#include "app/AppFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <cerrno>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

// The locks this process holds, by folder, with how many of its objects hold each.
struct HeldLock
{
    std::unique_ptr<QLockFile> file;
    int holders = 0;
};

QMutex heldMutex;

std::map<QString, HeldLock> &heldLocks()
{
    static std::map<QString, HeldLock> held;
    return held;
}

// A new folder can vanish between making and locking it (a run that made
// it, failed and removed it again), a lock file nobody claims can be
// removed: the lock is tried that many times.
constexpr int kAttempts = 3;

// A holder writes its name into the lock file right after making it; a
// file still without a name after this long has been abandoned.
constexpr unsigned long kNamingMs = 100;

QString tr(const char *text)
{
    return QCoreApplication::translate("DatabaseLock", text);
}

[[noreturn]] void failInUse(const QString &folder)
{
    throw std::runtime_error(tr("The database %1 is in use by another Ferrywright process. Try again when it "
                                "has finished.")
                                 .arg(QDir::toNativeSeparators(folder))
                                 .toStdString());
}

[[noreturn]] void failNotWritable(const QString &folder, int error)
{
    throw std::runtime_error(tr("Cannot write the database folder %1: %2")
                                 .arg(QDir::toNativeSeparators(folder), qt_error_string(error))
                                 .toStdString());
}

// True when this call made the folder, false when it was there already.
bool makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return false;
    if (QDir().mkpath(QFileInfo(folder).absolutePath()) && QDir().mkdir(folder))
        return true;
    const int error = errno;
    if (QFileInfo(folder).isDir())
        return false;  // another run made it meanwhile
    failNotWritable(folder, error);
}

bool holderNamed(const QLockFile &file)
{
    qint64 pid = 0;
    QString host;
    QString application;
    return file.getLockInfo(&pid, &host, &application);
}

// A process killed between making the lock file and writing its name into
// it leaves a file QLockFile never takes for stale (a named one it does, once
// its process has gone). Such a file is removed, unless the system lock that
// a holder takes from the start says somebody still holds it.
bool removeUnclaimedLock(QLockFile &file)
{
    if (holderNamed(file))
        return false;
    QThread::msleep(kNamingMs);
    if (holderNamed(file))
        return false;
    return file.removeStaleLockFile();
}

std::unique_ptr<QLockFile> newLockFile(const QString &path)
{
    auto file = std::make_unique<QLockFile>(path);
    // A lock file whose process has died is taken over at once; a living
    // holder's lock never goes stale by age, as a long download keeps it
    // for many minutes.
    file->setStaleLockTime(0);
    return file;
}

} // namespace

QString DatabaseLock::fileName()
{
    return QStringLiteral("ferrywright.lock");
}

DatabaseLock::DatabaseLock(const QString &folder)
    : m_folder(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))
{
    const QMutexLocker locker(&heldMutex);
    if (const auto known = heldLocks().find(m_folder); known != heldLocks().end()) {
        ++known->second.holders;
        m_held = true;
        return;
    }
    std::unique_ptr<QLockFile> file = newLockFile(QDir(m_folder).filePath(fileName()));
    for (int attempt = 1;; ++attempt) {
        const bool made = makeFolder(m_folder);
        if (file->tryLock(0)) {
            m_madeFolder = made;
            break;
        }
        const int error = errno;  // of the lock file's creation, which QLockFile leaves as it was
        const bool last = attempt == kAttempts;
        if (file->error() == QLockFile::LockFailedError) {
            if (!last && removeUnclaimedLock(*file))
                continue;
            failInUse(m_folder);
        }
        if (last || QFileInfo(m_folder).isDir())
            failNotWritable(m_folder, error);
    }
    heldLocks()[m_folder] = HeldLock{std::move(file), 1};
    m_held = true;
}

DatabaseLock::~DatabaseLock()
{
    release(false);
}

void DatabaseLock::releaseRemovingMadeFolder()
{
    release(true);
}

void DatabaseLock::release(bool removeMadeFolder)
{
    if (!m_held)
        return;
    m_held = false;
    const QMutexLocker locker(&heldMutex);
    const auto held = heldLocks().find(m_folder);
    if (--held->second.holders > 0)
        return;  // still in use by this process: nothing goes yet
    const bool removing = removeMadeFolder && m_madeFolder;
    // Emptied while still locked, so no other run ever finds part of it.
    if (removing)
        removeEverythingButTheLock();
    heldLocks().erase(held);  // unlocks, removing the lock file
    // Fails, keeping the folder, when another run has locked it meanwhile.
    if (removing)
        QDir().rmdir(m_folder);
}

void DatabaseLock::removeEverythingButTheLock() const
{
    const QFileInfoList entries = QDir(m_folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName() == fileName())
            continue;
        if (entry.isDir() && !entry.isSymLink())
            removeFolderRecursively(entry.absoluteFilePath());
        else
            QFile::remove(entry.absoluteFilePath());
    }
}
