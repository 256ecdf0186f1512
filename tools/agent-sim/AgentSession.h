#pragma once

#include "LineChannel.h"
#include "SimMessage.h"
#include "SimOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

class PhoneStore;
class QTcpSocket;
class SimCounters;
struct SimPart;

// One exchange played from the phone's side on an accepted connection, chosen
// by the start URL's scheme: "device2" (identity), "backup2" (the phone sends
// its messages) or "restore2" (the phone receives messages).
class AgentSession
{
public:
    enum class Kind { DeviceInfo, Download, Upload };

    AgentSession(Kind kind, PhoneStore &store, const ServeOptions &options, SimCounters &counters);

    // Runs the exchange to its end; returns false with `failure` set when it
    // ended early (peer gone, "$error:", protocol violation, injected fault).
    bool run(QTcpSocket &socket, QString &failure);

    static bool kindFromScheme(const QString &scheme, Kind &kind);

private:
    void play();
    void sendDeviceInfo();
    void sendMessages();
    void sendRecord(const SimMessage &message);
    void sendPart(const SimPart &part);
    // The messages of an upload batch until it is stored; the part files
    // they brought are removed unless keep() was called.
    struct PendingBatch
    {
        explicit PendingBatch(PhoneStore &store);
        ~PendingBatch();
        PendingBatch(const PendingBatch &) = delete;
        PendingBatch &operator=(const PendingBatch &) = delete;
        void keep();
        // A record lost on purpose: its part files, from `firstPart` on, go.
        void forget(qsizetype firstPart);

        QList<SimMessage> messages;
        QStringList partFiles;

    private:
        PhoneStore &m_store;
    };

    void receiveMessages();
    void receiveBatch();
    SimMessage receiveRecord(const QByteArray &record, PendingBatch &batch);
    SimPart receivePart();
    void checkUploadFaults();

    void sendCommand(const char *word, const QByteArray &argument = QByteArray(), bool flush = true);
    QByteArray readCommand();
    void expectCommand(const QByteArray &word);
    [[noreturn]] void rejectPeer(const QString &reason);
    void checkErrorFault();

    Kind m_kind;
    PhoneStore &m_store;
    const ServeOptions &m_options;
    SimCounters &m_counters;
    LineChannel *m_channel = nullptr;
    qint64 m_recordsThisExchange = 0;
    bool m_malformedRecordPending = false;
    bool m_malformedAttaPending = false;
    bool m_dropInAttachmentPending = false;
};
