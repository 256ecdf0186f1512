#pragma once

#include <QHash>
#include <QPair>
#include <QSet>
#include <QString>

#include <memory>

#include "store/AbsFormatExport.h"
#include "store/AttachmentCopier.h"
#include "store/DatabaseLock.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgMessage.h"
#include "store/StoredKeyFilter.h"

class _MsgAttachment;
class _MsgHandle;

// Merges messages into a local database without ever duplicating what it
// holds: chats match by guid, handles by (id, service), messages by content
// hash and then by guid, attachments by guid. A message a group sent the
// phone also matches the same message with its sender named where it has
// none, or none where it names one. A message already stored is never
// changed; only its missing attachment links and files are added, an
// attachment of a file name it already has counting as present.
//
// begin() takes the folder's DatabaseLock (so that no other Ferrywright
// process writes it meanwhile) and starts one transaction for the whole run;
// end() commits it, closes the connection and lets the lock go. A run that
// ends any other way (abort(), or the writer destroyed without end()) is
// rolled back and the attachment files it copied are removed again, so the
// folder is left as it was; a folder the run made for a new database goes
// again.
//
// Within a run the writer remembers which chats, handles and chat-handle
// links exist; a caller that deletes such rows through database() should do
// so after its last write().
class ExportMessagesDb : public AbsFormatExport<_MsgMessage>
{
public:
    // `folder` is the database folder F; `countryCode` the mobile country
    // code used for number normalisation.
    ExportMessagesDb(const QString &folder, const QString &countryCode);
    ~ExportMessagesDb() override;

    // Raises std::runtime_error when another process writes the folder.
    void begin() override;
    // Merges one message with its chat, handles and attachments. Group events
    // a file without item_type cannot hold, and messages without chat, are
    // skipped. SQL errors raise SqliteException; an invalid chat service
    // raises std::runtime_error.
    void write(const _MsgMessage &message) override;
    void end() override;
    // Drops the run: rollback, removal of the files it copied, close.
    void abort();
    // Attachment files are copied beside the database work; this returns
    // when the copies asked for so far are done. end() and abort() wait too.
    void waitForCopies() { m_copier.wait(); }

    IOS6MessageDb &database() { return m_db; }

private:
    qint64 chatRowid(const _MsgChat &chat);
    // The handle's row id, inserted when unknown, and linked to the chat.
    qint64 linkedHandleRowid(qint64 chatRowid, const _MsgHandle &handle);
    qint64 storedMessageRowid(const _MsgMessage &message, qint64 chatRowid, const QString &hash);
    // A group's message stored under another name: what the group sent the
    // phone with its sender where this one has none, or without one where
    // this one names it; one from no one member as an earlier version hashed it.
    qint64 storedAsOtherwiseNamed(const _MsgMessage &message, qint64 chatRowid);
    qint64 insertNewMessage(const _MsgMessage &message, qint64 chatRowid, qint64 handleRowid,
                            const QString &hash);
    // `namesHeld`: the attachmentHashName()s the message had before this write.
    void writeAttachment(qint64 messageRowid, const _MsgAttachment &attachment, const QSet<QString> &namesHeld);
    void copyAttachmentFile(const _MsgAttachment &attachment);
    // Lookups by a key the filter rules out are not asked at all.
    qint64 rowidByHash(const QString &hash);
    qint64 rowidByGuid(const QString &guid);
    void noteChatDate(qint64 chatRowid, qint32 date);
    void writeChatDates();
    void forgetRun();

    IOS6MessageDb m_db;
    // Held from begin() until the run is committed or dropped.
    std::unique_ptr<DatabaseLock> m_lock;
    bool m_running = false;
    // Answers of chat and handle lookups already given in this run. The run's
    // transaction keeps other writers out, so they hold until it ends; most
    // messages of a run share a few chats and handles.
    QHash<QString, qint64> m_chatRowids;                     // by chat guid
    QHash<QPair<QString, QString>, qint64> m_handleRowids;   // by (id, service)
    QSet<QPair<qint64, qint64>> m_chatHandleLinks;           // (chat, handle) rows known
    // The newest date of each chat's messages added in this run, written to
    // the chat once at the end instead of after every message.
    QHash<qint64, qint32> m_chatDates;
    // Keys of the messages a run into a database without messages added.
    StoredKeyFilter m_storedHashes;
    StoredKeyFilter m_storedGuids;
    // Copies the run's attachment files; undone when the run does not commit.
    AttachmentCopier m_copier;
};
