#include "import/MessageImportThread.h"

#include "import/SmsBackupMessageWriter.h"

namespace {

qint64 messageCount(IOS6MessageDb &db)
{
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from message"));
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

} // namespace

MessageImportThread::MessageImportThread(const QString &dbFolder, const QString &countryCode,
                                         ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_countryCode(countryCode)
    , m_writer(dbFolder, countryCode)
{
}

void MessageImportThread::work()
{
    const QString status = tr("Importing messages...");
    notifyProgress(form(), status, 0, QString());
    m_recordsRead = 0;
    m_messagesRead = 0;
    openSource();

    m_writer.begin();
    const qint64 before = messageCount(m_writer.database());
    {
        // The source's part files go before the commit waits for copies.
        SmsBackupMessageWriter messages(m_writer, m_countryCode);
        readMessages(messages, status);
    }
    throwIfCancelled(form());  // a cancel during the last message still counts
    m_messagesAdded = messageCount(m_writer.database()) - before;
    m_writer.end();
    notifyCommitted(form());
    notifyProgress(form(), status, 100, QString());
    // A second import of a source adds nothing, and says so; both numbers
    // count messages as the window shows them, so an MMS split into its
    // parts never makes more new than read.
    QString summary = tr("%1 messages read, %2 of them new.").arg(m_messagesRead).arg(m_messagesAdded);
    const QString more = remarks();
    if (!more.isEmpty())
        summary += QLatin1Char(' ') + more;
    notifySuccess(form(), summary);
}

void MessageImportThread::abandon()
{
    m_writer.abort();  // rollback, copied files removed, closed, a folder it made removed
}
