#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class MessageImportThread;
class ProgressReporter;

// The kinds of files and folders messages can be imported from, recognised
// by what they hold rather than by their names.
class ImportSourceKind
{
public:
    enum Kind {
        SmsBackupXml,   // an XML file of the SMS Backup & Restore app
        IPhoneBackup,   // a computer's backup folder of an iPhone
        ArchiveZip,     // a ZIP archive of the SMS Import/Export app
    };

    // The kind of `path`; raises std::runtime_error naming the path when it
    // is none of them.
    static Kind recognise(const QString &path);
    // The kind named `name` ("xml", "iphone", "zip"); raises
    // std::runtime_error listing the names for any other.
    static Kind fromName(const QString &name);
    static QStringList names();

    // The worker that imports `path` of `kind` into the local database in
    // `dbFolder`.
    static std::unique_ptr<MessageImportThread> makeWorker(Kind kind, const QString &path, const QString &dbFolder,
                                                           const QString &countryCode, ProgressReporter *form);
};
