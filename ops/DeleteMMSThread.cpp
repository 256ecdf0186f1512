#include "ops/DeleteMMSThread.h"

#include "store/DatabaseLock.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgAttachment.h"

#include <QDebug>
#include <QFile>
#include <QSet>

#include <exception>

DeleteMMSThread::DeleteMMSThread(const QString &folder, const MsgMessageList &messages, ProgressReporter *form,
                                 QObject *parent)
    : OperationThread(form, parent)
    , m_folder(folder)
    , m_messages(messages)
{
}

DeleteMMSThread::~DeleteMMSThread() = default;

void DeleteMMSThread::work()
{
    notifyProgress(form(), tr("IDS_DELETING_MMS"), 0, QString());
    m_lock = std::make_unique<DatabaseLock>(m_folder);
    m_db = std::make_unique<IOS6MessageDb>(m_folder, QString());
    m_db->ensureWritable();
    const qint64 total = m_messages.size();
    m_db->beginTransaction();
    m_db->prepareForDeletion();
    throwIfCancelled(form());
    qint64 done = 0;
    for (const _MsgMessage *message : std::as_const(m_messages)) {
        ++done;
        reportItem(QString(), done, total, tr("Messages: %1/%2").arg(done).arg(total));
        m_db->deleteMessage(*message);
    }
    throwIfCancelled(form());
    m_db->endTransaction(true);
    notifyCommitted(form());  // the files no row names go whatever the dialog says now
    removeUnusedFiles();
    m_db->close();
    m_lock.reset();
    notifySuccess(form(), tr("IDS_SUC_DELETE_%1_MESSAGES").arg(done));
}

void DeleteMMSThread::removeUnusedFiles()
{
    QSet<QString> candidates;
    for (const _MsgMessage *message : std::as_const(m_messages)) {
        for (const _MsgAttachment *attachment : message->attachments) {
            if (!attachment->localPath.isEmpty())
                candidates.insert(attachment->localPath);
        }
    }
    if (candidates.isEmpty())
        return;
    // Two messages can share one attachment row, or two rows one file (after
    // merging two backups, or the old-format upgrade): a file still named by
    // a remaining row stays.
    try {
        candidates.subtract(m_db->attachmentFilesInUse());
    } catch (const std::exception &error) {
        // The deletion is committed; when in doubt, files stay.
        qWarning().noquote() << "DeleteMMSThread: attachment files kept," << error.what();
        return;
    }
    for (const QString &path : std::as_const(candidates))
        QFile::remove(path);  // a file already gone is fine
}

void DeleteMMSThread::abandon()
{
    if (m_db)
        m_db->close();  // rolls the open transaction back
    m_lock.reset();
}
