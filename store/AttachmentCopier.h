#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
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
// turn comes; an existing file is never overwritten. Failures are logged, not
// raised: the message keeps its attachment row without the file.
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
    // folder with its parents when missing.
    void copy(const QString &source, const QString &target);
    // Returns when every copy asked for is done.
    void wait();
    // wait(), then the files and folders created so far are kept for good.
    void keep();
    // wait(), then the files created since the last keep() are removed, and
    // the folders made for them when they are empty again.
    void undo();

    // Files up to this size wait in memory; larger ones are copied at once.
    static constexpr qint64 kQueuedFileLimit = 1024 * 1024;
    // Bytes that may wait in memory at one time.
    static constexpr qint64 kQueueByteLimit = 16 * 1024 * 1024;

private:
    struct Job {
        QString target;
        QByteArray bytes;
    };

    void run();
    void writeFile(const QString &target, const QByteArray &bytes);
    void copyFile(const QString &source, const QString &target);
    // Folders above `target` that do not exist yet; false when it exists.
    bool prepareTarget(const QString &target);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::deque<Job> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_writing = false;
    bool m_stop = false;
    // Written by whoever copies (the worker, or the owner while the worker
    // is idle), read by the owner only after wait().
    QStringList m_createdFiles;
    QStringList m_createdFolders;
};
