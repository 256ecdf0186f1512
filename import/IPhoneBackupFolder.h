#pragma once

#include "store/Sqlite3DB.h"

#include <QHash>
#include <QString>

// A computer's backup of an iPhone: a folder with "Manifest.db" (table
// Files: fileID, domain, relativePath) and every backed-up file stored as
// "<first two hex digits of fileID>/<fileID>".
//
// Opening checks that the folder is such a backup and that it is not
// encrypted (an encrypted backup's Manifest.db is no readable database),
// and raises std::runtime_error saying which it is not.
class IPhoneBackupFolder
{
public:
    explicit IPhoneBackupFolder(const QString &folder);

    // The backup's copy of the message database (HomeDomain,
    // Library/SMS/sms.db); raises std::runtime_error when it holds none.
    QString messageDatabasePath();
    // The backup's copy of an attachment named as the message database names
    // it ("~/Library/SMS/Attachments/...", or from "/var/mobile/" on); empty
    // when the backup holds no
    // such file (an attachment left in the cloud, say).
    QString attachmentPath(const QString &filename);

    // Whether `folder` looks like an iPhone backup (it has a Manifest.db).
    static bool looksLikeBackup(const QString &folder);

private:
    // The stored file of (domain, relativePath), empty when not in the manifest.
    QString storedFile(const QString &domain, const QString &relativePath);
    QString storedPath(const QString &fileId) const;
    void loadAttachmentIds();

    QString m_folder;
    Sqlite3DB m_manifest;
    // relativePath -> fileID of the message attachments, read at the first
    // attachment: one pass instead of one unindexed search per file.
    QHash<QString, QString> m_attachmentIds;
    bool m_attachmentIdsLoaded = false;
};
