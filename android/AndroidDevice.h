#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// A connected phone: how it is reached and what its agent reported about it.
// Copied by value (the argument of the main window's androidDeviceLoad).
struct AndroidDevice
{
    QString label;           // not filled by the connection (empty for phones)
    QString serial;          // USB serial from the adb device list (USB only)
    QString uid;             // the agent's "uid"; the folder path for a folder-only device
    bool viaWifi = false;
    QString host;            // WiFi only: the phone's address as typed
    int port = 0;            // WiFi only: the agent's launcher port
    int version = 0;         // agent version code
    QString model;           // for a folder-only device, the folder name
    QString manufacturer;
    QString imei;
    QString sdk;
    int sdkId = 0;
    bool root = false;
    QString storage1;
    QString mmc;             // mobile country code, for number normalisation
    QDateTime stamp;         // not set by the connection

    // Manufacturer, then " " and the model when there is one, trimmed.
    QString displayName() const;
    // uid over WiFi, the serial over USB.
    QString deviceKey() const;
    // R/android_cache/<imei>, created with its parents when missing. The
    // phone's text never leads outside android_cache: separators, control
    // characters and others not allowed in file names are dropped, a long
    // name is shortened, and a name that is empty or only dots falls back to
    // the uid, then to "unknown".
    QString cacheFolder() const;

    // Reads the agent's "key=value;key=value" text into the identity fields
    // (version, model, manufacturer, imei, uid, sdk, sdk_id, root, storage1,
    // mmc). Other keys are ignored; a later duplicate wins; nothing is trimmed.
    void applyInfoText(const QString &text);
};

Q_DECLARE_METATYPE(AndroidDevice)

// Makes AndroidDevice usable in queued signals under the name "AndroidDevice".
void registerAndroidDeviceMetaType();
