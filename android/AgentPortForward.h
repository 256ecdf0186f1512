#pragma once

#include <QString>

class AdbClient;

// The local end of an exchange over USB: a loopback port that adb forwards to
// the same port on the phone. Several programs (the window, ferrywright-cli,
// a second run of either) may start exchanges in the same second, and the
// port rule gives them the same first choice; taking a port another program
// uses would hand one of them the other's phone.

// Forwards the first port from `firstChoice` on that nothing on this machine
// listens on and adb does not forward yet, and returns it. The forward refuses
// to re-point a port, so of two programs that found the same port free only
// one gets it; the other steps on. Raises AgentPortClash when every port of the
// range is taken, std::runtime_error when adb fails for another reason.
int forwardFreeAgentPort(const AdbClient &adb, const QString &serial, int firstChoice);

// Raises AgentPortClash unless adb still forwards `port` to the phone `serial`:
// another adb client may have re-pointed it to its own phone meanwhile.
void requireForwardedTo(const AdbClient &adb, const QString &serial, int port);

// True when a socket on 127.0.0.1 holds `port` (binding it fails).
bool loopbackPortInUse(int port);
