#include "import/ImportIPhoneBackupThread.h"

#include "import/IPhoneBackupFolder.h"
#include "import/IPhoneMessageReader.h"
#include "import/SmsBackupMessageWriter.h"

ImportIPhoneBackupThread::ImportIPhoneBackupThread(const QString &backupFolder, const QString &dbFolder,
                                                   const QString &countryCode, ProgressReporter *form,
                                                   QObject *parent)
    : MessageImportThread(dbFolder, countryCode, form, parent)
    , m_backupFolder(backupFolder)
{
}

ImportIPhoneBackupThread::~ImportIPhoneBackupThread() = default;

void ImportIPhoneBackupThread::openSource()
{
    m_backup = std::make_unique<IPhoneBackupFolder>(m_backupFolder);
    m_reader = std::make_unique<IPhoneMessageReader>(*m_backup);
}

void ImportIPhoneBackupThread::readMessages(SmsBackupMessageWriter &messages, const QString &status)
{
    // One more than the rows: the bar reaches 100 only when all is stored.
    const qint64 total = m_reader->rowCount() + 1;
    SmsBackupRecord record;
    qint64 read = 0;
    while (m_reader->next(record)) {
        countRecord(messages.write(record));
        reportItem(status, m_reader->rowsRead(), total, tr("Messages: %1").arg(++read));
    }
    m_skipped = m_reader->skipped();
    m_leftOut = m_reader->editsAndEffectsLeftOut();
    m_missing = m_reader->missingAttachments();
}

QString ImportIPhoneBackupThread::remarks() const
{
    QStringList parts;
    if (m_skipped > 0)
        parts.append(tr("%1 reactions, group events and unsent messages skipped.").arg(m_skipped));
    if (m_leftOut > 0)
        parts.append(tr("%1 edits and effects left out (the messages keep their last text).").arg(m_leftOut));
    if (m_missing > 0)
        parts.append(tr("%1 attachments were not in the backup.").arg(m_missing));
    return parts.join(QLatin1Char(' '));
}
