#include "import/ImportSmsBackupThread.h"

#include "import/SmsBackupMessageWriter.h"
#include "import/SmsBackupXmlReader.h"

#include <QFile>

#include <stdexcept>

namespace {

qint64 messageCount(IOS6MessageDb &db)
{
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select count(*) from message"));
    return cursor.moveNext() ? cursor.getInt64(0) : 0;
}

} // namespace

ImportSmsBackupThread::ImportSmsBackupThread(const QString &xmlPath, const QString &dbFolder,
                                             const QString &countryCode, ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_xmlPath(xmlPath)
    , m_countryCode(countryCode)
    , m_writer(dbFolder, countryCode)
{
}

void ImportSmsBackupThread::work()
{
    QFile file(m_xmlPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(
            QStringLiteral("Open %1 error. %2").arg(m_xmlPath, file.errorString()).toStdString());
    }
    // One more than the file: the bar reaches 100 only when all is stored,
    // and the many messages of the last chunk read are not each reported.
    const qint64 total = file.size() + 1;
    const QString status = tr("Importing messages...");
    notifyProgress(form(), status, 0, QString());

    SmsBackupXmlReader reader(&file);
    m_writer.begin();
    const qint64 before = messageCount(m_writer.database());
    SmsBackupMessageWriter messages(m_writer, m_countryCode);
    SmsBackupRecord record;
    m_recordsRead = 0;
    while (reader.next(record)) {
        ++m_recordsRead;
        messages.write(record);
        reportItem(status, reader.bytesRead(), total, tr("Messages: %1").arg(m_recordsRead));
    }
    record = SmsBackupRecord();  // its part files go before the commit waits for copies
    throwIfCancelled(form());    // a cancel during the last message still counts
    m_messagesAdded = messageCount(m_writer.database()) - before;
    m_writer.end();
    notifyCommitted(form());
    notifyProgress(form(), status, 100, QString());
    // A second import of a file adds nothing, and says so.
    notifySuccess(form(), tr("%1 messages read, %2 of them new.").arg(m_recordsRead).arg(m_messagesAdded));
}

void ImportSmsBackupThread::abandon()
{
    m_writer.abort();  // rollback, copied files removed, closed, a folder it made removed
}
