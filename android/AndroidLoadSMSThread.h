#pragma once

#include "android/AgentConnection.h"
#include "android/HashKey.h"
#include "android/SeenRecords.h"
#include "work/WorkerNotify.h"

#include <QHash>
#include <QHashFunctions>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QString>
#include <QThread>

#include <memory>
#include <optional>
#include <vector>

class CountryLibDb;
class ExportMessagesDb;
class IOS6MessageDb;
class RecordMessages;
class TemporaryPartFile;
class _MsgMessage;
struct AndroidDevice;

// Copies every SMS and MMS of a connected phone into the phone's cache
// database (R/android_cache/<imei>), incrementally: records already seen travel
// as one line and bring no attachment data; records the phone no longer has
// are removed after a complete download.
//
// Two bookkeeping tables live in the cache database: parent_hash maps each
// phone record's hash (parent) to the logic hashes of the messages stored for
// it (child); valid_hash lists the record hashes seen by the last complete
// download, with fingerprints that recognise unchanged records (SeenRecords).
//
// Everything runs in one transaction: a cancel, a lost connection, an agent
// "$error:" or any other failure leaves the database file and its attachment
// folder as they were. Attachments stream through temporary files, so memory
// does not grow with their size.
class AndroidLoadSMSThread : public QThread
{
    Q_OBJECT
public:
    // `device` and `form` are owned by the caller and outlive the thread.
    AndroidLoadSMSThread(const AndroidDevice *device, ProgressReporter *form, QObject *parent = nullptr);
    ~AndroidLoadSMSThread() override;

    // The download run in the calling thread, for another worker that needs
    // the phone's cache up to date within its own run: progress goes to the
    // form given above; a failure or a cancel is raised (OperationCancelled)
    // after the cache has been left as it was.
    void downloadInCallingThread();

    // The cache folder the download writes.
    QString cacheFolder() const { return m_cacheFolder; }
    // After the run: messages announced by the agent (-1 unknown) and records received.
    int total() const { return m_total; }
    int received() const { return m_received; }

protected:
    void run() override;

private:
    // A parent_hash row: no child when nothing of the record was stored.
    struct NewChild
    {
        HashKey record;
        std::optional<HashKey> child;
    };

    // A record of a batch that waits to be stored; read (messages and key
    // made) when needed.
    struct DeferredRecord
    {
        QString argument;
        HashKey fingerprint;
        HashKey key;
        std::unique_ptr<RecordMessages> messages;
    };
    // In the order they came.
    using DeferredRecords = std::vector<DeferredRecord>;

    void download();
    void prepareBookkeeping(IOS6MessageDb &db);
    void receiveExchange();
    void receiveBatch();
    void receiveRecord(const QString &argument, DeferredRecords &deferred);
    std::unique_ptr<RecordMessages> readRecord(const QString &argument);
    void readDeferred(DeferredRecords &deferred);
    void storeDeferred(DeferredRecords &deferred);
    void storeRecordWithParts(const RecordMessages &record, const HashKey &key, int count);
    // The media and text/plain parts of a record; false when nothing was stored.
    bool receiveAttachments(const RecordMessages &record, const HashKey &key, int count);
    bool receiveAttachment(const RecordMessages &record, const HashKey &key, QSet<QString> &usedNames);
    // Data lines up to "." into `part` (dropped when null); the byte count.
    qint64 receivePartData(TemporaryPartFile *part, const QString &name);
    void writeChild(const _MsgMessage &message, const HashKey &recordKey);
    // The number in its international form for the phone's country.
    QString normalisedNumber(const QString &number);
    // Notes a parent_hash row (an empty child when nothing was stored).
    void rememberChild(const QString &child, const HashKey &recordKey);

    void storeNewChildren(IOS6MessageDb &db);
    // The parents of parent_hash and of this run; read at the first
    // question, which a download of an unchanged phone never asks.
    QSet<HashKey> &knownRecords();
    void pruneRecordsNotSeen(IOS6MessageDb &db);
    static bool anyRecordNotSeen(IOS6MessageDb &db);
    void vacuumWhenWorthIt(IOS6MessageDb &db);
    void abandon();

    // The next command; the wait for it notices a cancel.
    QString nextCommand();
    void sendBare(const QString &line);
    void reportRecordProgress();

    const AndroidDevice *m_device;
    ProgressReporter *m_form;
    QString m_cacheFolder;
    AgentSocket m_socket;
    int m_total = -1;
    int m_received = 0;
    ProgressPacer m_pacer;  // record and chunk reports, a few per second
    std::optional<QSet<HashKey>> m_knownRecords;  // parents in parent_hash, kept current once read
    SeenRecords m_seenRecords;     // valid_hash
    QList<NewChild> m_newChildren; // parent_hash rows of this run
    std::unique_ptr<ExportMessagesDb> m_writer;
    std::unique_ptr<CountryLibDb> m_countries;
    QHash<QString, QString> m_normalised;  // number as sent -> normalised
};
