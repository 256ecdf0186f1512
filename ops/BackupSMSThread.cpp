#include "ops/BackupSMSThread.h"

#include "store/MessageOrder.h"

BackupSMSThread::BackupSMSThread(const MsgMessageList &messages, const QString &folder, const QString &countryCode,
                                 ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_messages(messages)
    , m_writer(folder, countryCode)
{
    sortMessages(m_messages);
}

void BackupSMSThread::work()
{
    const QString status = tr("IDS_BACKING_UP_SMS");
    notifyProgress(form(), status, 0, QString());
    const qint64 total = m_messages.size();
    m_writer.begin();
    qint64 done = 0;
    for (const _MsgMessage *message : std::as_const(m_messages)) {
        ++done;
        reportItem(status, done, total, tr("SMS: %1/%2").arg(done).arg(total));
        m_writer.write(*message);
    }
    // A cancel during the last message or the last file copies still counts;
    // one that comes during the commit is too late.
    m_writer.waitForCopies();
    throwIfCancelled(form());
    m_writer.end();
    notifyCommitted(form());
    notifySuccess(form(), tr("IDS_SUC_BACKUP_%1_SMS").arg(done));
}

void BackupSMSThread::abandon()
{
    m_writer.abort();  // rollback, copied files removed, closed
}
