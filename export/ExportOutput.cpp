#include "export/ExportOutput.h"

#include "app/AppFolders.h"
#include "app/FileErrors.h"
#include "app/UnreadableFileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

// A copy's name with "_thumb", a number and its suffix stays well within the
// 255 bytes file systems allow.
constexpr int kMaxCopyBaseBytes = 200;
constexpr int kMaxCopySuffixBytes = 10;

QString harmlessNamePart(const QString &part)
{
    return withoutControlCharacters(sanitizeFileName(part));
}

} // namespace

QString attachmentCopyName(const QString &path, const QString &insert)
{
    const QFileInfo info(path);
    QString base = harmlessNamePart(info.completeBaseName());
    while (base.startsWith(QLatin1Char('.')))
        base.remove(0, 1);
    if (base.isEmpty())
        base = QStringLiteral("attachment");
    base = truncatedToUtf8Bytes(base, kMaxCopyBaseBytes) + insert;
    const QString suffix = truncatedToUtf8Bytes(harmlessNamePart(info.suffix()), kMaxCopySuffixBytes);
    return suffix.isEmpty() ? base : base + QLatin1Char('.') + suffix;
}

void ExportOutput::makeFolder(const QString &folder)
{
    const QString absolute = QDir(folder).absolutePath();
    QStringList missing;
    for (QString level = absolute; !QFileInfo::exists(level);) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).absolutePath();
        if (parent == level)
            break;
        level = parent;
    }
    for (const QString &level : std::as_const(missing)) {
        if (!QDir().mkdir(level))
            throw std::runtime_error(QStringLiteral("Cannot create the folder %1: %2")
                                         .arg(QDir::toNativeSeparators(level), qt_error_string())
                                         .toStdString());
        m_folders.append(level);
    }
    if (!QFileInfo(absolute).isDir())
        throw std::runtime_error(QStringLiteral("%1 is not a folder.").arg(absolute).toStdString());
}

QString ExportOutput::reserveFile(const QString &folder, const QString &fileName)
{
    const QDir dir(folder);
    const QString wanted = dir.absoluteFilePath(fileName);
    QString path = wanted;
    int counter = m_nextCounter.value(wanted, 1);
    while (m_reserved.contains(path) || QFileInfo::exists(path))
        path = dir.absoluteFilePath(numberedFileName(fileName, counter++));
    m_nextCounter.insert(wanted, counter);
    m_reserved.insert(path);
    m_files.append(path);
    return path;
}

QString ExportOutput::copyFile(const QString &source, const QString &folder, const QString &fileName)
{
    const QString target = reserveFile(folder, fileName);
    copyFileOrThrow(source, target);
    return QFileInfo(target).fileName();
}

QString ExportOutput::copyReadableFile(const QString &source, const QString &folder, const QString &fileName)
{
    try {
        return copyFile(source, folder, fileName);
    } catch (const UnreadableFileError &) {
        m_unreadable.append(source);
        return QString();
    }
}

void ExportOutput::copyFileIfMissing(const QString &source, const QString &folder, const QString &fileName)
{
    const QString target = QDir(folder).absoluteFilePath(fileName);
    if (QFileInfo::exists(target))
        return;
    m_files.append(target);
    m_reserved.insert(target);
    copyFileOrThrow(source, target);
}

void ExportOutput::rollback()
{
    for (auto it = m_files.crbegin(); it != m_files.crend(); ++it)
        QFile::remove(*it);
    for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it)
        QDir().rmdir(*it);
    m_files.clear();
    m_folders.clear();
    m_reserved.clear();
    m_nextCounter.clear();
}
