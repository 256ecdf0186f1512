#include "ui/StartupUpgrade.h"

#include "ops/ProgressForm.h"
#include "import/UpdateLocalDbThread.h"

bool upgradeOldDatabasesAtStartup(QWidget *parent)
{
    if (!UpdateLocalDbThread::hasOldDatabase())
        return false;
    ProgressForm form(QString(), parent);
    form.setCancelEnabled(false);
    UpdateLocalDbThread worker(&form);
    form.runWorker(worker);
    return true;
}

std::unique_ptr<MainWindow> showMainWindowAtStartup(const MainWindow::Options &options)
{
    auto window = std::make_unique<MainWindow>(options);
    window->show();
    // The conversion's dialog ends before this window is replaced: an offer
    // asked in between would close a window that is about to go anyway.
    window->setDownloadOfferHeld(true);
    if (!upgradeOldDatabasesAtStartup(window.get())) {
        window->setDownloadOfferHeld(false);
        return window;
    }
    // The window read its databases before the conversion: a new one shows
    // them as they are now.
    const QUrl offer = window->waitingDownloadOffer();
    window.reset();
    window = std::make_unique<MainWindow>(options);
    window->show();
    if (!offer.isEmpty())
        window->onNewVersionAvailable(offer);
    return window;
}
