#include "import/UpdateLocalDbThread.h"

#include "app/AppFolders.h"
#include "import/OldDbConverter.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace {

QStringList subFolders(const QDir &parent)
{
    QStringList folders;
    if (!parent.exists())
        return folders;
    for (const QString &name : parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        folders.append(parent.absoluteFilePath(name));
    return folders;
}

bool holdsOldDatabase(const QString &folder)
{
    return QFileInfo(QDir(folder).filePath(QStringLiteral("mms.db"))).isFile();
}

} // namespace

UpdateLocalDbThread::UpdateLocalDbThread(ProgressReporter *form, QObject *parent)
    : QThread(parent)
    , m_form(form)
{
}

QStringList UpdateLocalDbThread::oldDatabaseFolders()
{
    QStringList folders = subFolders(localDatabasesDir());
    folders += subFolders(QDir(dataRootDir().absoluteFilePath(QStringLiteral("data"))));
    QStringList old;
    for (const QString &folder : folders) {
        if (holdsOldDatabase(folder))
            old.append(folder);
    }
    return old;
}

void UpdateLocalDbThread::run()
{
    try {
        convertAll();
        notifySuccess(m_form, QStringLiteral("Successfully updated local database. Please restart software."));
    } catch (const OperationCancelled &) {
        // the dialog has closed already: nothing to report
    } catch (const std::exception &error) {
        notifyException(m_form, error);
    }
}

void UpdateLocalDbThread::convertAll()
{
    for (const QString &folder : oldDatabaseFolders())
        convertFolder(folder);
}

void UpdateLocalDbThread::convertFolder(const QString &folder)
{
    const QString name = QFileInfo(folder).fileName();
    notifyProgress(m_form, tr("IDS_UPDATING_LOCALDB_%1_MESSAGES").arg(name), 0, QString());
    OldDbConverter converter(folder, localDatabasesDir().absoluteFilePath(name));
    converter.run([this](int done, int total) {
        throwIfCancelled(m_form);
        if (m_pacer.due(done == total))
            notifyProgress(m_form, QString(), progressPercent(done, total), QString());
    });
}
