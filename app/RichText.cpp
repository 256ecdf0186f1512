#include "app/RichText.h"

QString richTextFromPlain(const QString &plain)
{
    QString text = plain.toHtmlEscaped();
    text.replace(QLatin1String("\r\n"), QLatin1String("<br/>"));
    text.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return text;
}
