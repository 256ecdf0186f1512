#pragma once

#include <QString>

#include <memory>

class ProgressReporter;
class QAbstractSocket;
class QTcpSocket;
struct AndroidDevice;

// Reaching the phone-side agent for one exchange (device information,
// download, upload), over USB through adb or over WiFi directly.

// Waits used while connecting. The defaults are the program's; tests shorten
// them with setAgentTimings.
struct AgentTimings
{
    int connectTimeoutMs = 10000;    // what the workers pass to connectAgent
    int attemptTimeoutMs = 5000;     // USB: one connect, one wait for "$ready:"
    int retryPauseMs = 100;          // USB: pause after an attempt that failed at once
    int launcherTimeoutMs = 10000;   // WiFi: connecting to the launcher
    int postInstallSleepMs = 5000;   // USB: letting a fresh agent settle
};

AgentTimings agentTimings();
void setAgentTimings(const AgentTimings &timings);

// Disconnects, then deletes: an exchange's connection is closed on every road.
// Over USB it then removes the exchange's adb forward, so that forwards do
// not pile up in the adb server.
struct AgentSocketCloser
{
    QString forwardSerial;
    int forwardedPort = 0;  // 0: nothing forwarded

    void operator()(QTcpSocket *socket) const;
};
using AgentSocket = std::unique_ptr<QTcpSocket, AgentSocketCloser>;

// A start URL for an exchange port: simpleprotocol::deviceInfoUrl, downloadUrl
// or uploadUrl.
using AgentUrlPattern = QString (*)(int port);

// An open connection positioned after the agent's "$ready:". The port rule
// (simpleprotocol::nextAgentPort) gives the first choice. Over USB the first
// free port from there is forwarded (see forwardFreeAgentPort), the agent
// started by broadcast, connecting retried until `timeoutMs` has passed
// ("start <url> failed."), and the forward checked to lead still to this
// phone (AgentPortClash). Over WiFi the launcher at device.host:device.port
// is asked to start the exchange ("can not connect <host>:<port>.", "start
// <url> failed.<reason>", "connec <url> failed."). Raises std::runtime_error
// or the protocol's exceptions.
AgentSocket connectAgent(const AndroidDevice &device, AgentUrlPattern urlFor, int timeoutMs);

// The port of a start URL such as "device2://127.0.0.1:43005"; raises
// std::runtime_error when the url names none.
int agentUrlPort(const QString &url);

// The device-information exchange: "$hello:" read into the record, "$bye:"
// answered, the connection released. A cancel through `form` (may be null)
// ends the wait for "$hello:" with OperationCancelled.
void exchangeDeviceInformation(AndroidDevice &device, const ProgressReporter *form);

// Waits without limit until a whole line (or a full read buffer) is waiting,
// looking at the cancel flag of `form` every fraction of a second: throws
// OperationCancelled when the user has cancelled. A closed connection ends
// the wait; the read that follows reports it.
void waitForLineUnlessCancelled(QAbstractSocket &socket, const ProgressReporter *form);

// Waits without limit until everything written has left, with the same
// attention to a cancel; raises SocketDataTransferException when the
// connection fails.
void waitUntilSentUnlessCancelled(QAbstractSocket &socket, const ProgressReporter *form);
