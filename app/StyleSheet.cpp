#include "app/StyleSheet.h"

#include <QFile>

namespace {

// Returns false when the resource cannot be opened, so the caller knows to retry.
bool readStyleSheetResource(QString &text)
{
    QFile file(QStringLiteral(":style.css"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    text = QString::fromLatin1(bytes);
    return true;
}

} // namespace

QString appStyleSheet()
{
    static QString styleSheet;
    static bool loaded = false;
    if (!loaded)
        loaded = readStyleSheetResource(styleSheet);
    return styleSheet;
}
