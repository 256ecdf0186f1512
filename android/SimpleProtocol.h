#pragma once

#include "android/LocalException.h"
#include "android/RemoteException.h"
#include "android/SocketDataTransferException.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QAbstractSocket;

// The line protocol spoken with the phone-side agent. Every function blocks the
// calling worker thread on a socket that has no event loop; a time-out of -1
// waits without limit. Lines end with a line feed; a carriage return is dropped
// wherever it appears; received bytes are read as Latin-1 (everything that is
// not ASCII travels in Base64) and sent lines are UTF-8.
namespace simpleprotocol {

// The port of the agent's exchange launcher when the phone is reached over WiFi.
constexpr int WifiLauncherPort = 44441;

// The next line without its terminator. Raises SocketDataTransferException when
// no data comes within the time-out or the connection ends.
QString readLine(QAbstractSocket &socket, int timeout);

// The next line as a command: an empty line raises SocketDataTransferException
// "Null command.", "$error:" raises RemoteException with the agent's text.
QString readCommand(QAbstractSocket &socket, int timeout);

// The next command, which must begin with `prefix`; otherwise the agent is told
// and LocalException "invalid feedback [line], must be [prefix]" is thrown.
QString expectCommand(QAbstractSocket &socket, const QString &prefix, int timeout);

// Writes word + argument + line feed, UTF-8.
void sendCommand(QAbstractSocket &socket, const QString &word, const QString &argument,
                 bool flush, int timeout);

// Hands the whole block to the socket; with `flush` it waits until the bytes
// have left for the peer.
void writeAll(QAbstractSocket &socket, const QByteArray &data, bool flush, int timeout);

// The port for the next exchange: (minute % 4 + 1) * 10000 + second * 100 + n,
// n counting 1..99 through the process. Lies between 10001 and 45999.
int nextAgentPort();

// The rule behind nextAgentPort for a given clock and counter; advances counter.
int agentPortFor(int minute, int second, int &counter);

// Replaces the port rule, e.g. so tests use free loopback ports; an empty
// function restores the rule.
void setAgentPortSource(std::function<int()> source);

// Start URLs of the three exchanges.
QString deviceInfoUrl(int port);
QString downloadUrl(int port);
QString uploadUrl(int port);

// Text fields travel as Base64 of their UTF-8 bytes.
QString encodeText(const QString &text);
QString decodeText(const QString &base64);

} // namespace simpleprotocol
