#pragma once

#include "android/AgentConnection.h"
#include "ops/WorkerNotify.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QThread>

#include <memory>

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
// it (child); valid_hash lists the record hashes seen by the current download.
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

    // The cache folder the download writes.
    QString cacheFolder() const { return m_cacheFolder; }
    // After the run: messages announced by the agent (-1 unknown) and records received.
    int total() const { return m_total; }
    int received() const { return m_received; }

protected:
    void run() override;

private:
    void download();
    void prepareBookkeeping(IOS6MessageDb &db);
    void receiveExchange();
    void receiveBatch();
    void processRecord(const QString &argument);
    // The media and text/plain parts of a record; false when nothing was stored.
    bool receiveAttachments(const RecordMessages &record, int count);
    bool receiveAttachment(const RecordMessages &record, QSet<QString> &usedNames);
    // Data lines up to "." into `part` (dropped when null); the byte count.
    qint64 receivePartData(TemporaryPartFile *part, const QString &name);
    void writeChild(const _MsgMessage &message, const QString &recordHash);
    // Notes a parent_hash row (an empty child when nothing was stored).
    void rememberChild(const QByteArray &childKey, const QByteArray &recordKey);
    void storeNewChildren(IOS6MessageDb &db);
    void storeSeenRecords(IOS6MessageDb &db);
    void pruneRecordsNotSeen(IOS6MessageDb &db);
    void vacuumWhenWorthIt(IOS6MessageDb &db);
    // A record hash (32 hex digits) as its 16 bytes, the key of the sets below.
    static QByteArray hashKey(const QString &hash);
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
    QSet<QByteArray> m_knownRecords;  // parents in parent_hash, kept current
    QSet<QByteArray> m_seenRecords;   // what goes into valid_hash
    QList<QPair<QByteArray, QByteArray>> m_newChildren;  // (record, child) for parent_hash
    std::unique_ptr<ExportMessagesDb> m_writer;
    std::unique_ptr<CountryLibDb> m_countries;
};
