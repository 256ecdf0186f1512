#pragma once

class QWidget;

// Start-up step after the main window is shown: when a database of the older
// single-file format is found, converts every such database under a progress
// dialog that cannot be cancelled. Returns true when a conversion ran
// (successful or not): the window's tree was read before it and no longer
// shows what is on disk.
bool upgradeOldDatabasesAtStartup(QWidget *parent);
