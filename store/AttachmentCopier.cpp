#include "store/AttachmentCopier.h"

#include "app/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr qint64 kCopyChunk = 512 * 1024;

QString failureText(const QString &what, const QString &path, const QString &reason)
{
    return QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), reason);
}

} // namespace

// Writes through a temporary file in the target's folder and renames it into
// place when complete.
class AttachmentCopier::PartFile
{
public:
    explicit PartFile(const QString &target) : m_file(target)
    {
        // The rename must not replace a file that appeared meanwhile; the
        // copier checked the target just before, and writes one file at a time.
        m_file.setDirectWriteFallback(false);
    }
    QString open()
    {
        return m_file.open(QIODevice::WriteOnly) ? QString() : fileErrorReason(m_file);
    }
    QString write(const char *data, qint64 size)
    {
        return m_file.write(data, size) == size ? QString() : fileErrorReason(m_file);
    }
    QString commit()
    {
        return commitSaveFile(m_file) ? QString() : fileErrorReason(m_file);
    }

private:
    QSaveFile m_file;
};

AttachmentCopier::~AttachmentCopier()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void AttachmentCopier::copy(const QString &source, const QString &target)
{
    raisePendingFailure();
    QFile file(source);
    if (file.size() > kQueuedFileLimit) {
        drain();  // the worker is idle now, so the lists are the owner's
        raisePendingFailure();
        copyFile(source, target);
        raisePendingFailure();
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = fileErrorReason(file);
        throw std::runtime_error(failureText(QStringLiteral("Cannot read attachment"), source, reason).toStdString());
    }
    Job job{target, file.readAll()};
    if (file.error() != QFileDevice::NoError) {
        const QString reason = fileErrorReason(file);
        throw std::runtime_error(failureText(QStringLiteral("Cannot read attachment"), source, reason).toStdString());
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_progress.wait(lock, [this]() { return m_queuedBytes < kQueueByteLimit || !m_failure.isEmpty(); });
        if (!m_failure.isEmpty())
            throw std::runtime_error(m_failure.toStdString());
        m_queuedBytes += job.bytes.size();
        m_queue.push_back(std::move(job));
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this]() { run(); });
    m_wake.notify_one();
}

void AttachmentCopier::drain()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_progress.wait(lock, [this]() { return m_queue.empty() && !m_writing; });
}

void AttachmentCopier::raisePendingFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_failure.isEmpty())
        throw std::runtime_error(m_failure.toStdString());
}

void AttachmentCopier::recordFailure(const QString &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failure.isEmpty())
        m_failure = text;
}

void AttachmentCopier::wait()
{
    drain();
    raisePendingFailure();
}

void AttachmentCopier::keep()
{
    wait();
    m_createdFiles.clear();
    m_createdFolders.clear();
}

void AttachmentCopier::undo()
{
    drain();
    for (const QString &file : std::as_const(m_createdFiles))
        QFile::remove(file);
    // Deepest first; a folder that is not empty stays.
    std::sort(m_createdFolders.begin(), m_createdFolders.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &folder : std::as_const(m_createdFolders))
        QDir().rmdir(folder);
    m_createdFiles.clear();
    m_createdFolders.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failure.clear();
}

void AttachmentCopier::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this]() { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;  // stopping, and nothing is left to write
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        const bool failed = !m_failure.isEmpty();
        m_writing = true;
        lock.unlock();
        if (!failed)  // after a failure the run is lost: drop the rest
            writeFile(job.target, job.bytes);
        lock.lock();
        m_writing = false;
        m_queuedBytes -= job.bytes.size();
        m_progress.notify_all();
    }
}

bool AttachmentCopier::prepareTarget(const QString &target)
{
    if (QFileInfo::exists(target))
        return false;
    const QString folder = QFileInfo(target).absolutePath();
    QStringList missing;
    for (QString path = folder; !QFileInfo::exists(path); path = QFileInfo(path).absolutePath())
        missing.append(path);
    const bool made = QDir().mkpath(folder);
    const QString reason = made ? QString() : qt_error_string();  // before other calls change errno
    for (const QString &path : std::as_const(missing)) {
        if (QFileInfo::exists(path))
            m_createdFolders.append(path);
    }
    if (!made)
        recordFailure(failureText(QStringLiteral("Cannot create folder"), folder, reason));
    return made;
}

void AttachmentCopier::writeFile(const QString &target, const QByteArray &bytes)
{
    writeTarget(target, [&bytes](PartFile &part) { return part.write(bytes.constData(), bytes.size()); });
}

void AttachmentCopier::copyFile(const QString &source, const QString &target)
{
    QFile in(source);
    writeTarget(target, [this, &in, &source](PartFile &part) {
        if (!in.open(QIODevice::ReadOnly)) {
            const QString reason = fileErrorReason(in);
            recordFailure(failureText(QStringLiteral("Cannot read attachment"), source, reason));
            return QString();
        }
        QByteArray chunk(int(kCopyChunk), Qt::Uninitialized);
        for (;;) {
            const qint64 got = in.read(chunk.data(), kCopyChunk);
            if (got < 0) {
                const QString reason = fileErrorReason(in);
                recordFailure(failureText(QStringLiteral("Cannot read attachment"), source, reason));
                return QString();
            }
            if (got == 0)
                return QString();
            const QString error = part.write(chunk.constData(), got);
            if (!error.isEmpty())
                return error;
        }
    });
}

void AttachmentCopier::writeTarget(const QString &target, const std::function<QString(PartFile &)> &fill)
{
    if (!prepareTarget(target))
        return;
    PartFile part(target);
    QString error = part.open();
    if (error.isEmpty())
        error = fill(part);
    if (hasFailed())
        return;  // reading failed: the part file is discarded unwritten
    if (error.isEmpty())
        error = part.commit();
    if (!error.isEmpty()) {
        recordFailure(failureText(QStringLiteral("Cannot write attachment"), target, error));
        return;
    }
    m_createdFiles.append(target);
}

bool AttachmentCopier::hasFailed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_failure.isEmpty();
}
