#pragma once

#include "work/OperationThread.h"
#include "store/MsgMessageList.h"

#include <QString>

#include <memory>

class DatabaseLock;
class IOS6MessageDb;

// Deletes messages from a local database in one transaction, then removes
// the attachment files that no remaining attachment row names. A cancel or
// an error before the commit rolls everything back and touches no file; once
// committed, the deletion has succeeded and its files go, Cancel or not.
// No other Ferrywright process writes the database meanwhile.
class DeleteMMSThread : public OperationThread
{
    Q_OBJECT
public:
    // `folder` is the local database's folder; `messages` stay owned by
    // their tree node.
    DeleteMMSThread(const QString &folder, const MsgMessageList &messages, ProgressReporter *form,
                    QObject *parent = nullptr);
    ~DeleteMMSThread() override;

protected:
    void work() override;
    void abandon() override;

private:
    void removeUnusedFiles();

    QString m_folder;
    MsgMessageList m_messages;
    std::unique_ptr<DatabaseLock> m_lock;  // taken before the database is opened
    std::unique_ptr<IOS6MessageDb> m_db;
};
