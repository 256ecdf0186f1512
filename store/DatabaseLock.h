#pragma once

#include <QString>

// Keeps two Ferrywright processes from writing one database folder (a local
// database or a phone cache) at the same time: an advisory lock file in the
// folder, taken by every writer before it changes anything and held until
// the object goes. The system releases it with a process that dies, so a
// killed holder never blocks the next run. Readers do not take it.
//
// Within one process the lock is shared: a job that holds it for its whole
// run (a download, a transfer) hands the folder to the merge writer, which
// takes it again. Only one job writes at a time in a process.
class DatabaseLock
{
public:
    // Makes `folder` when it is missing, then takes its lock. Raises
    // std::runtime_error when another process holds it, or when the folder
    // cannot be made or written.
    explicit DatabaseLock(const QString &folder);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock &) = delete;
    DatabaseLock &operator=(const DatabaseLock &) = delete;

    // True when this lock made the folder: its run is then the only one that
    // may remove the folder again.
    bool madeFolder() const { return m_madeFolder; }
    // Releases the lock; a folder this lock made goes with it. Other
    // processes never see the folder unlocked with anything of this run in it.
    void releaseRemovingMadeFolder();

    // The lock file's name inside the folder.
    static QString fileName();

private:
    void release(bool removeMadeFolder);
    void removeEverythingButTheLock() const;

    QString m_folder;  // absolute and clean: the key within this process
    bool m_madeFolder = false;
    bool m_held = false;
};
