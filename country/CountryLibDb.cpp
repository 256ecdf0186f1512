#include "country/CountryLibDb.h"

#include "app/AppFolders.h"

#include <QFile>
#include <QSaveFile>

#include <stdexcept>

namespace {

const QString kResourcePath = QStringLiteral(":res/countries.db");
QString resourcePathOverride;

QString resourcePath()
{
    return resourcePathOverride.isEmpty() ? kResourcePath : resourcePathOverride;
}

Country countryFromRow(const Sqlite3Cursor &row)
{
    return Country(row.getText(QStringLiteral("sn")), row.getText(QStringLiteral("n")),
                   row.getText(QStringLiteral("ln")), row.getText(QStringLiteral("pnum")),
                   row.getText(QStringLiteral("mmc")), row.getText(QStringLiteral("numc")),
                   row.getText(QStringLiteral("r1")));
}

// The whole file, or a null array when it cannot be read.
QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray data = file.readAll();
    return data.isNull() ? QByteArray("") : data;
}

// Writes through a temporary file renamed into place, so a reader never opens
// a half-written copy and two threads copying at once both succeed.
bool writeAtomically(const QString &path, const QByteArray &data, QString &errorText)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace

CountryLibDb::CountryLibDb(const QString &mobileCountryCode)
    : m_mobileCountryCode(mobileCountryCode)
{
}

void CountryLibDb::setResourcePathForTests(const QString &path)
{
    resourcePathOverride = path;
}

QString CountryLibDb::localPath()
{
    return dataRootDir().absoluteFilePath(QStringLiteral("countries.db"));
}

// A missing copy is created from the resource. A copy that differs from the
// resource (left by an older version of the program) is replaced, so updated
// reference data reaches existing installations; if it cannot be replaced
// (another connection holds it on a system that forbids that), the old copy
// is still usable and stays.
void CountryLibDb::provideLocalCopy(const QString &path)
{
    const bool exists = QFile::exists(path);
    const QByteArray resource = readFile(resourcePath());
    if (resource.isNull()) {
        if (exists)
            return;
        throw std::runtime_error("can not find :res/countries.db.");
    }
    if (exists && readFile(path) == resource)
        return;
    QString errorText;
    if (writeAtomically(path, resource, errorText))
        return;
    if (!exists) {
        throw std::runtime_error(QStringLiteral("can not create %1. %2")
                                     .arg(path, errorText).toStdString());
    }
    qWarning("countries.db could not be refreshed: %s", qPrintable(errorText));
}

void CountryLibDb::ensureOpen()
{
    if (isOpen())
        return;
    const QString path = localPath();
    provideLocalCopy(path);
    openThrow(path, OpenReadWrite);
    m_current = countryByCode(m_mobileCountryCode);
}

Country CountryLibDb::current()
{
    ensureOpen();
    return m_current;
}

QString CountryLibDb::normalise(const QString &number)
{
    ensureOpen();
    return m_current.normalise(number);
}

Country CountryLibDb::firstCountry(const Sqlite3Sql &sql, bool *found)
{
    Sqlite3Cursor cursor = queryThrow(sql);
    const bool hasRow = cursor.moveNext();
    if (found)
        *found = hasRow;
    return hasRow ? countryFromRow(cursor) : m_current;
}

Country CountryLibDb::countryByMmc(const QString &mmc, bool *found)
{
    ensureOpen();
    Sqlite3Sql sql(QStringLiteral("select c.* from mmc_sn as m inner join countries as c "
                                  "on m.[sn] = c.sn and m.mmc=?"));
    sql.addTextParam(mmc);
    return firstCountry(sql, found);
}

Country CountryLibDb::countryByCode(const QString &code, bool *found)
{
    const bool letters = code.size() == 2 && code.at(0).isLetter() && code.at(1).isLetter();
    return letters ? countryBySn(code, found) : countryByMmc(code, found);
}

Country CountryLibDb::countryBySn(const QString &sn, bool *found)
{
    ensureOpen();
    Sqlite3Sql sql(QStringLiteral("select * from countries where sn=?"));
    sql.addTextParam(sn.toUpper());
    return firstCountry(sql, found);
}

bool CountryLibDb::isKnownCode(const QString &code)
{
    if (code.isEmpty())
        return false;
    try {
        CountryLibDb countries;
        bool found = false;
        countries.countryByCode(code, &found);
        return found;
    } catch (const std::exception &) {
        return false;  // an unreadable library means: ask for a code
    }
}

QList<CountryLibDb::SelectionEntry> CountryLibDb::selectionList()
{
    ensureOpen();
    Sqlite3Cursor cursor = queryThrow(QStringLiteral(
        "select c.pnum, c.n, c.sn, substr(c.mmc,0,4) as mmc, m.sn as owner from countries as c "
        "left join mmc_sn as m on m.mmc = substr(c.mmc,0,4) order by c.n asc"));
    QList<SelectionEntry> entries;
    while (cursor.moveNext()) {
        const QString sn = cursor.getText(QStringLiteral("sn"));
        const bool ownCode = cursor.getText(QStringLiteral("owner")) == sn;
        entries.append({cursor.getText(QStringLiteral("pnum")), cursor.getText(QStringLiteral("n")),
                         ownCode ? cursor.getText(QStringLiteral("mmc")) : sn});
    }
    return entries;
}
