#pragma once

#include "android/AdbDevice.h"
#include "android/AndroidDevice.h"

#include <QList>

#include <QString>

struct CliContext;

// The command line's road to a phone, the one the window takes when a phone
// appears: connect (agent installed and started through adb, or over WiFi),
// make sure a mobile country code is known, download into the phone's cache.
class CliPhoneLink
{
public:
    explicit CliPhoneLink(CliContext &context) : m_context(context) {}

    // The phones adb lists, after starting its server as the window's device
    // monitor does: a list asked of a stopped server comes with the server's
    // start-up lines on standard error, which would count as a failure.
    static QList<AdbDevice> attachedDevices();

    AndroidDevice connectUsb(const QString &serial) const;
    // `host` may carry ":PORT" for a launcher on another port than the agent's.
    AndroidDevice connectWifi(const QString &host) const;
    // The only phone adb lists as ready; an error when there is none or more
    // than one.
    QString onlyAttachedSerial() const;

    // Raises std::runtime_error when `requested` is given but names no
    // country; checked before any phone is contacted.
    static void checkCountry(const QString &requested);
    // Sets the device's country code: `requested` when given, else the one
    // the phone reported. Raises std::runtime_error when neither is known.
    static void chooseCountry(AndroidDevice &device, const QString &requested);

    // Downloads the phone's messages into its cache folder (returned).
    QString download(const AndroidDevice &device) const;

    // connectUsb, chooseCountry, download: the cache of phone `serial`.
    AndroidDevice connectAndDownload(const QString &serial, const QString &requestedCountry) const;

private:
    CliContext &m_context;
};
