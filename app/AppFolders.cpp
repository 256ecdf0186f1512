#include "app/AppFolders.h"

#include "app/AppInfo.h"
#include "app/FolderMove.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <stdexcept>

namespace {

QString cachedDataRoot;
QStringList notes;

// Told on standard error now, and kept for the log, which starts in the data
// root and so only after it is known.
void note(const QString &text)
{
    qWarning("%s", qUtf8Printable(text));
    notes.append(text);
}

const QString kProductFolderName = QStringLiteral("FerryWright");

// Where earlier versions kept everything, and where Windows keeps it still.
QString roamingFolder()
{
    const QDir home(QDir::homePath());
    const QString roaming = home.absoluteFilePath(QStringLiteral("AppData/Roaming"));
    if (QFileInfo(roaming).isDir())
        return roaming;
    return home.absoluteFilePath(QStringLiteral("Application Data"));
}

#ifndef Q_OS_WIN

// $XDG_DATA_HOME when it names an absolute path (a relative one is to be
// ignored), else ~/.local/share.
QString xdgDataHome()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(fromEnvironment))
        return QDir::cleanPath(fromEnvironment);
    return QDir(QDir::homePath()).absoluteFilePath(QStringLiteral(".local/share"));
}

bool holdsEntries(const QString &folder)
{
    return QFileInfo(folder).isDir()
        && !QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The Windows-style folders an earlier version made in the home folder, once
// they hold nothing any more; rmdir leaves a folder with content alone.
void removeEmptyRoamingFolders(const QString &oldFolder)
{
    QDir().rmdir(oldFolder);
    QDir home(QDir::homePath());
    for (const char *folder : {"AppData/Roaming", "AppData", "Application Data"})
        home.rmdir(QString::fromLatin1(folder));
}

// Moves the old folder's content to the new place unless the new place holds
// something already; completes a move an earlier start left unfinished. Two
// processes starting together take turns through the lock file.
void adoptOldFolder(const QString &oldFolder, const QString &newFolder)
{
    const QString lockPath = QFileInfo(newFolder).absolutePath() + QStringLiteral("/.") + kProductFolderName
        + QStringLiteral("-move.lock");
    QLockFile lock(lockPath);
    // A copy of many gigabytes takes long; only a dead holder frees the lock.
    lock.setStaleLockTime(0);
    if (!QDir().mkpath(QFileInfo(newFolder).absolutePath()) || !lock.lock())
        throw std::runtime_error(QStringLiteral("Cannot create the lock file %1").arg(QDir::toNativeSeparators(lockPath)).toStdString());
    finishInterruptedFolderMove(newFolder);
    if (holdsEntries(oldFolder) && holdsEntries(newFolder)) {
        note(QStringLiteral("Data of an earlier version left alone in %1: %2 holds data already.")
                 .arg(QDir::toNativeSeparators(oldFolder), QDir::toNativeSeparators(newFolder)));
        return;
    }
    if (holdsEntries(oldFolder)) {
        moveFolder(oldFolder, newFolder);
        note(QStringLiteral("Data moved from %1 to %2.")
                 .arg(QDir::toNativeSeparators(oldFolder), QDir::toNativeSeparators(newFolder)));
    }
    removeEmptyRoamingFolders(oldFolder);
}

// The XDG data folder; the folder of earlier versions only while its data
// could not be moved from there, so that nothing the user has goes unseen.
QString productFolder()
{
    const QString newFolder = QDir(xdgDataHome()).absoluteFilePath(kProductFolderName);
    const QString oldFolder = QDir(roamingFolder()).absoluteFilePath(kProductFolderName);
    try {
        if (QFileInfo::exists(oldFolder))
            adoptOldFolder(oldFolder, newFolder);
        else
            finishInterruptedFolderMove(newFolder);
    } catch (const std::runtime_error &error) {
        const bool keepOld = !holdsEntries(newFolder) && holdsEntries(oldFolder);
        note(QStringLiteral("Data not moved to %1 (%2); %3 stays in use.")
                 .arg(QDir::toNativeSeparators(newFolder), QString::fromUtf8(error.what()),
                      QDir::toNativeSeparators(keepOld ? oldFolder : newFolder)));
        if (keepOld)
            return oldFolder;
    }
    return newFolder;
}

#else

QString productFolder()
{
    return QDir(roamingFolder()).absoluteFilePath(kProductFolderName);
}

#endif

// The redirect file holds a path; the content is used verbatim (cut at NUL, no
// trimming), so a trailing line break makes it point nowhere and it is ignored.
QString redirectTarget(const QString &productFolder)
{
    QFile redirect(productFolder + QLatin1Char('/') + QLatin1String(AppInfo::kProductId)
                   + QStringLiteral(".redirect"));
    if (!redirect.open(QIODevice::ReadOnly))
        return QString();
    QByteArray content = redirect.readAll();
    const int nul = content.indexOf('\0');
    if (nul >= 0)
        content.truncate(nul);
    const QString target = QString::fromUtf8(content);
    if (target.isEmpty() || !QFileInfo::exists(target))
        return QString();
    return target;
}

QString computeDataRoot()
{
    const QString folder = productFolder();
    QString base = redirectTarget(folder);
    if (base.isEmpty())
        base = folder;
    return QDir(base).absoluteFilePath(QLatin1String(AppInfo::kProductId));
}

} // namespace

QDir dataRootDir()
{
    if (cachedDataRoot.isEmpty())
        cachedDataRoot = computeDataRoot();
    QDir().mkpath(cachedDataRoot);
    return QDir(cachedDataRoot);
}

QDir localDatabasesDir()
{
    const QString path = dataRootDir().absoluteFilePath(QStringLiteral("local_databases"));
    QDir().mkpath(path);
    return QDir(path);
}

QStringList dataRootNotes()
{
    return notes;
}

void resetDataRootCacheForTests()
{
    cachedDataRoot.clear();
    notes.clear();
}

void removeFolderRecursively(const QString &path)
{
    QDir dir(path);
    if (!dir.exists())
        return;
    const QFileInfoList entries = dir.entryInfoList(
        QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            removeFolderRecursively(entry.absoluteFilePath());
        else
            dir.remove(entry.fileName());
    }
    QDir().rmdir(dir.absolutePath());
}

QString uniqueFilePath(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    for (int counter = 1;; ++counter) {
        const QString candidate = folder.absoluteFilePath(numberedFileName(info.fileName(), counter));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString numberedFileName(const QString &fileName, int counter)
{
    const QFileInfo info(fileName);
    QString name = QStringLiteral("%1(%2)").arg(info.completeBaseName()).arg(counter);
    if (!info.suffix().isEmpty())
        name += QLatin1Char('.') + info.suffix();
    return name;
}

QString sanitizeFileName(const QString &name)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:*\\?\"<>|]"));
    QString cleaned = name;
    cleaned.remove(forbidden);
    return cleaned.trimmed();
}

QString withoutControlCharacters(const QString &text)
{
    QString printable;
    printable.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            printable.append(c);
    }
    return printable;
}

namespace {

// Longest suffix kept whole when a name is shortened.
const qsizetype KeptSuffixLength = 16;

// How many UTF-16 units of `text`, from its start, fit `maxBytes` of UTF-8.
qsizetype unitsWithin(QStringView text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode());
        const int width = c < 0x80 ? 1 : c < 0x800 ? 2 : pair ? 4 : 3;
        if (bytes + width > maxBytes)
            break;
        bytes += width;
        i += pair ? 2 : 1;
    }
    return i;
}

} // namespace

QString fileNameWithin(const QString &name, int maxBytes)
{
    if (unitsWithin(name, maxBytes) == name.size())
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const bool keepSuffix = dot > 0 && name.size() - dot <= KeptSuffixLength;
    const QString suffix = keepSuffix ? name.mid(dot) : QString();
    const QStringView stem = QStringView(name).left(name.size() - suffix.size());
    return stem.left(unitsWithin(stem, maxBytes - suffix.toUtf8().size())).toString() + suffix;
}

QString truncatedToUtf8Bytes(const QString &text, int maxBytes)
{
    return text.left(unitsWithin(text, maxBytes));
}

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}
