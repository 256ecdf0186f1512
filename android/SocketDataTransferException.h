#pragma once

#include <QString>

#include <stdexcept>

namespace simpleprotocol {

// A read or write on the agent connection could not complete: time-out, closed
// connection, socket error, or an empty line where a command was due.
class SocketDataTransferException : public std::runtime_error
{
public:
    explicit SocketDataTransferException(const QString &message);
};

} // namespace simpleprotocol
