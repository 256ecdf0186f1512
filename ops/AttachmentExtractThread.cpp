#include "ops/AttachmentExtractThread.h"

#include "app/AppFolders.h"
#include "app/FileErrors.h"
#include "app/Platform.h"
#include "app/RichText.h"
#include "store/AppleTime.h"
#include "store/MessageChunkReader.h"
#include "store/MessageOrder.h"
#include "store/MsgAttachment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

AttachmentExtractThread::AttachmentExtractThread(ProgressReporter *form, const MsgMessageList &messages,
                                                 const QString &outputFolder, QObject *parent)
    : OperationThread(form, parent)
    , m_messages(messages)
    , m_outputFolder(QDir(outputFolder).absolutePath())
{
}

AttachmentExtractThread::AttachmentExtractThread(ProgressReporter *form, std::unique_ptr<MessageChunkReader> source,
                                                 const QString &outputFolder, QObject *parent)
    : AttachmentExtractThread(form, MsgMessageList(), outputFolder, parent)
{
    m_source = std::move(source);
}

AttachmentExtractThread::~AttachmentExtractThread() = default;

void AttachmentExtractThread::work()
{
    m_created.clear();
    makeOutputFolder();
    const qint64 total = m_source ? m_source->count() : m_messages.size();
    qint64 done = 0;
    if (m_source) {
        m_source->forEach([&](const _MsgMessage &message) { extractMessage(message, done, total); });
    } else {
        for (const _MsgMessage *message : std::as_const(m_messages))
            extractMessage(*message, done, total);
    }
    throwIfCancelled(form());
    notifySuccess(form(), tr("IDS_SUC_EXTRACT_%1_MEDIA_FILES_TO_%2")
                              .arg(m_created.size())
                              .arg(richTextFromPlain(QDir::toNativeSeparators(m_outputFolder))));
}

void AttachmentExtractThread::makeOutputFolder()
{
    m_madeFolder = !QFileInfo::exists(m_outputFolder);
    if (!QDir().mkpath(m_outputFolder) || !QFileInfo(m_outputFolder).isDir()) {
        throw std::runtime_error(QStringLiteral("Cannot create folder %1: %2")
                                     .arg(QDir::toNativeSeparators(m_outputFolder), qt_error_string())
                                     .toStdString());
    }
}

void AttachmentExtractThread::extractMessage(const _MsgMessage &message, qint64 &done, qint64 total)
{
    ++done;
    reportItem(tr("IDS_EXTRACTING_MEDIA_FILES"), done, total, QString());
    extractAttachments(message);
}

void AttachmentExtractThread::extractAttachments(const _MsgMessage &message)
{
    if (message.attachments.isEmpty())
        return;  // the date below costs more than a message without files
    const QDateTime date = appleTimeToDateTime(message.date);
    for (const _MsgAttachment *attachment : sortedAttachments(message)) {
        if (attachment->localPath.isEmpty() || !QFileInfo(attachment->localPath).isFile())
            continue;  // never downloaded, or removed since: nothing to copy
        QString name = sanitizeFileName(QFileInfo(attachment->filename).fileName());
        if (name.isEmpty())
            name = QStringLiteral("attachment");
        const QString target = uniqueFilePath(QDir(m_outputFolder).filePath(name));
        copyFileOrThrow(attachment->localPath, target);
        m_created.append(target);
        Platform::setFileTimes(target, date);
    }
}

void AttachmentExtractThread::abandon()
{
    for (const QString &file : std::as_const(m_created))
        QFile::remove(file);
    m_created.clear();
    if (m_madeFolder)
        QDir().rmdir(m_outputFolder);  // only when empty: nothing of anyone else goes
}
