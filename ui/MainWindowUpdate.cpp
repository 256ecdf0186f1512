// The daily update check and the advertisement line of the status bar.

#include "ui/MainWindow.h"

#include "app/AppInfo.h"
#include "app/MessageBoxes.h"
#include "ui/UpdateCheck.h"

#include <QLabel>

void MainWindow::startUpdateCheck()
{
    m_updateCheck = new UpdateCheck(this);
    connect(m_updateCheck, &UpdateCheck::newVersionAvailable, this, &MainWindow::onNewVersionAvailable);
    connect(m_updateCheck, &UpdateCheck::advertisementChanged, this, &MainWindow::onAdvertisementChanged);
    m_updateCheck->start();
}

void MainWindow::onNewVersionAvailable(const QUrl &download)
{
    const QString question = tr("A new version of %1 is available. Would you like to download it now?")
                                 .arg(AppInfo::productTitle());
    if (!askQuestion(question))
        return;
    m_openUrl(download);
    close();  // the installer replaces this program
}

void MainWindow::onAdvertisementChanged(const QString &line)
{
    m_advLabel->setText(line);
}
