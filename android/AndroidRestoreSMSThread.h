#pragma once

#include "android/AgentConnection.h"
#include "android/AndroidDevice.h"
#include "android/PicturePrefetcher.h"
#include "work/WorkerNotify.h"
#include "store/MsgMessageList.h"
#include "store/MessageSequence.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

class CountryLibDb;
class ExportMessagesDb;
class IOS6MessageDb;
class MessageChunkReader;
class QFile;
class _MsgAttachment;

// Sends messages (of another phone or of a local database) to a phone's agent,
// which writes them into the phone's message store, and records every message
// the phone has taken in the phone's cache database, so the same message is
// never sent to that phone twice. They are recorded in the form the phone's
// next download gives them (UploadedRecord), so that download finds them
// known and adds nothing.
//
// Messages travel in batches; the agent acknowledges a batch once it has
// stored it. A batch is written to the cache only after that acknowledgement
// (committed about once a second and on every way out of the run), so
// whatever ends a transfer early (cancel, lost connection, an agent "$error:")
// leaves the cache recording what the phone holds.
//
// That record is not the only guard: the run begins with an incremental
// download of the phone into its cache, so what counts as already there is
// what the phone holds (after a killed run, a cleared cache, a transfer from
// another computer), and ends with another one, which proves every message
// is on the phone or names those that are not.
//
// The messages are gone through a chunk at a time, three times (what is on
// the phone already, the sending, the check), and what the phone holds is
// asked of the cache record by record, so all of a large database travels
// with flat memory. A chunk never parts one date's messages, so the parts of
// a multimedia message and copies of one message are always judged together.
class AndroidRestoreSMSThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int BatchSize = 100;
    static constexpr int ChunkBytes = 524288;
    // How many of the messages missing after a transfer are named.
    static constexpr int MissingListed = 1000;

    // A message the check after sending did not find on the phone.
    struct MissingMessage
    {
        qint32 date = 0;
        bool fromMe = false;
        QString number;
        QString text;  // without attachment marks
        QString subject;
        int attachments = 0;
    };

    // Sends the ordinary messages that have a handle, in display order; the
    // others are counted as skipped. The messages must stay alive until the
    // thread has ended; `form` is owned by the caller.
    AndroidRestoreSMSThread(const AndroidDevice &target, const MsgMessageList &messages, ProgressReporter *form,
                            QObject *parent = nullptr);
    // Every message of a database, which `source` reads a chunk at a time.
    AndroidRestoreSMSThread(const AndroidDevice &target, std::unique_ptr<MessageChunkReader> source,
                            ProgressReporter *form, QObject *parent = nullptr);
    ~AndroidRestoreSMSThread() override;

    // After the run: messages that can travel, and those that cannot (group
    // events, messages without a handle).
    int keptCount() const { return m_kept; }
    int skippedCount() const { return m_skipped; }
    // After the run: kept messages the cache already recorded as sent, and
    // messages the phone acknowledged in this run.
    int alreadySentCount() const { return m_alreadySent; }
    int deliveredCount() const { return m_delivered; }
    // After a successful run: whether a fresh download of the phone was
    // compared with the kept messages, how many of them it lacks, and the
    // first MissingListed of those.
    bool checked() const { return m_checked; }
    int missingCount() const { return m_missingCount; }
    const QList<MissingMessage> &missingMessages() const { return m_missing; }
    // The result: counts, the check's summary and the hints; rich text.
    const QString &resultText() const { return m_resultText; }
    // One line naming a message for a list: time, number, start of its text.
    static QString describe(const MissingMessage &message);
    static MissingMessage missingMessage(const _MsgMessage &message);

    // The "$sms:" argument: time in ms since 1970, direction, then Base64 of
    // number, text without attachment marks and subject, and the number of
    // attachments (`attachments`, or the message's own).
    static QString uploadRecord(const _MsgMessage &message, int attachments = -1);
    // The messages in records: the parts of one multimedia message, stored
    // here as media-only messages of the same sender, time and subject next
    // to each other, travel together again. Apart, the phone would hold
    // several messages that differ only in their pictures, which its next
    // download takes for one.
    static QList<MsgMessageList> uploadRecords(const MsgMessageList &messages);
    // The "$atta:" argument: type and file name, with line breaks removed so
    // stored names can never start a protocol line of their own.
    static QString attachmentHeader(const _MsgAttachment &attachment);

protected:
    void run() override;

private:
    void upload();
    // The second argument: the phone record a download shows the message
    // under; empty for a message no download shows.
    using RecordedVisitor = std::function<void(const _MsgMessage &, const QString &)>;

    // An incremental download of the target into its cache.
    void refreshCache();
    // After sending: downloads again and notes the kept messages it lacks.
    void checkPhone();
    void noteMissing(const MsgMessageList &chunk);
    // Counts what travels, what cannot and what the phone holds already.
    void survey();
    void sendChunk(const MsgMessageList &chunk);
    // A pass of the survey or the check, its progress shown; cancel-aware.
    void forEachChunkReported(const MessageSequence::ChunkVisit &visit);
    // The messages of a chunk that can travel; the others are counted as
    // skipped when `countSkipped`.
    MsgMessageList transferable(const MsgMessageList &chunk, bool countSkipped);
    // Those messages, each content once, in the records they travel in.
    static QList<MsgMessageList> recordsOf(const MsgMessageList &transferable);
    void askForDefaultApp();
    void sendBatch(const QList<MsgMessageList> &records);
    void sendRecord(const MsgMessageList &record);
    // After a cancel: whether the phone still confirms the batch just closed.
    bool acknowledgedDespiteCancel();
    void sendAttachment(const _MsgAttachment &attachment);
    bool sendPicture(const _MsgAttachment &attachment);
    void streamFile(const _MsgAttachment &attachment);
    // Records what the phone acknowledged as the phone's download will see it.
    void recordDelivered(const QList<MsgMessageList> &records);
    void fileUnderRecord(const QString &messageHash, const QString &recordHash);
    void commitRecorded();
    // The number as the phone's download normalises it.
    QString phoneAddress(const _MsgMessage &message);
    // Visits the messages under which a delivered record is recorded: the
    // phone's next download's form of it, plus as they are the messages of
    // which that download keeps nothing.
    void forEachRecordedMessage(const MsgMessageList &record, const RecordedVisitor &visit);
    bool showsNothingInDownload(_MsgMessage *message);
    // Whether the cache, brought up to date, shows the whole record.
    bool isOnPhone(const MsgMessageList &record);
    // A message the download made of a phone record, and one this program
    // recorded itself (also those it sent).
    bool isDownloaded(const QString &hash);
    bool isRecorded(const QString &hash);
    // Frees the cache's connection for the downloads.
    void closeCache();
    void reportMessageProgress();
    void release();

    QString successText() const;
    QString checkSummary() const;
    QString failureText(const QString &error) const;

    // Line output; `flush` waits (cancel-aware) until the bytes have left.
    void sendLine(const QString &word, const QString &argument, bool flush);
    void sendData(const QByteArray &base64, bool flush);
    // The next command, which must begin with `word`; waits cancel-aware.
    QString expectReply(const QString &word);
    // A send failed: an "$error:" the agent sent before hanging up explains
    // it better than the socket's error text.
    [[noreturn]] void rethrowWithAgentReason();

    AndroidDevice m_target;
    std::unique_ptr<MessageSequence> m_source;  // date order
    ProgressReporter *m_form;
    std::unique_ptr<ExportMessagesDb> m_writer;
    std::unique_ptr<CountryLibDb> m_countries;
    QHash<QString, QString> m_addresses;  // number -> normalised
    AgentSocket m_socket;
    QByteArray m_chunk;
    PicturePrefetcher m_pictures;
    ProgressPacer m_pacer;
    qsizetype m_progressDone = 0;
    qsizetype m_progressTotal = 0;
    qint64 m_sourceCount = 0;  // messages a pass reads, counted once by the survey
    int m_kept = 0;
    int m_skipped = 0;
    int m_alreadySent = 0;
    int m_delivered = 0;
    int m_missingCount = 0;
    QList<MissingMessage> m_missing;
    QString m_checkError;
    QString m_resultText;
    bool m_checked = false;
    bool m_defaultAppSwitched = false;
    bool m_recording = false;  // a transaction of confirmed batches is open
    QElapsedTimer m_commitClock;
};
