#pragma once

#include <QMetaType>
#include <QString>

// One line of the `adb devices` list: the serial and the state word adb printed.
struct AdbDevice
{
    QString line;   // the whole trimmed output line
    QString serial;
    QString state;  // "device", "offline", "unauthorized", ...

    // Ready for commands: state "device", any case.
    bool isOnline() const;
    // Attached but not usable yet: "offline" or "unauthorized", any case.
    bool isUnavailable() const;
};

Q_DECLARE_METATYPE(AdbDevice)

// Makes AdbDevice usable in queued signals under its plain name "AdbDevice".
void registerAdbDeviceMetaType();
