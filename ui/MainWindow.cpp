#include "ui/MainWindow.h"

#include "app/AppInfo.h"
#include "app/StyleSheet.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(AppInfo::productTitle());
    setStyleSheet(appStyleSheet());
    resize(1000, 680);
}
