#pragma once

#include <QByteArray>
#include <QString>

#include "store/AbsDb.h"

// A person of the address book as the contacts lookup returns it; every field
// is empty when no person matched.
struct IOSContact
{
    QString first;
    QString middle;
    QString last;
    QByteArray photo;

    bool isEmpty() const { return first.isEmpty() && middle.isEmpty() && last.isEmpty(); }
    // "first middle last" with single blanks, the parts trimmed.
    QString displayName() const;
};

// "first", then the trimmed middle and last names when not empty, joined by
// single blanks; the whole trimmed.
QString contactDisplayName(const QString &first, const QString &middle, const QString &last);

// Contact names for the numbers of a local message database folder F.
//
// A folder may carry an address book in the phone's own format
// (file-relay/var/mobile/Library/AddressBook/AddressBook.sqlitedb and
// AddressBookImages.sqlitedb). Their schema is not ours and reading it on every
// load is slow, so the persons and their numbers, normalised with the
// folder's country, are copied into F/ct-phone.db, which is rebuilt whenever
// the address book (or its -wal file) changed and otherwise opened read-only.
// The address book itself is only read.
//
// Without an address book nothing is opened or created and lookups find no
// one. Raises std::runtime_error and SqliteException. One thread at a time.
class IOSContactsMemDb : public AbsDb
{
public:
    IOSContactsMemDb(const QString &folder, const QString &countryCode);

    void ensureOpen() override;

    // The person with this (already normalised) number; empty when none, or
    // when the folder has no address book.
    IOSContact contactByNumber(const QString &number);

    const QString &folder() const { return m_folder; }
    QString cachePath() const;        // F/ct-phone.db
    QString addressBookPath() const;  // F/.../AddressBook.sqlitedb
    QString imagesPath() const;       // F/.../AddressBookImages.sqlitedb

private:
    qint64 sourceTime() const;
    void rebuild(qint64 sourceTime);
    void createCache();
    void copyAddressBook();
    void copyPersons(Sqlite3DB &source);
    void copyNumbers(Sqlite3DB &source);
    void copyPhotos();

    QString m_folder;
    QString m_countryCode;
};
