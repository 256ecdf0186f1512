#pragma once

#include "android/AdbDevice.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// Parsing of the few adb outputs the program relies on. Kept apart from the
// process handling so the rules can be checked on literal text.

// Text of a child's output stream, cut at the first zero byte.
QString decodeAdbText(const QByteArray &bytes);

// Devices after the "List of devices attached" header, in output order. A
// serial ends at the first character that is not a letter, digit, "-" or "_".
QList<AdbDevice> parseDeviceList(const QString &output);

// Names from the "package:" lines of `pm -l`; every other line is ignored.
QSet<QString> parsePackageList(const QString &output);

// The TCP forwards of `adb forward --list` ("SERIAL tcp:LOCAL tcp:REMOTE"
// lines): local port -> serial. Other lines and other kinds of forward are
// ignored.
QHash<int, QString> parseTcpForwards(const QString &output);

// True when a trimmed line equals "Success", any case (install, uninstall).
bool hasSuccessLine(const QString &output);

// True when a trimmed line begins with "error:", any case (activity manager).
bool hasErrorLine(const QString &output);
