// The main window's import of "SMS Backup & Restore" XML files into a local
// database.

#include "ui/MainWindow.h"

#include "country/CountrySelForm.h"
#include "import/ImportSmsBackupThread.h"
#include "ops/ProgressForm.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

void MainWindow::importSmsBackup()
{
    const QString title = tr("Choose an SMS Backup & Restore file");
    const QString filter = tr("SMS Backup & Restore files (*.xml);;All files (*)");
    const QString path = m_chooseOpenFile
        ? m_chooseOpenFile(title, filter)
        : QFileDialog::getOpenFileName(this, title, QDir::homePath(), filter);
    if (path.isEmpty())
        return;
    const QString name = chooseLocalDatabase(QFileInfo(path).completeBaseName());
    if (name.isEmpty())
        return;
    // The file's numbers are often national: they are completed as the
    // phone's own download would complete them, with the phone's country.
    CountrySelForm country(this);
    country.exec();
    const QString countryCode = country.selectedMobileCode();

    writeLocalDatabase(name, [&path, &countryCode](const QString &folder, ProgressForm &form) {
        return std::make_unique<ImportSmsBackupThread>(path, folder, countryCode, &form);
    });
}
