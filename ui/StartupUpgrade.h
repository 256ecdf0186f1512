#pragma once

#include "ui/MainWindow.h"

#include <memory>

class QWidget;

// Start-up step after the main window is shown: when a database of the older
// single-file format is found, converts every such database under a progress
// dialog that cannot be cancelled. Returns true when a conversion ran
// (successful or not): the window's tree was read before it and no longer
// shows what is on disk.
bool upgradeOldDatabasesAtStartup(QWidget *parent);

// The window at start-up: shown, then the conversion above under it; after a
// conversion a fresh window takes its place. A download offer that arrived
// during the conversion waited for it and passes to the fresh window.
std::unique_ptr<MainWindow> showMainWindowAtStartup(const MainWindow::Options &options);
