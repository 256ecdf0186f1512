#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "app/LogFile.h"
#include "app/MessageBoxes.h"
#include "app/WebEngineProcess.h"
#include "store/Sqlite3DB.h"
#include "ui/MainWindow.h"
#include "ui/StartupUpgrade.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    prepareWebEngineProcess(false);
    QApplication app(argc, argv);

    KeyTranslator translator;
    translator.load(QStringLiteral(":/en.qm"), QString(), QString(), QString());
    QApplication::installTranslator(&translator);

    if (sqlite_qt_version() != 5) {
        reportError(QStringLiteral("invalid libsqlite_qt."));
        return 1;
    }

    startLog(dataRootDir().absoluteFilePath(QStringLiteral("qlogs")), 10);

    auto window = std::make_unique<MainWindow>();
    window->show();
    if (upgradeOldDatabasesAtStartup(window.get())) {
        // The window read its databases before the conversion: a new one
        // shows them as they are now.
        window.reset();
        window = std::make_unique<MainWindow>();
        window->show();
    }
    return app.exec();
}
