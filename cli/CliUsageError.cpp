#include "cli/CliUsageError.h"

CliUsageError::CliUsageError(const QString &message, const QString &command)
    : std::runtime_error(message.toStdString())
    , m_command(command)
{
}
