#include "store/AbsDb.h"
#include "store/Sqlite3DB.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

// A database that opens (and creates) its file on first use, as the
// program's databases do.
class FileDb : public AbsDb
{
public:
    explicit FileDb(const QString &path) : m_path(path) {}
    void ensureOpen() override
    {
        if (isOpen())
            return;
        openThrow(m_path, OpenReadWriteCreate);
        ++openCount;
    }
    int openCount = 0;

private:
    QString m_path;
};

int liveStatementCount(sqlite3 *db)
{
    int count = 0;
    for (sqlite3_stmt *s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        ++count;
    return count;
}

QString raisedText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestSqlite3Db : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // opening
    void interfaceVersionIsFive();
    void openFlags_data();
    void openFlags();
    void readOnlyRefusesWrites();
    void handleIsNullWhileClosed();

    // errors
    void errorsCarrySqliteTextAndStatement();
    void wrongParameterCountRaises();
    void readingOutsideARowRaises();

    // values
    void parameterRoundTrip_data();
    void parameterRoundTrip();
    void emptyTextIsNotNull();
    void blobRoundTripKeepsEveryByte();
    void int32AndInt64ReadBack();
    void columnNamesIgnoreCaseAndUnknownReadsNull();
    void getInt64ByPosition();

    // statements
    void statementIsPreparedOncePerText();
    void cursorSurvivesSecondQueryWithSameSql();
    void exhaustedCursorGivesItsStatementBack();
    void abandonedCursorDoesNotLockTheTable();
    void cacheCapacityBoundsPreparedStatements();
    void closeFinalizesStatementsAndLiveCursorFinishes();
    void scriptRunsThroughExecuteAndExec();
    void countLeavesCursorPosition();

    // schema
    void tbInfoListsColumnsAndTypes();

    // transactions and AbsDb
    void transactionsCommitAndRollBack();
    void endTransactionWithoutBeginDoesNothing();
    void failedCommitRaisesAndRollsBack();
    void closeClearsTheTransactionFlag();
    void insertRowAndSelectAll();
    void insertSqlQuotesNamesAndSkipsMissingColumns();
    void busyDatabaseRaisesAfterTimeout();

private:
    QString dbPath(const QString &name = QStringLiteral("t.db")) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSqlite3Db::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSqlite3Db::interfaceVersionIsFive()
{
    QCOMPARE(sqlite_qt_version(), 5);
}

void TestSqlite3Db::openFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("opens");

    QTest::newRow("read-only, missing file") << 1 << false << false;
    QTest::newRow("read-write, missing file") << 2 << false << false;
    QTest::newRow("create, missing file") << 6 << false << true;
    QTest::newRow("read-only, existing") << 1 << true << true;
    QTest::newRow("read-write, existing") << 2 << true << true;
}

void TestSqlite3Db::openFlags()
{
    QFETCH(int, flags);
    QFETCH(bool, fileExists);
    QFETCH(bool, opens);

    if (fileExists) {
        Sqlite3DB creator;
        creator.openThrow(dbPath(), Sqlite3DB::OpenReadWriteCreate);
        creator.executeThrow(QStringLiteral("create table t(x)"));
    }
    Sqlite3DB db;
    const QString error = raisedText([&] { db.openThrow(dbPath(), flags); });
    QCOMPARE(error.isEmpty(), opens);
    QCOMPARE(db.isOpen(), opens);
    if (!opens) {
        QVERIFY2(error.contains(QStringLiteral("unable to open")), qPrintable(error));
        QVERIFY(!QFile::exists(dbPath()));
    }
}

void TestSqlite3Db::readOnlyRefusesWrites()
{
    {
        Sqlite3DB creator;
        creator.openThrow(dbPath(), 6);
        creator.executeThrow(QStringLiteral("create table t(x)"));
    }
    Sqlite3DB db;
    db.openThrow(dbPath(), 1);
    const QString error = raisedText([&] { db.executeThrow(QStringLiteral("insert into t values(1)")); });
    QVERIFY2(error.contains(QStringLiteral("readonly")), qPrintable(error));
}

void TestSqlite3Db::handleIsNullWhileClosed()
{
    Sqlite3DB db;
    QVERIFY(!db.handle());
    db.openThrow(dbPath(), 6);
    QVERIFY(db.handle());
    db.close();
    QVERIFY(!db.handle());
    QVERIFY(!raisedText([&] { db.executeThrow(QStringLiteral("select 1")); }).isEmpty());
    QString errorText;
    QVERIFY(db.exec(QStringLiteral("select 1"), errorText) != 0);
    QVERIFY(!errorText.isEmpty());
}

void TestSqlite3Db::errorsCarrySqliteTextAndStatement()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    try {
        db.queryThrow(QStringLiteral("select * from missing_table"));
        QFAIL("no exception");
    } catch (const SqliteException &e) {
        QCOMPARE(e.message(), QStringLiteral("no such table: missing_table"));
        QCOMPARE(e.code(), SQLITE_ERROR);
        const QString what = QString::fromUtf8(e.what());
        QVERIFY(what.contains(QStringLiteral("no such table: missing_table")));
        QVERIFY(what.contains(QStringLiteral("select * from missing_table")));
    }

    db.executeThrow(QStringLiteral("create table u(k text unique)"));
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into u values(?)")).addTextParam("a"));
    const QString dup = raisedText([&] {
        db.executeThrow(Sqlite3Sql(QStringLiteral("insert into u values(?)")).addTextParam("a"));
    });
    QVERIFY2(dup.contains(QStringLiteral("UNIQUE constraint failed: u.k")), qPrintable(dup));

    QString errorText;
    QCOMPARE(db.exec(QStringLiteral("insert into nowhere values(1)"), errorText), SQLITE_ERROR);
    QCOMPARE(errorText, QStringLiteral("no such table: nowhere"));
    QCOMPARE(db.exec(QStringLiteral("select 1"), errorText), SQLITE_OK);
    QVERIFY(errorText.isEmpty());
}

void TestSqlite3Db::wrongParameterCountRaises()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a, b)"));
    const QString error = raisedText([&] {
        db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?, ?)")).addIntParam(1));
    });
    QVERIFY2(error.contains(QStringLiteral("2 parameters but 1")), qPrintable(error));
    QCOMPARE(db.queryThrow(QStringLiteral("select * from t")).count(), 0);
}

void TestSqlite3Db::readingOutsideARowRaises()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select 1 as one"));
    QVERIFY(!raisedText([&] { cursor.getInt(QStringLiteral("one")); }).isEmpty());
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("one")), 1);
    QVERIFY(!cursor.moveNext());
    QVERIFY(!raisedText([&] { cursor.getInt(QStringLiteral("one")); }).isEmpty());
    QVERIFY(!cursor.moveNext());
}

void TestSqlite3Db::parameterRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("sqlType");

    QTest::newRow("text, non-ASCII") << QVariant(QStringLiteral("Grüße \u4F60\u597D \U0001F604")) << "text";
    QTest::newRow("int32 negative") << QVariant(qint64(-2147483647 - 1)) << "integer";
    QTest::newRow("int64 large") << QVariant(qint64(0x7123456789ABCDEFLL)) << "integer";
    QTest::newRow("blob with NUL") << QVariant(QByteArray("a\0b\xff", 4)) << "blob";
    QTest::newRow("double") << QVariant(2.5) << "real";
    QTest::newRow("null") << QVariant() << "null";
}

void TestSqlite3Db::parameterRoundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(QString, sqlType);

    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(v)"));
    Sqlite3Row row;
    row.insert(QStringLiteral("v"), value);
    db.executeThrow(row.insertSql(QStringLiteral("t")));

    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select v, typeof(v) as kind from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(QStringLiteral("kind")), sqlType);
    QCOMPARE(cursor.getRow().value(QStringLiteral("v")), value);
}

void TestSqlite3Db::emptyTextIsNotNull()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(v)"));
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?)")).addTextParam(QString()));
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?)")).addBlobParam(QByteArray()));
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select typeof(v) from t order by rowid"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), QStringLiteral("text"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), QStringLiteral("blob"));
}

void TestSqlite3Db::blobRoundTripKeepsEveryByte()
{
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes.append(char(i * 7 % 256));
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(b blob)"));
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?)")).addBlobParam(bytes));
    db.close();
    db.openThrow(dbPath(), 1);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select b from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getBlob(QStringLiteral("b")), bytes);
}

void TestSqlite3Db::int32AndInt64ReadBack()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a integer, b integer)"));
    db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?, ?)"))
                        .addIntParam(-5)
                        .addInt64Param(Q_INT64_C(9000000000)));
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select a, b from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("a")), -5);
    QCOMPARE(cursor.getInt64(QStringLiteral("b")), Q_INT64_C(9000000000));
    QCOMPARE(cursor.getText(QStringLiteral("a")), QStringLiteral("-5"));
}

void TestSqlite3Db::columnNamesIgnoreCaseAndUnknownReadsNull()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(ROWID integer primary key, Name text)"));
    db.executeThrow(QStringLiteral("insert into t values(42, 'x')"));
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select * from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt64(QStringLiteral("rowid")), 42);
    QCOMPARE(cursor.getText(QStringLiteral("name")), QStringLiteral("x"));
    QVERIFY(!cursor.hasColumn(QStringLiteral("absent")));
    QCOMPARE(cursor.getText(QStringLiteral("absent")), QString());
    QCOMPARE(cursor.getInt(QStringLiteral("absent")), 0);
    QVERIFY(cursor.getBlob(QStringLiteral("absent")).isEmpty());
    QCOMPARE(cursor.getRow().value(QStringLiteral("rowid")).toLongLong(), 42);
}

void TestSqlite3Db::getInt64ByPosition()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select 7, 8000000000"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt64(0), 7);
    QCOMPARE(cursor.getInt64(1), Q_INT64_C(8000000000));
    QVERIFY(!raisedText([&] { cursor.getInt64(2); }).isEmpty());
}

void TestSqlite3Db::statementIsPreparedOncePerText()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a integer, b text)"));
    QCOMPARE(db.beginTran(), SQLITE_OK);  // keeps the file syncs down
    const int before = db.statementPrepareCount();
    for (int i = 0; i < 200; ++i) {
        db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?, ?)"))
                            .addIntParam(i)
                            .addTextParam(QString::number(i)));
        Sqlite3Cursor cursor = db.queryThrow(
            Sqlite3Sql(QStringLiteral("select b from t where a=?")).addIntParam(i));
        QVERIFY(cursor.moveNext());
        QCOMPARE(cursor.getText(QStringLiteral("b")), QString::number(i));
    }
    QCOMPARE(db.statementPrepareCount() - before, 2);
    QCOMPARE(db.commitTran(), SQLITE_OK);
    // Exactly the cached statements are alive: the create table and the two above.
    QCOMPARE(liveStatementCount(db.handle()), db.cachedStatementCount());
    QCOMPARE(db.cachedStatementCount(), 3);
}

void TestSqlite3Db::cursorSurvivesSecondQueryWithSameSql()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a integer)"));
    for (int i = 1; i <= 3; ++i)
        db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?)")).addIntParam(i));

    const QString sql = QStringLiteral("select a from t where a >= ? order by a");
    Sqlite3Cursor outer = db.queryThrow(Sqlite3Sql(sql).addIntParam(1));
    QVERIFY(outer.moveNext());
    QCOMPARE(outer.getInt(QStringLiteral("a")), 1);
    {
        Sqlite3Cursor inner = db.queryThrow(Sqlite3Sql(sql).addIntParam(3));
        QVERIFY(inner.moveNext());
        QCOMPARE(inner.getInt(QStringLiteral("a")), 3);
        QVERIFY(!inner.moveNext());
    }
    QVERIFY(outer.moveNext());
    QCOMPARE(outer.getInt(QStringLiteral("a")), 2);
    QVERIFY(outer.moveNext());
    QCOMPARE(outer.getInt(QStringLiteral("a")), 3);
    QVERIFY(!outer.moveNext());
    // The extra statement for the inner cursor is gone again.
    QCOMPARE(liveStatementCount(db.handle()), db.cachedStatementCount());
}

void TestSqlite3Db::exhaustedCursorGivesItsStatementBack()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    const QString sql = QStringLiteral("select 1");
    Sqlite3Cursor first = db.queryThrow(sql);
    while (first.moveNext()) {
    }
    const int before = db.statementPrepareCount();
    Sqlite3Cursor second = db.queryThrow(sql);  // `first` is still alive, but done
    QVERIFY(second.moveNext());
    QCOMPARE(db.statementPrepareCount(), before);
}

void TestSqlite3Db::abandonedCursorDoesNotLockTheTable()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a)"));
    db.executeThrow(QStringLiteral("insert into t values(1)"));
    db.executeThrow(QStringLiteral("insert into t values(2)"));
    {
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select a from t"));
        QVERIFY(cursor.moveNext());
    }
    // A statement left mid-way would make this fail with "database table is locked".
    db.executeThrow(QStringLiteral("drop table t"));
    QVERIFY(db.tbInfo(QStringLiteral("t")).isEmpty());
}

void TestSqlite3Db::cacheCapacityBoundsPreparedStatements()
{
    Sqlite3DB db;
    db.setStatementCacheCapacity(4);
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table j(a, b)"));
    // Texts with substituted row ids are all different.
    for (int i = 0; i < 50; ++i)
        db.executeThrow(QStringLiteral("insert into j values(%1, %2)").arg(i).arg(i + 1));
    QCOMPARE(db.cachedStatementCount(), 4);
    QCOMPARE(liveStatementCount(db.handle()), 4);
    QCOMPARE(db.queryThrow(QStringLiteral("select * from j")).count(), 50);
}

void TestSqlite3Db::closeFinalizesStatementsAndLiveCursorFinishes()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a)"));
    db.executeThrow(QStringLiteral("insert into t values(1)"));
    db.executeThrow(QStringLiteral("insert into t values(2)"));
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select a from t order by a"));
    QVERIFY(cursor.moveNext());
    db.close();
    QVERIFY(!db.handle());
    QCOMPARE(db.cachedStatementCount(), 0);
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("a")), 2);
    QVERIFY(!cursor.moveNext());

    // The file is free again: another connection can change the schema.
    Sqlite3DB other;
    other.openThrow(dbPath(), 2);
    other.executeThrow(QStringLiteral("drop table t"));
}

void TestSqlite3Db::scriptRunsThroughExecuteAndExec()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table a(x); create table b(y);\ninsert into a values(1);"));
    QString errorText;
    QCOMPARE(db.exec(QStringLiteral("insert into b values(2); insert into b values(3);"), errorText),
             SQLITE_OK);
    QCOMPARE(db.queryThrow(QStringLiteral("select * from a")).count(), 1);
    QCOMPARE(db.queryThrow(QStringLiteral("select * from b")).count(), 2);
    // A query of several statements would silently drop the rest: refused.
    QVERIFY(!raisedText([&] { db.queryThrow(QStringLiteral("select 1; select 2")); }).isEmpty());
    // Trailing semicolons are not a second statement.
    QCOMPARE(db.queryThrow(QStringLiteral("select 1;")).count(), 1);
}

void TestSqlite3Db::countLeavesCursorPosition()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table t(a)"));
    for (int i = 0; i < 5; ++i)
        db.executeThrow(Sqlite3Sql(QStringLiteral("insert into t values(?)")).addIntParam(i));
    Sqlite3Cursor cursor =
        db.queryThrow(Sqlite3Sql(QStringLiteral("select a from t where a > ? order by a")).addIntParam(1));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("a")), 2);
    QCOMPARE(cursor.count(), 3);
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("a")), 3);
    QCOMPARE(Sqlite3Cursor().count(), 0);
}

void TestSqlite3Db::tbInfoListsColumnsAndTypes()
{
    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral(
        "create table handle(ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL, "
        "_photo BLOB, other_handle INTEGER DEFAULT -1)"));
    const QMap<QString, _SqliteCol> columns = db.tbInfo(QStringLiteral("handle"));
    QCOMPARE(columns.keys(), (QStringList{"ROWID", "_photo", "id", "other_handle"}));
    QCOMPARE(columns.value("_photo").type, QStringLiteral("BLOB"));
    QCOMPARE(columns.value("id").type, QStringLiteral("TEXT"));
    QVERIFY(columns.value("id").notnull);
    QCOMPARE(columns.value("ROWID").pk, 1);
    QCOMPARE(columns.value("other_handle").dflt_value, QStringLiteral("-1"));
    QCOMPARE(columns.value("other_handle").cid, 3);
    QVERIFY(db.tbInfo(QStringLiteral("no_such_table")).isEmpty());
}

void TestSqlite3Db::transactionsCommitAndRollBack()
{
    FileDb db(dbPath());
    db.ensureOpen();
    db.executeThrow(QStringLiteral("create table t(a)"));

    db.beginTransaction();
    QVERIFY(db.inTransaction());
    db.executeThrow(QStringLiteral("insert into t values(1)"));
    QCOMPARE(db.endTransaction(false), SQLITE_OK);
    QVERIFY(!db.inTransaction());
    QCOMPARE(db.queryThrow(QStringLiteral("select * from t")).count(), 0);

    db.beginTransaction();
    db.executeThrow(QStringLiteral("insert into t values(2)"));
    QCOMPARE(db.endTransaction(true), SQLITE_OK);
    db.close();

    Sqlite3DB reader;
    reader.openThrow(dbPath(), 1);
    Sqlite3Cursor cursor = reader.queryThrow(QStringLiteral("select a from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("a")), 2);
    QVERIFY(!cursor.moveNext());

    // A BEGIN inside a transaction fails and leaves the flag as it was.
    db.ensureOpen();
    QCOMPARE(db.beginTran(), SQLITE_OK);
    QVERIFY(!raisedText([&] { db.beginTransaction(); }).isEmpty());
    QVERIFY(!db.inTransaction());
    QCOMPARE(db.rollbackTran(), SQLITE_OK);
}

void TestSqlite3Db::endTransactionWithoutBeginDoesNothing()
{
    FileDb db(dbPath());
    QCOMPARE(db.endTransaction(true), SQLITE_OK);
    QCOMPARE(db.openCount, 0);  // not even opened
    QVERIFY(!db.isOpen());
}

void TestSqlite3Db::failedCommitRaisesAndRollsBack()
{
    FileDb db(dbPath());
    db.setBusyTimeoutMs(50);
    db.ensureOpen();
    db.executeThrow(QStringLiteral("create table t(a)"));
    db.executeThrow(QStringLiteral("insert into t values(0)"));

    Sqlite3DB reader;
    reader.openThrow(dbPath(), 1);
    Sqlite3Cursor reading = reader.queryThrow(QStringLiteral("select a from t"));
    QVERIFY(reading.moveNext());  // holds a shared lock, so the commit cannot finish

    db.beginTransaction();
    db.executeThrow(QStringLiteral("insert into t values(1)"));
    const QString error = raisedText([&] { db.endTransaction(true); });
    QVERIFY2(error.contains(QStringLiteral("locked")), qPrintable(error));
    QVERIFY(!db.inTransaction());
    QVERIFY(sqlite3_get_autocommit(db.handle()));  // no transaction left open

    QVERIFY(!reading.moveNext());
    QCOMPARE(db.queryThrow(QStringLiteral("select a from t")).count(), 1);
}

void TestSqlite3Db::closeClearsTheTransactionFlag()
{
    FileDb db(dbPath());
    db.beginTransaction();
    QVERIFY(db.inTransaction());
    db.close();
    QVERIFY(!db.inTransaction());
    QCOMPARE(db.endTransaction(true), SQLITE_OK);
}

void TestSqlite3Db::insertRowAndSelectAll()
{
    FileDb db(dbPath());
    db.ensureOpen();
    db.executeThrow(QStringLiteral(
        "create table m(ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT, body BLOB, n INTEGER, "
        "version INTEGER DEFAULT 10)"));
    Sqlite3Row row;
    row.insert(QStringLiteral("guid"), QStringLiteral("G1"));
    row.insert(QStringLiteral("body"), QByteArray("\x01\x02", 2));
    row.insert(QStringLiteral("n"), 5);
    QCOMPARE(db.insertRow(row, QStringLiteral("m")), 1);
    row[QStringLiteral("guid")] = QStringLiteral("G2");
    QCOMPARE(db.insertRow(row, QStringLiteral("m"), {QStringLiteral("guid")}), 2);

    const QList<Sqlite3Row> rows = db.selectAll(QStringLiteral("m"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].value("ROWID"), QVariant(qint64(1)));
    QCOMPARE(rows[0].value("guid"), QVariant(QStringLiteral("G1")));
    QCOMPARE(rows[0].value("body"), QVariant(QByteArray("\x01\x02", 2)));
    QCOMPARE(rows[0].value("n"), QVariant(qint64(5)));
    QCOMPARE(rows[0].value("version"), QVariant(qint64(10)));
    // Only the listed column was written; the rest took defaults or NULL.
    QCOMPARE(rows[1].value("guid"), QVariant(QStringLiteral("G2")));
    QVERIFY(!rows[1].value("n").isValid());
    QVERIFY(!rows[1].value("body").isValid());

    // A row read back can be written again as it is.
    Sqlite3Row copy = rows[0];
    copy.remove(QStringLiteral("rowid"));
    QVERIFY(!copy.contains(QStringLiteral("ROWID")));
    QCOMPARE(db.insertRow(copy, QStringLiteral("m")), 3);
    QCOMPARE(db.selectAll(QStringLiteral("m")).at(2).value("body"), QVariant(QByteArray("\x01\x02", 2)));
}

void TestSqlite3Db::insertSqlQuotesNamesAndSkipsMissingColumns()
{
    Sqlite3Row row;
    row.insert(QStringLiteral("replace"), 1);
    row.insert(QStringLiteral("text"), QStringLiteral("hi"));
    const Sqlite3Sql sql =
        row.insertSql(QStringLiteral("message"), {QStringLiteral("text"), QStringLiteral("absent"),
                                                  QStringLiteral("replace")});
    QCOMPARE(sql.sql(), QStringLiteral("insert into message(\"text\",\"replace\") values(?,?)"));
    QCOMPARE(sql.params(), (QList<QVariant>{QVariant(QStringLiteral("hi")), QVariant(qint64(1))}));

    Sqlite3DB db;
    db.openThrow(dbPath(), 6);
    db.executeThrow(QStringLiteral("create table message(text TEXT, replace INTEGER DEFAULT 0)"));
    db.executeThrow(sql);
    Sqlite3Cursor cursor = db.queryThrow(QStringLiteral("select * from message"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt(QStringLiteral("replace")), 1);
}

void TestSqlite3Db::busyDatabaseRaisesAfterTimeout()
{
    Sqlite3DB writer;
    writer.openThrow(dbPath(), 6);
    writer.executeThrow(QStringLiteral("create table t(a)"));
    QString errorText;
    QCOMPARE(writer.exec(QStringLiteral("BEGIN EXCLUSIVE"), errorText), SQLITE_OK);

    Sqlite3DB other;
    other.setBusyTimeoutMs(50);
    other.openThrow(dbPath(), 2);
    const QString error = raisedText([&] { other.executeThrow(QStringLiteral("insert into t values(1)")); });
    // Said in words; the statement means nothing to the user.
    QCOMPARE(error, QStringLiteral("The database is locked: another program is using it. Try again when it has "
                                   "finished."));
    QCOMPARE(writer.commitTran(), SQLITE_OK);
    other.executeThrow(QStringLiteral("insert into t values(1)"));
}

QTEST_GUILESS_MAIN(TestSqlite3Db)
#include "tst_sqlite3db.moc"
