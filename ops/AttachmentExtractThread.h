#pragma once

#include "work/OperationThread.h"
#include "store/MsgMessageList.h"

#include <QString>
#include <QStringList>

#include <memory>

class MessageChunkReader;

// Copies the attachment files of a list of messages into one folder, each
// copy dated with its message's date. Same-named attachments get numbered
// names. A cancel or an error removes what this run created, and the folder
// only when this run made it.
class AttachmentExtractThread : public OperationThread
{
    Q_OBJECT
public:
    AttachmentExtractThread(ProgressReporter *form, const MsgMessageList &messages, const QString &outputFolder,
                            QObject *parent = nullptr);
    // Every message of a database, which `source` reads a chunk at a time
    // while the copies go, oldest first.
    AttachmentExtractThread(ProgressReporter *form, std::unique_ptr<MessageChunkReader> source,
                            const QString &outputFolder, QObject *parent = nullptr);
    ~AttachmentExtractThread() override;

    // Files copied by the run.
    int extractedCount() const { return int(m_created.size()); }

protected:
    void work() override;
    void abandon() override;

private:
    void makeOutputFolder();
    void extractMessage(const _MsgMessage &message, qint64 &done, qint64 total);
    void extractAttachments(const _MsgMessage &message);

    MsgMessageList m_messages;
    std::unique_ptr<MessageChunkReader> m_source;
    QString m_outputFolder;
    bool m_madeFolder = false;
    QStringList m_created;
};
