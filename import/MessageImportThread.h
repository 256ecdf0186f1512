#pragma once

#include "work/OperationThread.h"
#include "store/ExportMessagesDb.h"

#include <QString>

class SmsBackupMessageWriter;

// What every import of messages from another program's files shares. The
// source is read as a stream and merged like a backup: messages the database
// holds already, by their content hash, are not added again, so importing
// the same source twice adds nothing.
//
// The whole import is one transaction: a cancel, a malformed source or any
// other failure leaves the database and its attachment folder as they were,
// and a database the import was to create is not left behind.
class MessageImportThread : public OperationThread
{
    Q_OBJECT
public:
    // After a successful run: the records read from the source (an MMS is one).
    qint64 recordsRead() const { return m_recordsRead; }
    // After a successful run: the messages those records make (an MMS may
    // make several), the unit messagesAdded() counts in.
    qint64 messagesRead() const { return m_messagesRead; }
    // After a successful run: the messages the database did not hold yet (an
    // MMS may become several).
    qint64 messagesAdded() const { return m_messagesAdded; }

protected:
    // `dbFolder` is the local database's folder (made when missing);
    // `countryCode` the mobile country code that completes national numbers.
    MessageImportThread(const QString &dbFolder, const QString &countryCode, ProgressReporter *form,
                        QObject *parent);

    // Opens the source, before the database is touched; raises when it is
    // not what it should be.
    virtual void openSource() = 0;
    // Hands every message of the source to `messages`, calling countRecord()
    // with what each record made and reporting progress under `status`.
    virtual void readMessages(SmsBackupMessageWriter &messages, const QString &status) = 0;
    // More to say after a successful run than how many were read and added.
    virtual QString remarks() const { return QString(); }

    void countRecord(int messagesMade)
    {
        ++m_recordsRead;
        m_messagesRead += messagesMade;
    }

private:
    void work() final;
    void abandon() final;

    QString m_countryCode;
    ExportMessagesDb m_writer;
    qint64 m_recordsRead = 0;
    qint64 m_messagesRead = 0;
    qint64 m_messagesAdded = 0;
};
