#include "import/IPhoneBackupFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>

#include <stdexcept>

namespace {

const QString ManifestName = QStringLiteral("Manifest.db");
const QString HomeDomain = QStringLiteral("HomeDomain");
const QString MediaDomain = QStringLiteral("MediaDomain");
const QString AttachmentsPrefix = QStringLiteral("Library/SMS/Attachments/");
// Attachments are named from the phone's home folder, "~/" or written out.
const QStringList HomePrefixes{QStringLiteral("~/"), QStringLiteral("/var/mobile/"),
                               QStringLiteral("/private/var/mobile/")};

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// Every SQLite database file starts with these 16 bytes; an encrypted
// backup's manifest does not.
bool isPlainDatabase(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QObject::tr("Could not read %1: %2").arg(path, file.errorString()));
    return file.read(16) == QByteArray("SQLite format 3", 16);
}

} // namespace

IPhoneBackupFolder::IPhoneBackupFolder(const QString &folder)
    : m_folder(folder)
{
    if (!looksLikeBackup(folder))
        fail(QObject::tr("%1 is not an iPhone backup folder: it has no %2.").arg(folder, ManifestName));
    const QString manifest = QDir(folder).filePath(ManifestName);
    if (!isPlainDatabase(manifest)) {
        fail(QObject::tr("The iPhone backup in %1 is encrypted. Make an unencrypted backup of the iPhone "
                         "(turn off \"Encrypt local backup\") and import that one.")
                 .arg(folder));
    }
    m_manifest.openThrow(manifest, Sqlite3DB::OpenReadOnly);
    if (m_manifest.tbInfo(QStringLiteral("Files")).isEmpty())
        fail(QObject::tr("%1 is not an iPhone backup folder: its %2 lists no files.").arg(folder, ManifestName));
}

bool IPhoneBackupFolder::looksLikeBackup(const QString &folder)
{
    return QFileInfo(QDir(folder).filePath(ManifestName)).isFile();
}

QString IPhoneBackupFolder::messageDatabasePath()
{
    const QString path = storedFile(HomeDomain, QStringLiteral("Library/SMS/sms.db"));
    if (path.isEmpty())
        fail(QObject::tr("The iPhone backup in %1 holds no messages (it has no Library/SMS/sms.db).").arg(m_folder));
    return path;
}

QString IPhoneBackupFolder::attachmentPath(const QString &filename)
{
    QString relative;
    for (const QString &prefix : HomePrefixes) {
        if (filename.startsWith(prefix))
            relative = filename.mid(prefix.size());
    }
    if (!relative.startsWith(AttachmentsPrefix))
        return QString();
    loadAttachmentIds();
    const auto id = m_attachmentIds.constFind(relative);
    if (id == m_attachmentIds.constEnd())
        return QString();
    const QString path = storedPath(*id);
    return QFileInfo(path).isFile() ? path : QString();
}

QString IPhoneBackupFolder::storedFile(const QString &domain, const QString &relativePath)
{
    Sqlite3Cursor cursor = m_manifest.queryThrow(
        Sqlite3Sql(QStringLiteral("select fileID from Files where domain=? and relativePath=?"))
            .addTextParam(domain)
            .addTextParam(relativePath));
    if (!cursor.moveNext())
        return QString();
    const QString path = storedPath(cursor.getText(0));
    if (!QFileInfo(path).isFile())
        fail(QObject::tr("The iPhone backup in %1 is incomplete: %2 is missing.").arg(m_folder, relativePath));
    return path;
}

QString IPhoneBackupFolder::storedPath(const QString &fileId) const
{
    // A fileID is 40 hex digits; anything else could lead out of the folder.
    static const QRegularExpression hexId(QStringLiteral("^[0-9a-f]{40}$"));
    if (!hexId.match(fileId).hasMatch())
        return QString();
    return QDir(m_folder).filePath(fileId.left(2) + QLatin1Char('/') + fileId);
}

void IPhoneBackupFolder::loadAttachmentIds()
{
    if (m_attachmentIdsLoaded)
        return;
    Sqlite3Cursor cursor = m_manifest.queryThrow(
        Sqlite3Sql(QStringLiteral("select relativePath, fileID from Files where domain=? and relativePath like ?"))
            .addTextParam(MediaDomain)
            .addTextParam(AttachmentsPrefix + QLatin1Char('%')));
    while (cursor.moveNext())
        m_attachmentIds.insert(cursor.getText(0), cursor.getText(1));
    m_attachmentIdsLoaded = true;
}
