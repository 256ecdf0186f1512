#pragma once

#include <QString>

#include <stdexcept>

namespace simpleprotocol {

// The agent reported a failure of its own with "$error:"; the message is the
// agent's decoded text.
class RemoteException : public std::runtime_error
{
public:
    explicit RemoteException(const QString &message);
};

} // namespace simpleprotocol
