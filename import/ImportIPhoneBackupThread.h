#pragma once

#include "import/MessageImportThread.h"

#include <QString>

#include <memory>

class IPhoneBackupFolder;
class IPhoneMessageReader;

// Imports the messages of a computer's (unencrypted) backup of an iPhone
// into a local database, with their pictures and other attachments from the
// backup's hashed folders. Progress follows the message rows read; what was
// skipped is said after a successful run.
class ImportIPhoneBackupThread : public MessageImportThread
{
    Q_OBJECT
public:
    ImportIPhoneBackupThread(const QString &backupFolder, const QString &dbFolder, const QString &countryCode,
                             ProgressReporter *form, QObject *parent = nullptr);
    ~ImportIPhoneBackupThread() override;

    // After a successful run: rows that became no message (reactions, group
    // events, unsent or empty messages).
    qint64 itemsSkipped() const { return m_skipped; }

protected:
    void openSource() override;
    void readMessages(SmsBackupMessageWriter &messages, const QString &status) override;
    QString remarks() const override;

private:
    QString m_backupFolder;
    std::unique_ptr<IPhoneBackupFolder> m_backup;
    std::unique_ptr<IPhoneMessageReader> m_reader;
    qint64 m_skipped = 0;
    qint64 m_leftOut = 0;
    qint64 m_missing = 0;
};
