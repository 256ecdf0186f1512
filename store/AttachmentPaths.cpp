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

QString pathInsideFolder(const QString &root, const QString &relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return QString();
    const QString cleanRoot = QDir::cleanPath(QDir(root).absolutePath());
    const QString resolved = QDir::cleanPath(cleanRoot + QLatin1Char('/') + relative);
    const QString prefix = cleanRoot.endsWith(QLatin1Char('/')) ? cleanRoot
                                                                : cleanRoot + QLatin1Char('/');
    if (!resolved.startsWith(prefix) || resolved.size() == prefix.size())
        return QString();
    return resolved;
}

QString attachmentFilePath(const QString &fileRelayDir, const QString &filename)
{
    const QString path = pathInsideFolder(fileRelayDir, attachmentRelativePath(filename));
    if (path.isEmpty())
        qWarning().noquote() << QStringLiteral("attachment name leaves the database folder, no file used: %1")
                                    .arg(filename);
    return path;
}
