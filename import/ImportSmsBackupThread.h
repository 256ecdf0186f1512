#pragma once

#include "work/OperationThread.h"
#include "store/ExportMessagesDb.h"

#include <QString>

// Imports an "SMS Backup & Restore" XML file into a local database. The file
// is read as a stream (memory does not grow with it) and merged like a
// backup: messages the database holds already, by their content hash, are
// not added again, so importing a file twice adds nothing.
//
// The whole import is one transaction: a cancel, a malformed file (reported
// as "Line N: ...") or any other failure leaves the database and its
// attachment folder as they were, and a database the import was to create
// is not left behind. Progress follows the bytes read.
class ImportSmsBackupThread : public OperationThread
{
    Q_OBJECT
public:
    // `dbFolder` is the local database's folder (made when missing);
    // `countryCode` the mobile country code that completes national numbers.
    ImportSmsBackupThread(const QString &xmlPath, const QString &dbFolder, const QString &countryCode,
                          ProgressReporter *form, QObject *parent = nullptr);

    // After a successful run: the messages read from the file.
    qint64 recordsRead() const { return m_recordsRead; }
    // After a successful run: the messages the database did not hold yet (an
    // MMS may become several).
    qint64 messagesAdded() const { return m_messagesAdded; }

protected:
    void work() override;
    void abandon() override;

private:
    QString m_xmlPath;
    QString m_countryCode;
    ExportMessagesDb m_writer;
    qint64 m_recordsRead = 0;
    qint64 m_messagesAdded = 0;
};
