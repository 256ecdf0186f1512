#include "search/SearchQuery.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

bool hasLetterOrDigit(const QString &word)
{
    return std::any_of(word.cbegin(), word.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

QString quotedPhrase(QString word)
{
    word.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + word + QLatin1Char('"');
}

} // namespace

QString searchMatchExpression(const QString &words)
{
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    QStringList phrases;
    for (const QString &word : words.normalized(QString::NormalizationForm_C).split(spaces, Qt::SkipEmptyParts)) {
        if (hasLetterOrDigit(word))
            phrases.append(quotedPhrase(word));
    }
    return phrases.join(QLatin1Char(' '));
}
