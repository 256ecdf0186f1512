#include "android/RemoteException.h"

namespace simpleprotocol {

RemoteException::RemoteException(const QString &message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

} // namespace simpleprotocol
