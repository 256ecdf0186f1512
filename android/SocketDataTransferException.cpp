#include "android/SocketDataTransferException.h"

namespace simpleprotocol {

SocketDataTransferException::SocketDataTransferException(const QString &message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

} // namespace simpleprotocol
