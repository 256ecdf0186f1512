#pragma once

#include <QList>
#include <QString>

#include "country/Country.h"
#include "store/AbsDb.h"

// The country reference database. The resource ":res/countries.db" is copied
// to R/countries.db (R = the data root) on first use and opened from there.
// The library is created with a mobile country code; its country is the
// "current" one that normalises numbers. An unknown or empty code leaves the
// current country empty, and numbers are then only cleaned.
//
// Opens lazily; raises std::runtime_error when the file cannot be provided and
// SqliteException for SQL errors. One thread at a time.
class CountryLibDb : public AbsDb
{
public:
    // One entry of the country chooser, in English-name order.
    struct SelectionEntry
    {
        QString callingCode; // "91"
        QString name;        // English name
        // What leads back to this country: its first mobile country code, or
        // its two-letter code when it has none of its own or that code
        // names another country (Martinique shares 340 with Guadeloupe).
        QString mobileCode;
    };

    explicit CountryLibDb(const QString &mobileCountryCode = QString());

    void ensureOpen() override;

    const QString &mobileCountryCode() const { return m_mobileCountryCode; }
    // Opens if needed; the country of the constructor's code (empty if unknown).
    Country current();
    // Shorthand for current().normalise(number).
    QString normalise(const QString &number);

    // The country of a mobile country code; when unknown, a copy of the current
    // country, and *found (when given) is set to false.
    Country countryByMmc(const QString &mmc, bool *found = nullptr);
    // The country of a two-letter code (any case); when unknown, a copy of the
    // current country and *found = false.
    Country countryBySn(const QString &sn, bool *found = nullptr);
    // The country a chosen code stands for: a mobile country code (digits)
    // or a two-letter code.
    Country countryByCode(const QString &code, bool *found = nullptr);

    // Every country for the chooser, ordered by English name.
    QList<SelectionEntry> selectionList();

    // R/countries.db.
    static QString localPath();
    // True when `code` names a country of the library (a mobile country code
    // or two letters); false when it is empty or the library cannot be read,
    // which means: ask for one.
    static bool isKnownCode(const QString &code);
    // Only for tests: take the reference data from another file (an empty
    // text restores ":res/countries.db").
    static void setResourcePathForTests(const QString &path);

private:
    Country firstCountry(const Sqlite3Sql &sql, bool *found);
    static void provideLocalCopy(const QString &path);

    QString m_mobileCountryCode;
    Country m_current;
};
