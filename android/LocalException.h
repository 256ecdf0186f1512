#pragma once

#include <QString>

#include <stdexcept>

class QAbstractSocket;

namespace simpleprotocol {

// The desktop rejects what the agent sent. Constructing one first tells the
// agent with "$error:" so it stops too; if that report cannot be sent, the
// transfer error propagates instead of this exception.
class LocalException : public std::runtime_error
{
public:
    LocalException(QAbstractSocket &agent, const QString &message);
};

} // namespace simpleprotocol
