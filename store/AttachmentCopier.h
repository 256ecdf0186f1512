#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Copies attachment files into a database folder while the merge goes on
// with its database work: making the folders and files of the target is left
// to a thread of its own, as on a busy or slow disk that is most of a merge's
// time.
//
// The source is read when copy() is called, so the caller may remove it as
// soon as copy() returns (a phone download hands over temporary files).
// Small files wait in memory for the worker, within a fixed budget; a large
// file is copied at once, after the queue has drained.
//
// A file is written only when nothing exists at its target by the time its
// turn comes; an existing file is never overwritten. Each file is written
// under a temporary name beside its target and renamed when complete, so a
// crash never leaves a truncated file under the real name (a later run would
// keep it as "already there").
//
// A failed read or write (disk full, permission denied) is an error of the
// whole run: copy() or wait() raises std::runtime_error naming the file and
// the reason, and no further copy is made. A message must never be committed
// without its file, or a download would remember it as known and never fetch
// the picture again.
//
// What the copier created since the last keep() can be taken back with
// undo(); that is how a merge that is not committed leaves the folder as it
// was. Used from one owner thread; the worker touches only files.
class AttachmentCopier
{
public:
    AttachmentCopier() = default;
    // Waits for the copies under way; what they created stays.
    ~AttachmentCopier();
    AttachmentCopier(const AttachmentCopier &) = delete;
    AttachmentCopier &operator=(const AttachmentCopier &) = delete;

    // Copies `source` to `target` (absolute paths), making the target's
    // folder with its parents when missing. Raises the first failure of this
    // or an earlier copy.
    void copy(const QString &source, const QString &target);
    // Returns when every copy asked for is done; raises the first failure.
    void wait();
    // Waits, then the files and folders created so far are kept for good.
    void keep();
    // Waits, then the files created since the last keep() are removed, and
    // the folders made for them when they are empty again. Forgets a failure.
    void undo();

    // Files up to this size wait in memory; larger ones are copied at once.
    static constexpr qint64 kQueuedFileLimit = 1024 * 1024;
    // Bytes that may wait in memory at one time: enough to keep the database
    // work going while each file is synced; a writer faster than the disk
    // fills it whole.
    static constexpr qint64 kQueueByteLimit = 8 * 1024 * 1024;

private:
    struct Job {
        QString target;
        QByteArray bytes;
    };

    void run();
    // Returns when the queue is empty and the worker idle; never raises.
    void drain();
    void raisePendingFailure();
    void recordFailure(const QString &text);
    class PartFile;
    void writeFile(const QString &target, const QByteArray &bytes);
    void copyFile(const QString &source, const QString &target);
    // Writes the target through a part file that `fill` writes (returning a
    // write error); renames it into place unless anything failed.
    void writeTarget(const QString &target, const std::function<QString(PartFile &)> &fill);
    bool hasFailed();
    // Makes the folders above `target`, remembering the new ones; false when
    // the target exists already.
    bool prepareTarget(const QString &target);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::deque<Job> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_writing = false;
    bool m_stop = false;
    QString m_failure;  // first failure of the run, under m_mutex
    // Written by whoever copies (the worker, or the owner while the worker
    // is idle), read by the owner only after wait().
    QStringList m_createdFiles;
    QStringList m_createdFolders;
};
