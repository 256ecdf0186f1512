#include "TemporaryHome.h"
#include "app/AppFolders.h"
#include "store/IOSContactsMemDb.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <exception>
#include <memory>

namespace {

int rebuildLines = 0;
QtMessageHandler previousHandler = nullptr;

void countRebuilds(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && text == QLatin1String("rebuild IOSContactsMemDb."))
        ++rebuildLines;
    else if (previousHandler)
        previousHandler(type, context, text);
}

struct Person
{
    qint64 rowid;
    QString first;
    QString middle;
    QString last;
};

} // namespace

// The contacts cache is derived from an address book the program did not
// write: the tests build small address books themselves and check when the
// cache is rebuilt, what it finds and that the source stays untouched.
class TestContacts : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryHome> home;
    QTemporaryDir *folder = nullptr;

    QString bookDir() const
    {
        return folder->filePath(QStringLiteral("file-relay/var/mobile/Library/AddressBook"));
    }
    QString bookPath() const { return bookDir() + QStringLiteral("/AddressBook.sqlitedb"); }
    QString imagesPath() const { return bookDir() + QStringLiteral("/AddressBookImages.sqlitedb"); }
    QString cachePath() const { return folder->filePath(QStringLiteral("ct-phone.db")); }

    static void setTime(const QString &path, const QDateTime &time)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
    }

    static qint64 fileTime(const QString &path)
    {
        return QFileInfo(path).lastModified().toSecsSinceEpoch();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // ABPerson and ABMultiValue as the phone keeps them (only the columns read).
    void writeAddressBook(const QList<Person> &persons, const QList<QPair<qint64, QString>> &numbers,
                          const QString &extraSql = QString())
    {
        QDir().mkpath(bookDir());
        QFile::remove(bookPath());
        Sqlite3DB db;
        db.openThrow(bookPath(), Sqlite3DB::OpenReadWriteCreate);
        db.executeThrow(QStringLiteral(
            "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "
            "Middle TEXT, Organization TEXT);"
            "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, "
            "identifier INTEGER, label INTEGER, value TEXT);"));
        for (const Person &p : persons) {
            Sqlite3Sql insert(QStringLiteral("insert into ABPerson(ROWID, First, Last, Middle) values(?,?,?,?)"));
            insert.addInt64Param(p.rowid).addTextParam(p.first).addTextParam(p.last).addTextParam(p.middle);
            db.executeThrow(insert);
        }
        for (const auto &n : numbers) {
            Sqlite3Sql insert(QStringLiteral("insert into ABMultiValue(record_id, property, value) values(?,3,?)"));
            insert.addInt64Param(n.first).addTextParam(n.second);
            db.executeThrow(insert);
        }
        if (!extraSql.isEmpty())
            db.executeThrow(extraSql);
        db.close();
    }

    void writeImages(const QList<QPair<qint64, QByteArray>> &images)
    {
        Sqlite3DB db;
        db.openThrow(imagesPath(), Sqlite3DB::OpenReadWriteCreate);
        db.executeThrow(QStringLiteral("CREATE TABLE ABThumbnailImage (record_id INTEGER, format INTEGER, data BLOB)"));
        for (const auto &image : images) {
            Sqlite3Sql insert(QStringLiteral("insert into ABThumbnailImage(record_id, format, data) values(?,0,?)"));
            insert.addInt64Param(image.first).addBlobParam(image.second);
            db.executeThrow(insert);
        }
        db.close();
    }

    void writeAnnLee()
    {
        writeAddressBook({{1, QStringLiteral("Ann"), QString(), QStringLiteral("  Lee ")}},
                         {{1, QStringLiteral("098765-43210")}});
    }

    // Opens a fresh lookup for the folder with India's mobile country code.
    QString nameOf(const QString &number)
    {
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        return db.contactByNumber(number).displayName();
    }

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(countRebuilds); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void init()
    {
        home = std::make_unique<TemporaryHome>();
        folder = new QTemporaryDir;
        rebuildLines = 0;
    }

    void cleanup()
    {
        delete folder;
        folder = nullptr;
        home.reset();
    }

    void displayNameComposition_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("middle");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("name");
        QTest::newRow("first and padded last") << "Ann" << "" << "  Lee  " << "Ann Lee";
        QTest::newRow("all three") << "Ann" << " Marie " << "Lee" << "Ann Marie Lee";
        QTest::newRow("blank middle") << "Ann" << "   " << "Lee" << "Ann Lee";
        QTest::newRow("last only") << "" << "" << "Lee" << "Lee";
        QTest::newRow("padded first") << "  Ann " << "" << "" << "Ann";
        QTest::newRow("nothing") << "" << "" << "" << "";
    }
    void displayNameComposition()
    {
        QFETCH(QString, first);
        QFETCH(QString, middle);
        QFETCH(QString, last);
        QFETCH(QString, name);
        QCOMPARE(contactDisplayName(first, middle, last), name);
        QCOMPARE((IOSContact{first, middle, last, QByteArray()}).displayName(), name);
    }

    void folderWithoutAddressBookCreatesNothing()
    {
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        db.ensureOpen();
        QVERIFY(!db.isOpen());
        QVERIFY(db.contactByNumber(QStringLiteral("+919876543210")).isEmpty());
        QVERIFY(!QFileInfo::exists(cachePath()));
        QCOMPARE(rebuildLines, 0);
    }

    void lookupUsesNormalisedNumbers_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("international form") << "+919876543210" << "Ann Lee";
        QTest::newRow("form as stored") << "098765-43210" << "";
        QTest::newRow("someone else") << "+919876543211" << "";
    }
    void lookupUsesNormalisedNumbers()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        writeAnnLee();
        QCOMPARE(nameOf(number), name);
    }

    void cacheIsBuiltOnceAndReadOnlyAfterwards()
    {
        writeAnnLee();
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        db.ensureOpen();
        QVERIFY(db.isOpen());
        QCOMPARE(rebuildLines, 1);
        QCOMPARE(fileTime(cachePath()), fileTime(bookPath()));
        QVERIFY_THROWS_EXCEPTION(std::exception,
                                 db.executeThrow(QStringLiteral("insert into person(first) values('x')")));

        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        QCOMPARE(rebuildLines, 1);
    }

    void newerWalFileTriggersRebuild()
    {
        writeAnnLee();
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        QCOMPARE(rebuildLines, 1);

        const QString wal = bookPath() + QStringLiteral("-wal");
        QVERIFY(QFile(wal).open(QIODevice::WriteOnly));
        setTime(wal, QFileInfo(bookPath()).lastModified().addSecs(60));
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        QCOMPARE(rebuildLines, 2);
        QCOMPARE(fileTime(cachePath()), fileTime(wal));

        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        QCOMPARE(rebuildLines, 2);
    }

    void changedAddressBookIsReadAgain()
    {
        writeAnnLee();
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        const QDateTime before = QFileInfo(bookPath()).lastModified();

        writeAddressBook({{1, QStringLiteral("Bob"), QString(), QString()}},
                         {{1, QStringLiteral("9876543210")}});
        setTime(bookPath(), before.addSecs(5));
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Bob"));
        QCOMPARE(rebuildLines, 2);
    }

    // An older address book put back in place must not keep the newer names.
    void olderAddressBookIsReadAgain()
    {
        writeAnnLee();
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
        const QDateTime before = QFileInfo(bookPath()).lastModified();

        writeAddressBook({{1, QStringLiteral("Old"), QString(), QString()}},
                         {{1, QStringLiteral("9876543210")}});
        setTime(bookPath(), before.addDays(-30));
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Old"));
    }

    void readingDoesNotChangeTheFiles()
    {
        QDir().mkpath(bookDir());
        {
            Sqlite3DB writer;
            writer.openThrow(bookPath(), Sqlite3DB::OpenReadWriteCreate);
            QString error;
            QCOMPARE(writer.exec(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                                                "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, Middle TEXT);"
                                                "CREATE TABLE ABMultiValue (record_id INTEGER, property INTEGER, value TEXT);"
                                                "INSERT INTO ABPerson VALUES(7, 'Wal', 'Only', NULL);"
                                                "INSERT INTO ABMultiValue VALUES(7, 3, '9876543210');"),
                                 error), 0);
            // Keep the log: copy the files aside as a backup would hold them.
            QVERIFY(QFile::copy(bookPath(), bookPath() + QStringLiteral(".copy")));
            QVERIFY(QFile::copy(bookPath() + QStringLiteral("-wal"), bookPath() + QStringLiteral(".copy-wal")));
        }
        QFile::remove(bookPath());
        QFile::remove(bookPath() + QStringLiteral("-shm"));
        QVERIFY(QFile::rename(bookPath() + QStringLiteral(".copy"), bookPath()));
        QVERIFY(QFile::rename(bookPath() + QStringLiteral(".copy-wal"), bookPath() + QStringLiteral("-wal")));

        const QString wal = bookPath() + QStringLiteral("-wal");
        const QByteArray bookBytes = readFile(bookPath());
        const QByteArray walBytes = readFile(wal);
        QVERIFY(!walBytes.isEmpty());

        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Wal Only"));
        QVERIFY(QFileInfo::exists(wal));
        QCOMPARE(readFile(bookPath()), bookBytes);
        QCOMPARE(readFile(wal), walBytes);
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Wal Only"));
        QCOMPARE(rebuildLines, 1);
    }

    void photosComeFromTheImagesFile()
    {
        writeAddressBook({{1, QStringLiteral("Ann"), QString(), QString()},
                          {2, QStringLiteral("Bob"), QString(), QString()}},
                         {{1, QStringLiteral("9876543210")}, {2, QStringLiteral("9876543211")}});
        writeImages({{1, QByteArray("\x89PNG-ann", 8)}});
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        QCOMPARE(db.contactByNumber(QStringLiteral("+919876543210")).photo, QByteArray("\x89PNG-ann", 8));
        QVERIFY(db.contactByNumber(QStringLiteral("+919876543211")).photo.isEmpty());
        QCOMPARE(db.contactByNumber(QStringLiteral("+919876543211")).first, QStringLiteral("Bob"));
    }

    void onlyTelephoneNumbersAreIndexed()
    {
        writeAddressBook({{1, QStringLiteral("Ann"), QString(), QString()}}, {},
                         QStringLiteral("insert into ABMultiValue(record_id, property, value) "
                                        "values(1, 4, 'ann@example.com'), (1, 3, NULL), (1, 3, ' - ')"));
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        QVERIFY(db.contactByNumber(QStringLiteral("ann@example.com")).isEmpty());
        QVERIFY(db.contactByNumber(QString()).isEmpty());
        QCOMPARE(db.contactByNumber(QStringLiteral("-")).first, QStringLiteral("Ann"));
    }

    void sharedNumberGivesOnePerson()
    {
        writeAddressBook({{1, QStringLiteral("Ann"), QString(), QString()},
                          {2, QStringLiteral("Bob"), QString(), QString()}},
                         {{1, QStringLiteral("9876543210")}, {2, QStringLiteral("09876543210")}});
        IOSContactsMemDb db(folder->path(), QStringLiteral("404"));
        const IOSContact contact = db.contactByNumber(QStringLiteral("+919876543210"));
        QVERIFY(contact.first == QLatin1String("Ann") || contact.first == QLatin1String("Bob"));
    }

    void brokenAddressBookLeavesNoCache()
    {
        QDir().mkpath(bookDir());
        {
            Sqlite3DB db;
            db.openThrow(bookPath(), Sqlite3DB::OpenReadWriteCreate);
            db.executeThrow(QStringLiteral("CREATE TABLE Unrelated (x)"));
        }
        IOSContactsMemDb broken(folder->path(), QStringLiteral("404"));
        QVERIFY_THROWS_EXCEPTION(std::exception, broken.ensureOpen());
        QVERIFY(!broken.isOpen());
        QVERIFY(!QFileInfo::exists(cachePath()));

        writeAnnLee();
        QCOMPARE(nameOf(QStringLiteral("+919876543210")), QStringLiteral("Ann Lee"));
    }
};

QTEST_GUILESS_MAIN(TestContacts)
#include "tst_contacts.moc"
