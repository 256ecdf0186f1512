// The daily update check and the advertisement line of the status bar.

#include "ui/MainWindow.h"

#include "app/AppInfo.h"
#include "app/MessageBoxes.h"
#include "app/RichText.h"
#include "ui/UpdateCheck.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <utility>

namespace {

// How often a waiting download offer looks again whether the window is free.
constexpr int kOfferRetryMs = 500;

} // namespace

void MainWindow::startUpdateCheck()
{
    m_offerTimer = new QTimer(this);
    m_offerTimer->setSingleShot(true);
    connect(m_offerTimer, &QTimer::timeout, this, &MainWindow::offerDownloadWhenIdle);
    m_updateCheck = new UpdateCheck(this);
    connect(m_updateCheck, &UpdateCheck::newVersionAvailable, this, &MainWindow::onNewVersionAvailable);
    connect(m_updateCheck, &UpdateCheck::advertisementChanged, this, &MainWindow::onAdvertisementChanged);
    m_updateCheck->start();
}

void MainWindow::onNewVersionAvailable(const QUrl &download)
{
    m_offeredDownload = download;
    // Asked from the event loop, never from inside the slot that delivered
    // the answer: that may run before the application's loop has started.
    m_offerTimer->start(0);
}

void MainWindow::setDownloadOfferHeld(bool held)
{
    m_offerHeld = held;
    if (!held && !m_offeredDownload.isEmpty())
        m_offerTimer->start(0);
}

void MainWindow::offerDownloadWhenIdle()
{
    if (m_offeredDownload.isEmpty() || m_offerHeld)
        return;
    // A dialog is open over the window: an operation, a chooser or a box,
    // each running its own event loop. Closing now would end those loops
    // under a running worker thread; ask once they are all gone.
    if (QApplication::activeModalWidget()) {
        m_offerTimer->start(kOfferRetryMs);
        return;
    }
    const QUrl download = std::exchange(m_offeredDownload, QUrl());
    const QString question = tr("A new version of %1 is available from %2. Would you like to download it now?")
                                 .arg(AppInfo::productTitle(), richTextFromPlain(download.host()));
    if (!askQuestion(question))
        return;
    m_openUrl(download);
    close();  // the installer replaces this program
}

void MainWindow::onAdvertisementChanged(const QString &line)
{
    m_advLabel->setText(line);
}
