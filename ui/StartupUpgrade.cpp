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
