#include "store/AttachmentPaths.h"

#include <QDebug>
#include <QDir>
#include <QRegularExpression>

QString attachmentRelativePath(const QString &filename)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\:*?\"<>|]"));
    QString path = filename;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.startsWith(QLatin1String("~/")))
        path.replace(0, 2, QStringLiteral("var/mobile/"));
    path.remove(forbidden);
    return path;
}

QString pathInsideFolder(const QString &base, const QString &relative, const QString &allowed)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return QString();
    const QString resolved =
        QDir::cleanPath(QDir::cleanPath(QDir(base).absolutePath()) + QLatin1Char('/') + relative);
    QString prefix = QDir::cleanPath(QDir(allowed).absolutePath());
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    if (!resolved.startsWith(prefix) || resolved.size() == prefix.size())
        return QString();
    return resolved;
}

QString pathInsideFolder(const QString &root, const QString &relative)
{
    return pathInsideFolder(root, relative, root);
}

QString attachmentsDir(const QString &fileRelayDir)
{
    return fileRelayDir + QStringLiteral("/var/mobile/Library/SMS/Attachments");
}

QString attachmentFilePath(const QString &fileRelayDir, const QString &filename)
{
    const QString path =
        pathInsideFolder(fileRelayDir, attachmentRelativePath(filename), attachmentsDir(fileRelayDir));
    if (path.isEmpty()) {
        qWarning().noquote()
            << QStringLiteral("attachment name leaves the attachments folder, no file used: %1").arg(filename);
    }
    return path;
}
