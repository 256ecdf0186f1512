#include "android/AgentPortClash.h"

AgentPortClash::AgentPortClash(const QString &message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}
