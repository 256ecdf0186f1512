#include "android/LocalException.h"

#include "android/SimpleProtocol.h"

namespace simpleprotocol {

namespace {

// Runs before the exception's own state exists, so a failed report replaces it.
std::string reportToAgent(QAbstractSocket &agent, const QString &message)
{
    sendCommand(agent, QStringLiteral("$error:"), encodeText(message), true, -1);
    return message.toUtf8().toStdString();
}

} // namespace

LocalException::LocalException(QAbstractSocket &agent, const QString &message)
    : std::runtime_error(reportToAgent(agent, message))
{
}

} // namespace simpleprotocol
