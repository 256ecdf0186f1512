#pragma once

#include "import/MessageImportThread.h"

#include <QString>
#include <QStringList>

#include <memory>

class ArchiveMessageReader;
class ZipArchive;

// Imports an "SMS Import/Export" archive (a ZIP of messages.ndjson and the
// MMS part files) into a local database, streamed. Progress follows the
// bytes of messages.ndjson read, twice: the first reading learns the phone's
// own numbers (PhoneOwnNumbers), which no group counts among its members.
class ImportArchiveThread : public MessageImportThread
{
    Q_OBJECT
public:
    ImportArchiveThread(const QString &zipPath, const QString &dbFolder, const QString &countryCode,
                        ProgressReporter *form, QObject *parent = nullptr);
    ~ImportArchiveThread() override;

protected:
    void openSource() override;
    void readMessages(SmsBackupMessageWriter &messages, const QString &status) override;

private:
    // The phone's own numbers, from a first reading of messages.ndjson.
    QStringList ownNumbers(const QString &status, qint64 total);

    QString m_zipPath;
    std::unique_ptr<ZipArchive> m_archive;
    std::unique_ptr<ArchiveMessageReader> m_reader;
};
