// The main window's import of messages from other programs' files ("SMS
// Backup & Restore" XML files, iPhone backup folders, "SMS Import/Export" ZIP
// archives) into a local database.

#include "ui/MainWindow.h"

#include "country/CountrySelForm.h"
#include "import/ImportSourceKind.h"
#include "import/MessageImportThread.h"
#include "ops/ProgressForm.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

void MainWindow::importSmsBackup()
{
    importFile(tr("Choose an SMS Backup & Restore file"), tr("SMS Backup & Restore files (*.xml);;All files (*)"),
               ImportSourceKind::SmsBackupXml);
}

void MainWindow::importArchive()
{
    importFile(tr("Choose an SMS Import/Export archive"), tr("SMS Import/Export archives (*.zip);;All files (*)"),
               ImportSourceKind::ArchiveZip);
}

void MainWindow::importFile(const QString &title, const QString &filter, ImportSourceKind::Kind kind)
{
    const QString path = m_chooseOpenFile
        ? m_chooseOpenFile(title, filter)
        : QFileDialog::getOpenFileName(this, title, QDir::homePath(), filter);
    if (!path.isEmpty())
        importMessages(path, kind);
}

void MainWindow::importIPhoneBackup()
{
    const QString title = tr("Choose the folder of an iPhone backup");
    const QString path = m_chooseFolder(title, QDir::homePath());
    if (!path.isEmpty())
        importMessages(path, ImportSourceKind::IPhoneBackup);
}

void MainWindow::importMessages(const QString &path, ImportSourceKind::Kind kind)
{
    const QString name = chooseLocalDatabase(QFileInfo(path).completeBaseName());
    if (name.isEmpty())
        return;
    // The numbers are often national: they are completed as the phone's own
    // download would complete them, with the phone's country.
    CountrySelForm country(this);
    country.exec();
    const QString countryCode = country.selectedMobileCode();

    writeLocalDatabase(name, [&path, kind, &countryCode](const QString &folder, ProgressForm &form) {
        return ImportSourceKind::makeWorker(kind, path, folder, countryCode, &form);
    });
}
