#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "app/LogFile.h"
#include "app/MessageBoxes.h"
#include "app/WebEngineProcess.h"
#include "store/Sqlite3DB.h"
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
    for (const QString &note : dataRootNotes())
        qWarning("%s", qUtf8Printable(note));

    const std::unique_ptr<MainWindow> window = showMainWindowAtStartup(MainWindow::Options());
    return app.exec();
}
