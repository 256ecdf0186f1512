#include "app/FolderMove.h"

#include "app/FileErrors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

namespace {

// Inside the moved copy until the original is gone; holds the original's path.
const QString kPendingRemovalMarker = QStringLiteral(".ferrywright-move-pending");

const QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString stagingPathFor(const QString &to)
{
    const QFileInfo target(to);
    return target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral("-moving");
}

bool isEmptyFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() && QDir(path).isEmpty(kEverything);
}

// Every entry below `root` (files, folders, links; hidden ones too), as
// paths relative to it, parents before their content. Links are not followed.
QStringList entriesBelow(const QString &root)
{
    QStringList entries;
    const QDir base(root);
    QDirIterator it(root, kEverything, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(base.relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

// The text of a link as written, so that links relative to the folder stay so.
QByteArray linkText(const QString &path)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer.data(), size_t(buffer.size()));
    if (length < 0)
        fail(QStringLiteral("Cannot read the link %1").arg(nativePath(path)));
    buffer.truncate(length);
    return buffer;
}

void copyLink(const QString &source, const QString &target)
{
    if (::symlink(linkText(source).constData(), QFile::encodeName(target).constData()) != 0)
        fail(QStringLiteral("Cannot create the link %1").arg(nativePath(target)));
}

// A copied file keeps its permissions and modification time: the search
// index tells a changed database by its time stamp.
void copyFileWithStamp(const QString &source, const QString &target)
{
    copyFileOrThrow(source, target);
    const QFileInfo original(source);
    QFile copy(target);
    if (!copy.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)
        || !copy.setFileTime(original.lastModified(), QFileDevice::FileModificationTime)
        || !copy.setPermissions(original.permissions()))
        fail(QStringLiteral("Cannot write %1: %2").arg(nativePath(target), fileErrorReason(copy)));
}

void copyTree(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        fail(QStringLiteral("Cannot create the folder %1").arg(nativePath(to)));
    for (const QString &entry : entriesBelow(from)) {
        const QFileInfo source(from + QLatin1Char('/') + entry);
        const QString target = to + QLatin1Char('/') + entry;
        if (source.isSymLink())
            copyLink(source.filePath(), target);
        else if (source.isDir()) {
            if (!QDir().mkpath(target))
                fail(QStringLiteral("Cannot create the folder %1").arg(nativePath(target)));
        } else
            copyFileWithStamp(source.filePath(), target);
    }
}

bool sameFileContent(const QString &a, const QString &b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    constexpr qint64 chunk = 1024 * 1024;
    while (!first.atEnd()) {
        const QByteArray mine = first.read(chunk);
        if (mine.isEmpty() || mine != second.read(chunk))
            return false;
    }
    return true;
}

bool sameEntry(const QFileInfo &original, const QFileInfo &copy)
{
    if (original.isSymLink())
        return copy.isSymLink() && linkText(original.filePath()) == linkText(copy.filePath());
    if (original.isDir())
        return copy.isDir() && !copy.isSymLink();
    return copy.isFile() && !copy.isSymLink() && sameFileContent(original.filePath(), copy.filePath());
}

void verifyCopy(const QString &from, const QString &to)
{
    const QStringList original = entriesBelow(from);
    if (original != entriesBelow(to))
        fail(QStringLiteral("The copy of %1 does not hold the same files").arg(nativePath(from)));
    for (const QString &entry : original) {
        if (!sameEntry(QFileInfo(from + QLatin1Char('/') + entry), QFileInfo(to + QLatin1Char('/') + entry)))
            fail(QStringLiteral("The copy of %1 differs from the original").arg(nativePath(from + QLatin1Char('/') + entry)));
    }
}

// Forces what was written below `folder` onto the disk before the copy is
// made visible and the original removed.
void flushFileSystemOf(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    const bool flushed = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!flushed)
        fail(QStringLiteral("Cannot write the copy %1 to disk").arg(nativePath(folder)));
}

void writeMarker(const QString &folder, const QString &original)
{
    QFile marker(folder + QLatin1Char('/') + kPendingRemovalMarker);
    if (!marker.open(QIODevice::WriteOnly | QIODevice::NewOnly) || marker.write(original.toUtf8()) < 0 || !marker.flush())
        fail(QStringLiteral("Cannot write %1: %2").arg(nativePath(marker.fileName()), fileErrorReason(marker)));
}

// A folder may be replaced only while it is empty; rename() needs it gone.
void clearEmptyTarget(const QString &to)
{
    if (!QFileInfo::exists(to) && !QFileInfo(to).isSymLink())
        return;
    if (!isEmptyFolder(to) || !QDir().rmdir(to))
        fail(QStringLiteral("%1 is in the way").arg(nativePath(to)));
}

void removeStaging(const QString &to)
{
    const QString staging = stagingPathFor(to);
    if (QFileInfo::exists(staging) && !QDir(staging).removeRecursively())
        fail(QStringLiteral("Cannot remove the unfinished copy %1").arg(nativePath(staging)));
}

} // namespace

void moveFolder(const QString &from, const QString &to)
{
    clearEmptyTarget(to);
    if (!QDir().mkpath(QFileInfo(to).absolutePath()))
        fail(QStringLiteral("Cannot create the folder %1").arg(nativePath(QFileInfo(to).absolutePath())));
    if (QDir().rename(from, to))
        return;
    moveFolderByCopy(from, to);
}

void moveFolderByCopy(const QString &from, const QString &to)
{
    clearEmptyTarget(to);
    removeStaging(to);
    const QString staging = stagingPathFor(to);
    try {
        copyTree(from, staging);
        verifyCopy(from, staging);
        writeMarker(staging, QFileInfo(from).absoluteFilePath());
        flushFileSystemOf(staging);
    } catch (const std::runtime_error &) {
        QDir(staging).removeRecursively();
        throw;
    }
    if (!QDir().rename(staging, to)) {
        QDir(staging).removeRecursively();
        fail(QStringLiteral("Cannot move the copy of %1 into place").arg(nativePath(from)));
    }
    finishInterruptedFolderMove(to);
}

void finishInterruptedFolderMove(const QString &to)
{
    removeStaging(to);
    QFile marker(to + QLatin1Char('/') + kPendingRemovalMarker);
    if (!marker.open(QIODevice::ReadOnly))
        return;
    const QString original = QString::fromUtf8(marker.readAll());
    marker.close();
    if (!original.isEmpty() && QFileInfo::exists(original) && !QDir(original).removeRecursively())
        fail(QStringLiteral("Cannot remove %1 after moving it to %2").arg(nativePath(original), nativePath(to)));
    if (!marker.remove() && marker.exists())
        fail(QStringLiteral("Cannot remove %1: %2").arg(nativePath(marker.fileName()), fileErrorReason(marker)));
}
