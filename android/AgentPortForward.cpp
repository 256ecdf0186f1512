#include "android/AgentPortForward.h"

#include "android/AdbClient.h"
#include "android/AgentPortClash.h"

#include <QHash>
#include <QHostAddress>
#include <QTcpSocket>

#include <stdexcept>

namespace {

// How many ports after the first choice are tried before giving up.
const int PortsTried = 100;
const int HighestPort = 65535;

bool portTaken(const QHash<int, QString> &forwards, int port)
{
    return forwards.contains(port) || loopbackPortInUse(port);
}

} // namespace

bool loopbackPortInUse(int port)
{
    // Binding without listening: a program connecting meanwhile is not
    // answered by this probe. Exclusively: on Windows a shared bind would
    // succeed over another program's listener.
    QTcpSocket probe;
    return !probe.bind(QHostAddress(QHostAddress::LocalHost), quint16(port), QAbstractSocket::DontShareAddress);
}

int forwardFreeAgentPort(const AdbClient &adb, const QString &serial, int firstChoice)
{
    const int lastTried = qMin(firstChoice + PortsTried - 1, HighestPort);
    const QHash<int, QString> forwards = adb.tcpForwards();
    for (int port = firstChoice; port <= lastTried; ++port) {
        if (portTaken(forwards, port))
            continue;
        try {
            adb.forward(serial, port, port, AdbClient::Rebind::Refused);
            return port;
        } catch (const std::runtime_error &error) {
            // "cannot rebind existing socket", "cannot bind listener: ...": the
            // port was taken since the look, the next one will do. Any other
            // failure (the phone is gone, ...) is adb's own.
            if (!QString::fromUtf8(error.what()).contains(QLatin1String("bind")))
                throw;
        }
    }
    throw AgentPortClash(QStringLiteral("Ports %1 to %2 for the phone's agent are all in use by another program.")
                             .arg(firstChoice)
                             .arg(lastTried));
}

void requireForwardedTo(const AdbClient &adb, const QString &serial, int port)
{
    const QString holder = adb.tcpForwards().value(port);
    if (holder == serial)
        return;
    const QString now = holder.isEmpty() ? QStringLiteral("it is no longer forwarded")
                                         : QStringLiteral("it now leads to phone %1").arg(holder);
    throw AgentPortClash(QStringLiteral("Port %1 for phone %2 was taken over by another program (%3); nothing was "
                                        "read from it. Please try again.")
                             .arg(port)
                             .arg(serial, now));
}
