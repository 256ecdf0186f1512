#include "store/AttachmentCopier.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
    QFile file(source);
    if (file.size() > kQueuedFileLimit) {
        wait();  // the worker is idle now, so the lists are the owner's
        copyFile(source, target);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << QStringLiteral("cannot read attachment %1: %2").arg(source, file.errorString());
        return;
    }
    Job job{target, file.readAll()};
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_progress.wait(lock, [this]() { return m_queuedBytes < kQueueByteLimit; });
        m_queuedBytes += job.bytes.size();
        m_queue.push_back(std::move(job));
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this]() { run(); });
    m_wake.notify_one();
}

void AttachmentCopier::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_progress.wait(lock, [this]() { return m_queue.empty() && !m_writing; });
}

void AttachmentCopier::keep()
{
    wait();
    m_createdFiles.clear();
    m_createdFolders.clear();
}

void AttachmentCopier::undo()
{
    wait();
    for (const QString &file : std::as_const(m_createdFiles))
        QFile::remove(file);
    // Deepest first; a folder that is not empty stays.
    std::sort(m_createdFolders.begin(), m_createdFolders.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &folder : std::as_const(m_createdFolders))
        QDir().rmdir(folder);
    m_createdFiles.clear();
    m_createdFolders.clear();
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
        m_writing = true;
        lock.unlock();
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
    for (QString path = folder; !QFileInfo::exists(path); path = QFileInfo(path).absolutePath())
        m_createdFolders.append(path);
    QDir().mkpath(folder);
    return true;
}

void AttachmentCopier::writeFile(const QString &target, const QByteArray &bytes)
{
    if (!prepareTarget(target))
        return;
    QFile file(target);
    // NewOnly: a file that appeared meanwhile is left alone.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qWarning().noquote() << QStringLiteral("cannot create attachment %1: %2").arg(target, file.errorString());
        return;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        qWarning().noquote() << QStringLiteral("cannot write attachment %1: %2").arg(target, file.errorString());
        file.remove();
        return;
    }
    file.close();
    m_createdFiles.append(target);
}

void AttachmentCopier::copyFile(const QString &source, const QString &target)
{
    if (!prepareTarget(target))
        return;
    if (QFile::copy(source, target))
        m_createdFiles.append(target);
    else
        qWarning().noquote() << QStringLiteral("cannot copy attachment %1 to %2").arg(source, target);
}
