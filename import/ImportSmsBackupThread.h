#pragma once

#include "import/MessageImportThread.h"

#include <QFile>
#include <QString>

// Imports an "SMS Backup & Restore" XML file into a local database. The file
// is read as a stream (memory does not grow with it); a malformed file is
// reported as "Line N: ...". Progress follows the bytes read.
class ImportSmsBackupThread : public MessageImportThread
{
    Q_OBJECT
public:
    ImportSmsBackupThread(const QString &xmlPath, const QString &dbFolder, const QString &countryCode,
                          ProgressReporter *form, QObject *parent = nullptr);

protected:
    void openSource() override;
    void readMessages(SmsBackupMessageWriter &messages, const QString &status) override;

private:
    QFile m_file;
};
