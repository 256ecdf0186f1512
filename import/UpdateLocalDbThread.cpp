#include "import/UpdateLocalDbThread.h"

#include "app/AppFolders.h"
#include "app/RichText.h"
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
        const QStringList failures = convertAll();
        if (failures.isEmpty())
            notifySuccess(m_form, QStringLiteral("Successfully updated local database. Please restart software."));
        else
            notifyError(m_form, failures.join(QLatin1String("<br/>")));
    } catch (const OperationCancelled &) {
        // the dialog has closed already: nothing to report
    } catch (const std::exception &error) {
        notifyException(m_form, error);
    }
}

QStringList UpdateLocalDbThread::convertAll()
{
    // A folder that cannot be converted keeps its old file for the next
    // start and does not hold up the others; all failures are told at once.
    QStringList failures;
    for (const QString &folder : oldDatabaseFolders()) {
        try {
            convertFolder(folder);
        } catch (const std::exception &error) {
            const QString name = QFileInfo(folder).fileName();
            qWarning("local database %s not updated: %s", qUtf8Printable(folder), error.what());
            failures.append(tr("Local database %1 could not be updated: %2")
                                .arg(richTextFromPlain(name), richTextFromPlain(QString::fromUtf8(error.what()))));
        }
    }
    return failures;
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
