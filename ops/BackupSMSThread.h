#pragma once

#include "work/OperationThread.h"
#include "store/ExportMessagesDb.h"
#include "store/MsgMessageList.h"

#include <QString>

#include <memory>

class MessageChunkReader;

// Merges a list of messages into a local database: nothing it holds already
// is added twice. The whole backup is one transaction; a cancel or an error
// leaves the database and its attachment folder as they were, and a new
// database's folder is removed again. Once committed, the backup has
// succeeded, even when Cancel was pressed during the commit.
class BackupSMSThread : public OperationThread
{
    Q_OBJECT
public:
    // `messages` stay owned by their tree node, which outlives the thread.
    // `folder` is the local database's folder; `countryCode` the mobile
    // country code for number normalisation (empty for local databases).
    BackupSMSThread(const MsgMessageList &messages, const QString &folder, const QString &countryCode,
                    ProgressReporter *form, QObject *parent = nullptr);
    // Every message of a database, which `source` reads a chunk at a time
    // while the backup goes: memory does not grow with the database.
    BackupSMSThread(std::unique_ptr<MessageChunkReader> source, const QString &folder, const QString &countryCode,
                    ProgressReporter *form, QObject *parent = nullptr);
    ~BackupSMSThread() override;

protected:
    void work() override;
    void abandon() override;

private:
    void backUp(const _MsgMessage &message, qint64 &done, qint64 total);

    MsgMessageList m_messages;  // oldest first
    std::unique_ptr<MessageChunkReader> m_source;
    ExportMessagesDb m_writer;
};
