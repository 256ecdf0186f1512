#include "country/Country.h"

#include <QStringList>

namespace {

QList<int> parseLengths(const QString &lengths)
{
    QList<int> result;
    const QStringList parts = lengths.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const int length = part.trimmed().toInt(&ok, 10);
        if (ok)
            result.append(length);
    }
    return result;
}

bool hasDigit(const QString &text)
{
    for (const QChar c : text) {
        if (c.isDigit())
            return true;
    }
    return false;
}

} // namespace

namespace PhoneNumbers {

bool isSenderName(const QString &text)
{
    for (const QChar c : text) {
        if (c.isLetter() || c == QLatin1Char('@'))
            return true;
    }
    return false;
}

QString cleanNumber(const QString &text)
{
    QString cleaned;
    cleaned.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('+'))
            cleaned.append(c);
        else if (c.category() == QChar::Number_DecimalDigit)
            cleaned.append(QChar(QLatin1Char('0').unicode() + c.digitValue()));
    }
    return cleaned;
}

} // namespace PhoneNumbers

Country::Country(const QString &sn, const QString &name, const QString &localName,
                 const QString &callingCode, const QString &mobileCodes, const QString &lengths,
                 const QString &r1)
    : m_sn(sn)
    , m_name(name)
    , m_localName(localName)
    , m_callingCode(callingCode)
    , m_mobileCodes(mobileCodes)
    , m_lengths(lengths)
    , m_validLengths(parseLengths(lengths))
{
    // Anchoring as "\A(?:r1)\z" keeps alternatives inside the anchors: plain
    // "^" + "a|b" + "$" would let "b" match anywhere in the number.
    if (!r1.isEmpty()) {
        m_mobilePattern = QRegularExpression::anchoredPattern(r1);
        m_mobileRx.setPattern(m_mobilePattern);
    }
}

bool Country::isMobile(const QString &number) const
{
    if (m_mobilePattern.isEmpty())
        return false;
    return m_mobileRx.match(number).hasMatch();
}

bool Country::isValidLength(int length) const
{
    return m_validLengths.contains(length);
}

QString Country::normalise(const QString &number) const
{
    if (PhoneNumbers::isSenderName(number))
        return number.toLower();
    const QString cleaned = PhoneNumbers::cleanNumber(number);
    // Without a single digit the cleaned form would be empty (or a bare "+"),
    // and every such sender would fall into one conversation.
    if (!hasDigit(cleaned))
        return number.trimmed();
    if (cleaned.contains(QLatin1Char('+')) || isEmpty())
        return cleaned;

    const int length = cleaned.size();
    const QString plus = QStringLiteral("+");
    if (isValidLength(length) && isMobile(cleaned))
        return plus + m_callingCode + cleaned;
    if (cleaned.startsWith(QLatin1Char('0'))) {
        const QString national = cleaned.mid(1);
        if (isValidLength(length - 1) && isMobile(national))
            return plus + m_callingCode + national;
    }
    if (!m_callingCode.isEmpty() && cleaned.startsWith(m_callingCode)
        && isValidLength(length - m_callingCode.size()))
        return plus + cleaned;
    return cleaned;
}
