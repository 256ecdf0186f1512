#pragma once

#include "LineChannel.h"
#include "SimOptions.h"

#include <QString>

class PhoneStore;
class QTcpSocket;
class SimCounters;
struct SimMessage;
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
    void receiveMessages();
    void receiveBatch();
    void receiveRecord(const QByteArray &record);
    SimPart receivePart();

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
