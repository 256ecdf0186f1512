#include "app/AppInfo.h"

#include <QCoreApplication>

namespace AppInfo {

QString productTitle()
{
    return QCoreApplication::translate("AppInfo", "Ferrywright Android SMS + MMS Transfer");
}

QString vendorHost()
{
    if (qEnvironmentVariableIsSet("FERRY_VENDOR_HOST"))
        return qEnvironmentVariable("FERRY_VENDOR_HOST").trimmed();
    return QStringLiteral(FERRY_VENDOR_HOST);
}

QString supportEmail()
{
    return QStringLiteral(FERRY_SUPPORT_EMAIL);
}

} // namespace AppInfo
