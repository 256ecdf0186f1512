// Import of SMS Import/Export archives (a ZIP of messages.ndjson and the MMS
// part files): what the messages become, that a second import adds nothing,
// that a malformed archive is refused with what is wrong and where and
// leaves the database as it was, and that the ZIP reader never reads outside
// a damaged archive.

#include "app/AppFolders.h"
#include "import/ImportArchiveThread.h"
#include "import/ZipArchive.h"
#include "import/ZipEntryDevice.h"
#include "work/HeadlessProgress.h"

#include "ArchiveFixture.h"
#include "ImportedDatabase.h"
#include "ZipFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using archivetest::address;
using archivetest::line;
using archivetest::mms;
using archivetest::sms;
using importtest::Base;
using importtest::DatabaseContents;
using importtest::row;
using importtest::samplePicture;
using importtest::sorted;
using ziptest::ZipWriter;

namespace {

const QString Mmc = QStringLiteral("310");
const QString Marker = QString(QChar(0xFFFC));

// An MMS as later versions of the exporting app write it: the sender apart
// from the recipients.
QJsonObject senderApart(QJsonObject mms)
{
    QJsonArray recipients;
    for (const QJsonValue &entry : mms.take(QStringLiteral("__addresses")).toArray()) {
        if (entry.toObject().value(QStringLiteral("type")).toString() == QLatin1String("137"))
            mms.insert(QStringLiteral("__sender_address"), entry);
        else
            recipients.append(entry);
    }
    mms.insert(QStringLiteral("__recipient_addresses"), recipients);
    return mms;
}

// An archive of two texts, a group MMS that lists the phone (+15550109999)
// among its recipients, and a picture MMS with its text and layout whose one
// recipient tells the phone's number; `picture` is stored deflated under data/.
ZipWriter sampleArchive(const QByteArray &picture, bool senderApartFromRecipients = false)
{
    const auto mms = [&](qint64 dateMs, int box, const QJsonArray &parts, const QJsonArray &addresses) {
        const QJsonObject record = archivetest::mms(dateMs, box, parts, addresses);
        return senderApartFromRecipients ? senderApart(record) : record;
    };
    const QString partPath = QStringLiteral("/data/user/0/com.android.providers.telephony/app_parts/");
    QByteArray messages;
    messages += line(sms(Base, 1, "(212) 555-0101", QString::fromUtf8("Hi \xF0\x9F\x98\x80")));
    messages += line(sms(Base + 1000, 2, "212-555-0101", "Sent"));
    messages += line(mms(Base + 3000, 1, {QJsonObject{{"ct", "text/plain"}, {"text", "group hello"}}},
                         {address("+15550100003", 137), address("+15550100004", 151),
                          address("+15550109999", 151)}));
    messages += line(mms(Base + 2000, 1,
                         {QJsonObject{{"ct", "application/smil"}, {"text", "<smil/>"}},
                          QJsonObject{{"ct", "text/plain"}, {"text", "  Hello there \n"}, {"cl", "text_0.txt"}},
                          QJsonObject{{"ct", "image/jpeg"}, {"cl", "photo.jpg"}, {"_data", partPath + "PART_17000"}}},
                         {address("+15550100002", 137), address("+15550109999", 151)}));
    ZipWriter zip;
    zip.add("messages.ndjson", messages);
    zip.add("data/PART_17000", picture, false);
    return zip;
}

QStringList sampleRows(const QByteArray &picture)
{
    const QString number = QStringLiteral("+12125550101");
    const QString ann = QStringLiteral("+15550100002");
    // The phone is no member of its groups.
    const QString group = QStringLiteral("+15550100003, +15550100004");
    return sorted({row(number, 1, number, 0, 0, QString::fromUtf8("Hi \xF0\x9F\x98\x80")),
                   row(number, 1, number, 1, 1, "Sent"),
                   row(ann, 1, ann, 2, 0, "Hello there"),
                   row(ann, 1, ann, 2, 0, Marker, "image/jpeg", "photo.jpg", picture),
                   row(group, 2, "+15550100003", 3, 0, "group hello")});
}

// Reads every entry of the archive at `path` to its end; throws what the reader throws.
void readEverything(const QString &path, const QStringList &names)
{
    const ZipArchive archive(path);
    for (const QString &name : names) {
        const ZipEntry *entry = archive.entry(name);
        if (!entry)
            continue;
        const std::unique_ptr<ZipEntryDevice> device = archive.open(*entry);
        while (!device->read(4096).isEmpty()) {
        }
        if (device->damaged())
            throw std::runtime_error(device->errorString().toStdString());
    }
}

} // namespace

class TestArchiveImport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<importtest::ImportEnvironment> m_env;
    int m_folders = 0;

    QString newDatabaseFolder()
    {
        return localDatabasesDir().absoluteFilePath(QStringLiteral("Archive%1").arg(++m_folders));
    }

    QString save(const QByteArray &bytes)
    {
        const QString path = m_env->workPath(QStringLiteral("archive%1.zip").arg(++m_folders));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }

    struct Run
    {
        bool succeeded = false;
        QString error;
        qint64 records = 0;
        qint64 added = 0;
    };

    static Run import(const QString &zipPath, const QString &folder)
    {
        HeadlessProgress progress;
        ImportArchiveThread worker(zipPath, folder, Mmc, &progress);
        progress.runToEnd(worker);
        return Run{progress.succeeded(), progress.errorText(), worker.recordsRead(), worker.messagesAdded()};
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<importtest::ImportEnvironment>();
        QVERIFY(m_env->isValid());
    }

    void cleanupTestCase() { m_env.reset(); }

    void cleanup() { QCOMPARE(m_env->temporaryFilesLeft(), QStringList()); }

    void messagesOfTheArchive_data()
    {
        QTest::addColumn<bool>("senderApart");
        QTest::newRow("addresses in one list") << false;
        QTest::newRow("sender apart from the recipients") << true;
    }

    void messagesOfTheArchive()
    {
        QFETCH(bool, senderApart);
        const QByteArray picture = samplePicture(60000, 1);
        const QString path = save(sampleArchive(picture, senderApart).bytes());
        const QString folder = newDatabaseFolder();
        const Run run = import(path, folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(run.records, 4);
        QCOMPARE(DatabaseContents(folder).rows(), sampleRows(picture));

        const QStringList before = DatabaseContents(folder).snapshot();
        const Run second = import(path, folder);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QCOMPARE(second.added, 0);
        QCOMPARE(DatabaseContents(folder).snapshot().mid(1), before.mid(1));
    }

    void malformedArchiveIsRefused_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("error");
        const QByteArray picture = samplePicture(5000, 2);
        ZipWriter badLine;
        badLine.add("messages.ndjson", line(sms(Base, 1, "+15550100001", "fine")) + "{\"date\": \n");
        QTest::newRow("line not JSON") << badLine.bytes() << "messages.ndjson, line 2: not a JSON object";
        ZipWriter badDate;
        badDate.add("messages.ndjson", line(sms(Base, 1, "+15550100001", "fine")) + "\n"
                                           + line({{"address", "+1555"}, {"date", "soon"}, {"body", "x"}}));
        QTest::newRow("bad date") << badDate.bytes() << "messages.ndjson, line 3: the message has no valid date.";
        ZipWriter noPart;
        noPart.add("messages.ndjson",
                   line(mms(Base, 1, {QJsonObject{{"ct", "image/png"}, {"_data", "/x/PART_9"}}},
                            {address("+15550100002", 137)})));
        QTest::newRow("part file missing") << noPart.bytes()
                                           << "messages.ndjson, line 1: the part file data/PART_9 is not in the archive.";
        ZipWriter noMessages;
        noMessages.add("other.json", "{}");
        QTest::newRow("no messages") << noMessages.bytes() << "holds no messages.ndjson";
        const QByteArray whole = sampleArchive(picture).bytes();
        QTest::newRow("cut short") << whole.left(whole.size() / 2) << "has no ZIP table of contents";
        QByteArray damaged = whole;
        damaged[60] = char(damaged[60] ^ 0x55);  // inside the deflated messages.ndjson
        QTest::newRow("damaged data") << damaged << "messages.ndjson";
    }

    void malformedArchiveIsRefused()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, error);
        static QString folder;
        if (folder.isEmpty()) {
            folder = newDatabaseFolder();
            QVERIFY(import(save(sampleArchive(samplePicture(3000, 3)).bytes()), folder).succeeded);
        }
        const QStringList before = DatabaseContents(folder).snapshot();
        const QString path = save(archive);
        const Run run = import(path, folder);
        QVERIFY(!run.succeeded);
        QVERIFY2(run.error.contains(error.toHtmlEscaped()), qPrintable(run.error));
        QCOMPARE(DatabaseContents(folder).snapshot(), before);
        const QString fresh = newDatabaseFolder();
        QVERIFY(!import(path, fresh).succeeded);
        QVERIFY(!QFileInfo::exists(fresh));
    }

    // Every prefix of an archive, and every byte of it changed, is read or
    // refused, never read outside its bounds (the sanitizer builds tell).
    void zipReaderStaysWithinDamagedArchives()
    {
        const QByteArray whole = sampleArchive(samplePicture(2000, 4)).bytes();
        const QStringList names{"messages.ndjson", "data/PART_17000"};
        const QString path = m_env->workPath("damaged.zip");
        int refused = 0;
        for (qsizetype i = 0; i < whole.size(); i += 7) {
            for (const QByteArray &variant : {whole.left(i), QByteArray(whole).replace(i, 1, "\xff")}) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
                file.write(variant);
                file.close();
                try {
                    readEverything(path, names);
                } catch (const std::runtime_error &) {
                    ++refused;
                }
            }
        }
        QVERIFY(refused > 0);
    }
};

QTEST_GUILESS_MAIN(TestArchiveImport)
#include "tst_archiveimport.moc"
