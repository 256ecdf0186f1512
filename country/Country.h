#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

// One row of the country reference database: calling code, national number
// lengths and the pattern of national mobile numbers, with the rules that turn
// the local forms of a phone number into one international form.
//
// A default-constructed Country is "no country": every field is empty and
// normalise() only cleans numbers. Copies are cheap (the compiled pattern is
// shared).
class Country
{
public:
    Country() = default;
    // `r1` is the national mobile pattern as stored (without anchors); it is
    // matched against whole numbers only.
    Country(const QString &sn, const QString &name, const QString &localName,
            const QString &callingCode, const QString &mobileCodes, const QString &lengths,
            const QString &r1);

    const QString &sn() const { return m_sn; }                   // "IN"
    const QString &name() const { return m_name; }               // English name
    const QString &localName() const { return m_localName; }     // name in its own language
    const QString &callingCode() const { return m_callingCode; } // "91", without "+"
    const QString &mobileCodes() const { return m_mobileCodes; } // "404,405"
    const QString &lengths() const { return m_lengths; }         // "10,11"
    // The whole-number form of the mobile pattern; empty when there is none.
    const QString &mobilePattern() const { return m_mobilePattern; }

    bool isEmpty() const { return m_sn.isEmpty(); }

    // True when the mobile pattern is not empty and matches the whole number.
    bool isMobile(const QString &number) const;
    // True when one of the comma-separated national lengths equals `length`.
    bool isValidLength(int length) const;
    // The canonical form of a number for this country: sender names in lower
    // case, numbers with "+" kept as they are, national mobile numbers (with
    // or without trunk zero) and numbers carrying the calling code without "+"
    // completed to "+<calling code><national number>"; anything else only
    // cleaned of separators.
    QString normalise(const QString &number) const;

private:
    QString m_sn;
    QString m_name;
    QString m_localName;
    QString m_callingCode;
    QString m_mobileCodes;
    QString m_lengths;
    QString m_mobilePattern;
    QRegularExpression m_mobileRx;
    QList<int> m_validLengths;
};

namespace PhoneNumbers {

// True when the text names a sender rather than a number: it holds a letter
// (of any script) or "@".
bool isSenderName(const QString &text);
// The digits (any script's decimal digits, as ASCII) and "+" signs of the text,
// in order; every other character dropped.
QString cleanNumber(const QString &text);

} // namespace PhoneNumbers
