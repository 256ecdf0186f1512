#include "import/ImportSourceKind.h"

#include "import/IPhoneBackupFolder.h"
#include "import/ImportArchiveThread.h"
#include "import/ImportIPhoneBackupThread.h"
#include "import/ImportSmsBackupThread.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// The first bytes of a file, or nothing when it cannot be read.
QByteArray fileHead(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

bool looksLikeXml(QByteArray head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    return head.trimmed().startsWith('<');
}

} // namespace

ImportSourceKind::Kind ImportSourceKind::recognise(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        if (IPhoneBackupFolder::looksLikeBackup(path))
            return IPhoneBackup;
        fail(QObject::tr("%1 is a folder but not an iPhone backup: it has no Manifest.db.").arg(path));
    }
    if (!info.isFile())
        fail(QObject::tr("No file or folder '%1'.").arg(path));
    const QByteArray head = fileHead(path, 256);
    if (head.startsWith("PK\x03\x04"))
        return ArchiveZip;
    if (looksLikeXml(head))
        return SmsBackupXml;
    fail(QObject::tr("%1 is neither an SMS Backup & Restore XML file, an iPhone backup folder nor an SMS "
                     "Import/Export archive.")
             .arg(path));
}

ImportSourceKind::Kind ImportSourceKind::fromName(const QString &name)
{
    const int index = names().indexOf(name.toLower());
    if (index < 0)
        fail(QObject::tr("Unknown kind '%1': say one of %2.").arg(name, names().join(QStringLiteral(", "))));
    return Kind(index);
}

QStringList ImportSourceKind::names()
{
    // In the order of Kind.
    return {QStringLiteral("xml"), QStringLiteral("iphone"), QStringLiteral("zip")};
}

std::unique_ptr<MessageImportThread> ImportSourceKind::makeWorker(Kind kind, const QString &path,
                                                                  const QString &dbFolder,
                                                                  const QString &countryCode, ProgressReporter *form)
{
    switch (kind) {
    case SmsBackupXml:
        return std::make_unique<ImportSmsBackupThread>(path, dbFolder, countryCode, form);
    case IPhoneBackup:
        return std::make_unique<ImportIPhoneBackupThread>(path, dbFolder, countryCode, form);
    case ArchiveZip:
        return std::make_unique<ImportArchiveThread>(path, dbFolder, countryCode, form);
    }
    fail(QObject::tr("Unknown kind of import."));
}
