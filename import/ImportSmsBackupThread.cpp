#include "import/ImportSmsBackupThread.h"

#include "import/SmsBackupMessageWriter.h"
#include "import/SmsBackupXmlReader.h"

#include <stdexcept>

ImportSmsBackupThread::ImportSmsBackupThread(const QString &xmlPath, const QString &dbFolder,
                                             const QString &countryCode, ProgressReporter *form, QObject *parent)
    : MessageImportThread(dbFolder, countryCode, form, parent)
    , m_file(xmlPath)
{
}

void ImportSmsBackupThread::openSource()
{
    if (!m_file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(
            QStringLiteral("Open %1 error. %2").arg(m_file.fileName(), m_file.errorString()).toStdString());
    }
}

void ImportSmsBackupThread::readMessages(SmsBackupMessageWriter &messages, const QString &status)
{
    // One more than the file: the bar reaches 100 only when all is stored,
    // and the many messages of the last chunk read are not each reported.
    const qint64 total = m_file.size() + 1;
    SmsBackupXmlReader reader(&m_file);
    SmsBackupRecord record;
    qint64 read = 0;
    while (reader.next(record)) {
        countRecord(messages.write(record));
        reportItem(status, reader.bytesRead(), total, tr("Messages: %1").arg(++read));
    }
}
