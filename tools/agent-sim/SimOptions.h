#pragma once

#include <QMap>
#include <QSet>
#include <QString>

// Deliberate misbehaviour, each off by default.
struct FaultOptions
{
    QString refuseReason;          // launcher answers "0" + Base64 of this
    int dropAfterRecords = -1;     // cut the link after N records sent (download) or received (upload)
    bool dropInAttachment = false; // download: cut the link inside the first attachment
    QString errorText;             // send "$error:" with this text ...
    int errorAfterRecords = -1;    // ... after N records sent or received (-1: right after "$ready:")
    bool refuseDefaultApp = false; // upload: the user declines making the agent the default SMS app
    bool malformedRecord = false;  // download: first record has only five fields
    bool malformedAtta = false;    // download: first "$atta:" header has no file name
    int slowMs = 0;                // pause before every line sent
    int slowReadMs = 0;            // pause before every line read, with small receive buffers
    QSet<qint64> loseReceived;     // upload: records (1 = first of the exchange) acknowledged, never stored
    int readyDelayMs = 0;          // pause before "$ready:"
};

// How the simulated phone runs.
struct ServeOptions
{
    QString storeFolder;
    int launcherPort = 44441;      // 0: any free port
    QString statusFile;
    QMap<QString, QString> infoOverrides; // replaces keys of the store's identity
    int defaultSmsAppFlag = 0;     // the flag of "$defsmsapp:"
    int batchSize = 100;
    int chunkSize = 32768;         // attachment bytes per data line
    int readTimeoutMs = 300000;
    int idleTimeoutSec = 1800;     // 0: never
    qint64 parentPid = 0;          // stop when this process is gone
    QString adbStateFile;          // register as a phone of the stand-in adb
    QString serial;
    QString adbDeviceState = QStringLiteral("device");
    bool agentInstalled = true;
    FaultOptions faults;
};
