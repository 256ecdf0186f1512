#pragma once

#include "work/OperationThread.h"
#include "store/MsgMessageList.h"

#include <QString>
#include <QStringList>

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

    // Files copied by the run.
    int extractedCount() const { return int(m_created.size()); }

protected:
    void work() override;
    void abandon() override;

private:
    void makeOutputFolder();
    void extractAttachments(const _MsgMessage &message);

    MsgMessageList m_messages;
    QString m_outputFolder;
    bool m_madeFolder = false;
    QStringList m_created;
};
