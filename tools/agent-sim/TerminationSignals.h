#pragma once

class QCoreApplication;

// Turns SIGTERM, SIGINT and SIGHUP into a normal quit of the event loop, so
// the simulator can unplug itself from the stand-in adb before it ends.
void quitOnTerminationSignals(QCoreApplication &app);

// True while the process `pid` exists.
bool processIsAlive(long long pid);
