#include "store/IOSContactsMemDb.h"

#include "country/CountryLibDb.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

const char *const kCacheSchema =
    "CREATE TABLE person(  rowid INTEGER PRIMARY KEY,  first TEXT,  last TEXT,  middle TEXT,  photo BLOB);"
    "CREATE TABLE tel(  person_id INTEGER,  number TEXT,  UNIQUE(person_id, number));"
    "CREATE INDEX index_tel_number on tel(number);";

const QString kAddressBookDir = QStringLiteral("file-relay/var/mobile/Library/AddressBook");

// Modification time in whole seconds since the epoch; 0 when the file is missing.
qint64 modificationTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return 0;
    return info.lastModified().toSecsSinceEpoch();
}

void setFileTimes(const QString &path, qint64 seconds)
{
    QFile file(path);
    const QDateTime time = QDateTime::fromSecsSinceEpoch(seconds);
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(time, QFileDevice::FileModificationTime)
        || !file.setFileTime(time, QFileDevice::FileAccessTime))
        qWarning("can not set the time of %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

QString trimmedPart(const QString &part)
{
    const QString trimmed = part.trimmed();
    return trimmed.isEmpty() ? QString() : QLatin1Char(' ') + trimmed;
}

} // namespace

QString contactDisplayName(const QString &first, const QString &middle, const QString &last)
{
    return (first + trimmedPart(middle) + trimmedPart(last)).trimmed();
}

QString IOSContact::displayName() const
{
    return contactDisplayName(first, middle, last);
}

IOSContactsMemDb::IOSContactsMemDb(const QString &folder, const QString &countryCode)
    : m_folder(folder)
    , m_countryCode(countryCode)
{
}

QString IOSContactsMemDb::cachePath() const
{
    return QDir(m_folder).filePath(QStringLiteral("ct-phone.db"));
}

QString IOSContactsMemDb::addressBookPath() const
{
    return QDir(m_folder).filePath(kAddressBookDir + QStringLiteral("/AddressBook.sqlitedb"));
}

QString IOSContactsMemDb::imagesPath() const
{
    return QDir(m_folder).filePath(kAddressBookDir + QStringLiteral("/AddressBookImages.sqlitedb"));
}

qint64 IOSContactsMemDb::sourceTime() const
{
    const QString wal = addressBookPath() + QStringLiteral("-wal");
    return QFileInfo::exists(wal) ? modificationTime(wal) : modificationTime(addressBookPath());
}

// The cache carries the source's time once built. Any other time means the
// address book changed (or was replaced by an older copy), or that a
// rebuild did not finish.
void IOSContactsMemDb::ensureOpen()
{
    if (isOpen())
        return;
    if (!QFileInfo::exists(addressBookPath()))
        return;
    const qint64 source = sourceTime();
    if (modificationTime(cachePath()) != source)
        rebuild(source);
    openThrow(cachePath(), OpenReadOnly);
}

void IOSContactsMemDb::rebuild(qint64 sourceTime)
{
    qDebug("rebuild IOSContactsMemDb.");
    try {
        createCache();
        beginTransaction();
        copyAddressBook();
        copyPhotos();
        endTransaction(true);
        close();
    } catch (...) {
        // A partial cache must not pass for a current one.
        endTransaction(false);
        close();
        QFile::remove(cachePath());
        throw;
    }
    setFileTimes(cachePath(), sourceTime);
}

void IOSContactsMemDb::createCache()
{
    const QString path = cachePath();
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        throw std::runtime_error(QStringLiteral("create IOSContactsMemDb error. can not remove %1")
                                     .arg(path).toStdString());
    }
    try {
        openThrow(path, OpenReadWriteCreate);
    } catch (const SqliteException &e) {
        throw std::runtime_error(
            QStringLiteral("create IOSContactsMemDb error. %1").arg(e.message()).toStdString());
    }
    QString errorText;
    if (exec(QString::fromLatin1(kCacheSchema), errorText) != 0) {
        throw std::runtime_error(
            QStringLiteral("create IOSContactsMemDb error. %1").arg(errorText).toStdString());
    }
}

// The address book is opened read-only: a read-write connection would fold
// its -wal file into it on closing, changing the phone's files and their times.
void IOSContactsMemDb::copyAddressBook()
{
    Sqlite3DB source;
    source.openThrow(addressBookPath(), OpenReadOnly);
    copyPersons(source);
    copyNumbers(source);
}

void IOSContactsMemDb::copyPersons(Sqlite3DB &source)
{
    Sqlite3Cursor persons = source.queryThrow(QStringLiteral("select rowid, first, last, middle from ABPerson"));
    while (persons.moveNext()) {
        Sqlite3Sql insert(QStringLiteral("insert into person(rowid, first, last, middle) values(?,?,?,?)"));
        insert.addInt64Param(persons.getInt64(0))
            .addTextParam(persons.getText(QStringLiteral("first")))
            .addTextParam(persons.getText(QStringLiteral("last")))
            .addTextParam(persons.getText(QStringLiteral("middle")));
        executeThrow(insert);
    }
}

void IOSContactsMemDb::copyNumbers(Sqlite3DB &source)
{
    CountryLibDb countries(m_countryCode);
    const Country country = countries.current();
    Sqlite3Cursor numbers = source.queryThrow(
        QStringLiteral("select record_id, value from ABMultiValue where property=3"));
    while (numbers.moveNext()) {
        const QString number = country.normalise(numbers.getText(QStringLiteral("value")));
        // An empty number would give every handle without an address a name.
        if (number.isEmpty())
            continue;
        Sqlite3Sql replace(QStringLiteral("replace into tel(person_id, number) values(?,?)"));
        replace.addInt64Param(numbers.getInt64(QStringLiteral("record_id"))).addTextParam(number);
        executeThrow(replace);
    }
}

void IOSContactsMemDb::copyPhotos()
{
    if (!QFileInfo::exists(imagesPath()))
        return;
    Sqlite3DB source;
    source.openThrow(imagesPath(), OpenReadOnly);
    Sqlite3Cursor images = source.queryThrow(QStringLiteral("select record_id, data from ABThumbnailImage"));
    while (images.moveNext()) {
        Sqlite3Sql update(QStringLiteral("update person set photo=? where rowid=?"));
        update.addBlobParam(images.getBlob(QStringLiteral("data")))
            .addInt64Param(images.getInt64(QStringLiteral("record_id")));
        executeThrow(update);
    }
}

IOSContact IOSContactsMemDb::contactByNumber(const QString &number)
{
    ensureOpen();
    if (!isOpen())
        return IOSContact();
    Sqlite3Sql sql(QStringLiteral("select p.* from person as p inner join tel as t "
                                  "on p.rowid=t.person_id and t.number=?"));
    sql.addTextParam(number);
    Sqlite3Cursor cursor = queryThrow(sql);
    if (!cursor.moveNext())
        return IOSContact();
    return IOSContact{cursor.getText(QStringLiteral("first")), cursor.getText(QStringLiteral("middle")),
                      cursor.getText(QStringLiteral("last")), cursor.getBlob(QStringLiteral("photo"))};
}
