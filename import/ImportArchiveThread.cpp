#include "import/ImportArchiveThread.h"

#include "import/ArchiveMessageReader.h"
#include "import/SmsBackupMessageWriter.h"
#include "import/ZipArchive.h"

ImportArchiveThread::ImportArchiveThread(const QString &zipPath, const QString &dbFolder,
                                         const QString &countryCode, ProgressReporter *form, QObject *parent)
    : MessageImportThread(dbFolder, countryCode, form, parent)
    , m_zipPath(zipPath)
{
}

ImportArchiveThread::~ImportArchiveThread() = default;

void ImportArchiveThread::openSource()
{
    m_archive = std::make_unique<ZipArchive>(m_zipPath);
    m_reader = std::make_unique<ArchiveMessageReader>(*m_archive);
}

void ImportArchiveThread::readMessages(SmsBackupMessageWriter &messages, const QString &status)
{
    // One more than the file: the bar reaches 100 only when all is stored.
    const qint64 total = m_reader->size() + 1;
    SmsBackupRecord record;
    qint64 read = 0;
    while (m_reader->next(record)) {
        countRecord(messages.write(record));
        reportItem(status, m_reader->bytesRead(), total, tr("Messages: %1").arg(++read));
    }
}
