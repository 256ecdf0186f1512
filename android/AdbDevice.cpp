#include "android/AdbDevice.h"

bool AdbDevice::isOnline() const
{
    return state.compare(QLatin1String("device"), Qt::CaseInsensitive) == 0;
}

bool AdbDevice::isUnavailable() const
{
    return state.compare(QLatin1String("offline"), Qt::CaseInsensitive) == 0
        || state.compare(QLatin1String("unauthorized"), Qt::CaseInsensitive) == 0;
}

void registerAdbDeviceMetaType()
{
    qRegisterMetaType<AdbDevice>("AdbDevice");
}
