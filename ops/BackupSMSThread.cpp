#include "ops/BackupSMSThread.h"

#include "store/MessageChunkReader.h"
#include "store/MessageOrder.h"

BackupSMSThread::BackupSMSThread(const MsgMessageList &messages, const QString &folder, const QString &countryCode,
                                 ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_messages(messages)
    , m_writer(folder, countryCode)
{
    sortMessages(m_messages);
}

BackupSMSThread::BackupSMSThread(std::unique_ptr<MessageChunkReader> source, const QString &folder,
                                 const QString &countryCode, ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_source(std::move(source))
    , m_writer(folder, countryCode)
{
    // Writing a chunk takes longer than reading the next.
    m_source->readAhead();
}

BackupSMSThread::~BackupSMSThread() = default;

void BackupSMSThread::work()
{
    notifyProgress(form(), tr("IDS_BACKING_UP_SMS"), 0, QString());
    const qint64 total = m_source ? m_source->count() : m_messages.size();
    m_writer.begin();
    qint64 done = 0;
    if (m_source) {
        m_source->forEach([&](const _MsgMessage &message) { backUp(message, done, total); });
    } else {
        for (const _MsgMessage *message : std::as_const(m_messages))
            backUp(*message, done, total);
    }
    // A cancel during the last message or the last file copies still counts;
    // one that comes during the commit is too late.
    m_writer.waitForCopies();
    throwIfCancelled(form());
    m_writer.end();
    notifyCommitted(form());
    notifySuccess(form(), tr("IDS_SUC_BACKUP_%1_SMS").arg(done));
}

void BackupSMSThread::backUp(const _MsgMessage &message, qint64 &done, qint64 total)
{
    ++done;
    reportItem(tr("IDS_BACKING_UP_SMS"), done, total, tr("SMS: %1/%2").arg(done).arg(total));
    m_writer.write(message);
}

void BackupSMSThread::abandon()
{
    m_writer.abort();  // rollback, copied files removed, closed
}
