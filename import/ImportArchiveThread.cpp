#include "import/ImportArchiveThread.h"

#include "import/ArchiveMessageReader.h"
#include "import/PhoneOwnNumbers.h"
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
    // The file is read twice, first for the phone's own numbers; one more
    // than that: the bar reaches 100 only when all is stored.
    const qint64 size = m_reader->size();
    const qint64 total = 2 * size + 1;
    messages.setOwnNumbers(ownNumbers(status, total));
    SmsBackupRecord record;
    qint64 read = 0;
    while (m_reader->next(record)) {
        countRecord(messages.write(record));
        reportItem(status, size + m_reader->bytesRead(), total, tr("Messages: %1").arg(++read));
    }
}

QStringList ImportArchiveThread::ownNumbers(const QString &status, qint64 total)
{
    // A group's MMS lists the phone among its recipients, before or after
    // the messages that tell which number is the phone's.
    ArchiveMessageReader addresses(*m_archive, ArchiveMessageReader::Parts::Skipped);
    PhoneOwnNumbers own;
    SmsBackupRecord record;
    while (addresses.next(record)) {
        own.learn(record);
        reportItem(status, addresses.bytesRead(), total, QString());
    }
    return own.numbers();
}
