#pragma once

#include <QString>

#include <stdexcept>

// The exchange port leads, or may lead, somewhere else than to the phone being
// read: another program holds it or took it over. Reported as it is, without
// the advice about reinstalling the agent, which would not help.
class AgentPortClash : public std::runtime_error
{
public:
    explicit AgentPortClash(const QString &message);
};
