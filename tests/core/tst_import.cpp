// Import of SMS Backup & Restore XML files: what messages become, the repair
// of surrogate character references wherever the read chunks end, no
// duplicates on a second import or a later download of the same phone, and
// that failed or cancelled imports leave the database as it was.

#include "core/FileChecks.h"
#include "android/AgentConnection.h"
#include "android/AndroidDevice.h"
#include "android/AndroidLoadSMSThread.h"
#include "android/SimpleProtocol.h"
#include "app/AppFolders.h"
#include "app/RichText.h"
#include "ops/BackupSMSThread.h"
#include "work/HeadlessProgress.h"
#include "import/ImportArchiveThread.h"
#include "import/ImportSmsBackupThread.h"
#include "import/XmlCharRefFilter.h"
#include "import/XmlPartDataDiverter.h"
#include "store/IOS6MessageDb.h"
#include "store/MsgDataSet.h"
#include "store/Sqlite3DB.h"

#include "ArchiveFixture.h"
#include "ImportedDatabase.h"
#include "StandInTools.h"
#include "ZipFixture.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Mmc = QStringLiteral("310");
const QString Marker = QString(QChar(0xFFFC));
using importtest::Base;
using importtest::DatabaseContents;
using importtest::row;
using importtest::samplePicture;
using importtest::sorted;

QByteArray attribute(const QString &value)
{
    return value.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("&#10;")).toUtf8();
}

// A backup file written from the format's attributes.
class BackupXml
{
public:
    struct Part
    {
        QString mime;
        QString name;  // written as "cl"; "name" says "null" as the app writes it
        QString text;
        QByteArray data;
    };

    // `rawBody` is put in as it is, so tests can write character references.
    void sms(qint64 dateMs, int type, const QString &address, const QByteArray &rawBody,
             const QString &contactName = QStringLiteral("(Unknown)"))
    {
        m_body += "  <sms protocol=\"0\" address=\"" + attribute(address) + "\" date=\"" + QByteArray::number(dateMs)
            + "\" type=\"" + QByteArray::number(type) + "\" subject=\"null\" body=\"" + rawBody
            + "\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\""
              " readable_date=\"Nov 14, 2023 10:13:20 PM\" contact_name=\""
            + attribute(contactName) + "\" />\n";
        ++m_count;
    }

    void mms(qint64 dateMs, int box, const QString &address, const QList<Part> &parts,
             const QList<QPair<QString, int>> &addrs = {})
    {
        m_body += "  <mms date=\"" + QByteArray::number(dateMs) + "\" msg_box=\"" + QByteArray::number(box)
            + "\" address=\"" + attribute(address) + "\" m_type=\"" + (box == 1 ? "132" : "128")
            + "\" sub=\"null\" ct_t=\"application/vnd.wap.multipart.related\" text_only=\"0\" read=\"1\">\n"
              "    <parts>\n";
        int seq = 0;
        for (const Part &part : parts) {
            m_body += "      <part seq=\"" + QByteArray::number(seq++) + "\" ct=\"" + attribute(part.mime)
                + "\" name=\"null\" chset=\"106\" cd=\"null\" fn=\"null\" cid=\"&lt;" + attribute(part.name)
                + "&gt;\" cl=\"" + attribute(part.name) + "\"";
            if (!part.data.isEmpty())
                m_body += " data=\"" + part.data.toBase64() + "\"";
            else
                m_body += " text=\"" + attribute(part.text) + "\"";
            m_body += " />\n";
        }
        m_body += "    </parts>\n    <addrs>\n";
        for (const auto &addr : addrs) {
            m_body += "      <addr address=\"" + attribute(addr.first) + "\" type=\""
                + QByteArray::number(addr.second) + "\" charset=\"106\" />\n";
        }
        m_body += "    </addrs>\n  </mms>\n";
        ++m_count;
    }

    QByteArray document() const
    {
        return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<!--File Created By SMS Backup & "
               "Restore-->\n<smses count=\""
            + QByteArray::number(m_count) + "\" backup_date=\"1700000000000\" type=\"full\">\n" + m_body
            + "</smses>\n";
    }

    void save(const QString &path) const
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(document());
    }

private:
    QByteArray m_body;
    int m_count = 0;
};

const QString SmilText = QStringLiteral("<smil><body><par><img src=\"photo.jpg\"/></par></body></smil>");
const QByteArray VCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nTEL:+15550100007\r\nEND:VCARD\r\n";

QByteArray filtered(const QByteArray &input, qint64 chunkSize)
{
    QBuffer source;
    source.setData(input);
    source.open(QIODevice::ReadOnly);
    XmlCharRefFilter filter(&source);
    filter.setChunkSize(chunkSize);
    QByteArray output;
    char buffer[3];  // small reads as well
    for (;;) {
        const qint64 n = filter.read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        output.append(buffer, n);
    }
    return output;
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<importtest::ImportEnvironment> m_env;
    int m_databases = 0;
    int m_phoneDownloads = 0;

    QString newDatabaseFolder()
    {
        return localDatabasesDir().absoluteFilePath(QStringLiteral("Imported%1").arg(++m_databases));
    }

    QString save(const BackupXml &xml, const QString &name)
    {
        const QString path = m_env->workPath(name);
        xml.save(path);
        return path;
    }

    struct Run
    {
        bool succeeded = false;
        QString error;
        qint64 records = 0;
        qint64 added = 0;
        QString summary;
    };

    static Run import(const QString &xmlPath, const QString &folder,
                      const std::function<void(HeadlessProgress &)> &setUp = {})
    {
        HeadlessProgress progress;
        if (setUp)
            setUp(progress);
        ImportSmsBackupThread worker(xmlPath, folder, Mmc, &progress);
        progress.runToEnd(worker);
        return Run{progress.succeeded(), progress.errorText(), worker.recordsRead(), worker.messagesAdded(),
                   progress.resultText()};
    }

    // The messages of sameMessagesFromEverySourceAreStoredOnce from `source`
    // ("xml", "phone" or "archive") merged into the database at `folder`.
    bool bringIn(const QString &source, const QString &folder, const QByteArray &photo, const QByteArray &groupPhoto)
    {
        if (source == "xml")
            return import(save(sameMessagesXml(photo, groupPhoto), "same.xml"), folder).succeeded;
        if (source == "archive") {
            HeadlessProgress progress;
            ImportArchiveThread worker(saveArchive(sameMessagesArchive(photo, groupPhoto)), folder, Mmc, &progress);
            progress.runToEnd(worker);
            return progress.succeeded();
        }
        return downloadAndBackUp(samePhoneStore(photo, groupPhoto), folder);
    }

    static BackupXml sameMessagesXml(const QByteArray &photo, const QByteArray &groupPhoto)
    {
        BackupXml xml;
        xml.sms(Base, 1, QStringLiteral("(212) 555-0101"), "Hi &#55357;&#56832;");
        xml.sms(Base + 1000, 2, QStringLiteral("2125550101"), "Sent");
        addPictureMms(xml, Base + 2000, photo);
        xml.mms(Base + 3000, 1, QStringLiteral("+15550100003~+15550100004"),
                {{"text/plain", "text_0.txt", "group hello", {}}, {"image/jpeg", "group.jpg", {}, groupPhoto}},
                {{"+15550100003", 137}, {"+15550100004", 151}, {"+15550109999", 151}});
        xml.mms(Base + 4000, 2, QStringLiteral("+15550100004~+15550100003"),
                {{"text/plain", "text_0.txt", "group answer", {}}},
                {{"insert-address-token", 137}, {"+15550100003", 151}, {"+15550100004", 151}});
        return xml;
    }

    static QByteArray sameMessagesArchive(const QByteArray &photo, const QByteArray &groupPhoto)
    {
        using archivetest::address;
        using archivetest::line;
        using archivetest::mms;
        const auto text = [](const QString &body) {
            return QJsonObject{{"ct", "text/plain"}, {"text", body}, {"cl", "text_0.txt"}};
        };
        const auto picture = [](const QString &name, const QString &file) {
            return QJsonObject{{"ct", "image/jpeg"}, {"cl", name}, {"_data", "/data/app_parts/" + file}};
        };
        QByteArray messages;
        messages += line(archivetest::sms(Base, 1, "(212) 555-0101", QString::fromUtf8("Hi \xF0\x9F\x98\x80")));
        messages += line(archivetest::sms(Base + 1000, 2, "2125550101", "Sent"));
        messages += line(mms(Base + 2000, 1,
                             {QJsonObject{{"ct", "application/smil"}, {"text", SmilText}}, text("  Hello there \n"),
                              picture("photo.jpg", "PART_1"),
                              QJsonObject{{"ct", "text/x-vCard"}, {"cl", "Bob.vcf"},
                                          {"_data", "/data/app_parts/PART_3"}}},
                             {address("+15550100002", 137), address("+15550109999", 151)}));
        messages += line(mms(Base + 3000, 1, {text("group hello"), picture("group.jpg", "PART_2")},
                             {address("+15550100003", 137), address("+15550100004", 151),
                              address("+15550109999", 151)}));
        messages += line(mms(Base + 4000, 2, {text("group answer")},
                             {address("insert-address-token", 137), address("+15550100003", 151),
                              address("+15550100004", 151)}));
        ziptest::ZipWriter zip;
        zip.add("messages.ndjson", messages);
        zip.add("data/PART_1", photo, false);
        zip.add("data/PART_2", groupPhoto, false);
        zip.add("data/PART_3", VCard);
        return zip.bytes();
    }

    // The simulated phone's store folder; a group's numbers are the other members.
    QString samePhoneStore(const QByteArray &photo, const QByteArray &groupPhoto)
    {
        const QString store = m_env->workPath("phone");
        if (QFileInfo::exists(store + "/messages.jsonl"))
            return store;
        QDir().mkpath(store + "/parts");
        const auto part = [&store](const QString &mime, const QString &name, const QByteArray &bytes) {
            QFile file(store + "/parts/" + name);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
            return QJsonObject{{"mime", mime}, {"name", name}, {"file", "parts/" + name}};
        };
        const QList<QJsonObject> phoneMessages{
            {{"date", Base}, {"sent", false}, {"addresses", QJsonArray{"(212) 555-0101"}}, {"text", "Hi \U0001F600"}},
            {{"date", Base + 1000}, {"sent", true}, {"addresses", QJsonArray{"2125550101"}}, {"text", "Sent"}},
            {{"date", Base + 2000}, {"sent", false}, {"addresses", QJsonArray{"+15550100002"}}, {"text", ""},
             {"parts", QJsonArray{part("application/smil", "smil.xml", SmilText.toUtf8()),
                                  part("text/plain", "text_0.txt", "  Hello there \n"),
                                  part("image/jpeg", "photo.jpg", photo),
                                  part("text/x-vCard", "Bob.vcf", VCard)}}},
            {{"date", Base + 3000}, {"sent", false}, {"addresses", QJsonArray{"+15550100003", "+15550100004"}},
             {"name", "Cy"}, {"text", ""},
             {"parts", QJsonArray{part("text/plain", "text_1.txt", "group hello"),
                                  part("image/jpeg", "group.jpg", groupPhoto)}}},
            {{"date", Base + 4000}, {"sent", true}, {"addresses", QJsonArray{"+15550100004", "+15550100003"}},
             {"text", ""}, {"parts", QJsonArray{part("text/plain", "text_2.txt", "group answer")}}}};
        QFile messages(store + "/messages.jsonl");
        if (messages.open(QIODevice::WriteOnly)) {
            for (const QJsonObject &message : phoneMessages)
                messages.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
        }
        return store;
    }

    // Downloads the phone into a cache of its own, then backs that up into `folder`.
    bool downloadAndBackUp(const QString &store, const QString &folder)
    {
        if (!QFileInfo(standInTool("agent-sim")).isExecutable())
            return false;
        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        SimulatedPhone phone(store);
        if (!phone.start())
            return false;
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = phone.launcherPort();
        device.imei = QStringLiteral("phone%1").arg(++m_phoneDownloads);
        device.mmc = Mmc;
        HeadlessProgress download;
        AndroidLoadSMSThread loader(&device, &download);
        download.runToEnd(loader);
        simpleprotocol::setAgentPortSource({});
        if (!download.succeeded())
            return false;

        IOS6MessageDb cache(loader.cacheFolder(), Mmc);
        MsgDataSet set;
        cache.messages(set, 0);
        cache.close();
        const MsgMessageList list(set.messages.begin(), set.messages.end());
        HeadlessProgress backup;
        BackupSMSThread writer(list, folder, QString(), &backup);
        backup.runToEnd(writer);
        return backup.succeeded();
    }

    QString saveArchive(const QByteArray &bytes) const
    {
        const QString path = m_env->workPath("same.zip");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
        return path;
    }

    // A picture MMS with text, a contact card and its layout.
    static void addPictureMms(BackupXml &xml, qint64 dateMs, const QByteArray &picture)
    {
        xml.mms(dateMs, 1, QStringLiteral("+15550100002"),
                {{"application/smil", "smil.xml", SmilText, {}},
                 {"text/plain", "text_0.txt", "  Hello there \n", {}},
                 {"image/jpeg", "photo.jpg", {}, picture},
                 {"text/x-vCard", "Bob.vcf", {}, VCard}},
                {{"+15550100002", 137}, {"+15550109999", 151}});
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<importtest::ImportEnvironment>();
        QVERIFY(m_env->isValid());
    }

    void cleanupTestCase() { m_env.reset(); }

    void cleanup() { QCOMPARE(m_env->temporaryFilesLeft(), QStringList()); }

    void surrogateReferencesAreMendedWhereverChunksEnd_data()
    {
        QTest::addColumn<qint64>("chunkSize");
        for (const qint64 size : {1, 2, 3, 5, 7, 8, 9, 13, 4096})
            QTest::addRow("chunk %lld", size) << size;
    }

    void surrogateReferencesAreMendedWhereverChunksEnd()
    {
        QFETCH(qint64, chunkSize);
        const QByteArray input = "a&#55357;&#56832;b &#xD83D;&#xDE00; &#56832;c&#55357;&amp;d&#55357;x"
                                 "&#x1F600;&#1;&#9;&#1234567890;&#55357;";
        const QByteArray expected = "a&#128512;b &#128512; &#65533;c&#65533;&amp;d&#65533;x"
                                    "&#x1F600;&#65533;&#9;&#1234567890;&#65533;";
        QCOMPARE(filtered(input, chunkSize), expected);
    }

    void partDataIsDivertedWhereverChunksEnd_data() { surrogateReferencesAreMendedWhereverChunksEnd_data(); }

    void partDataIsDivertedWhereverChunksEnd()
    {
        QFETCH(qint64, chunkSize);
        QBuffer source;
        source.setData("<?xml version='1.0'?>\n<!-- <part data=\"QQ==\"> isn't one -->\n<smses>"
                       "<part ct=\"image/png\" data=\"QUJD\nREVG\" /><part text='data=\"x\"' data = 'R0hJ'/>"
                       "<sms body=\"data=&quot;no&quot;\" data=\"TUFO\"/><partx data=\"TUFO\"/></smses>");
        source.open(QIODevice::ReadOnly);
        XmlPartDataDiverter diverter(&source);
        diverter.setChunkSize(chunkSize);
        QCOMPARE(diverter.readAll(),
                 QByteArray("<?xml version='1.0'?>\n<!-- <part data=\"QQ==\"> isn't one -->\n<smses>"
                            "<part ct=\"image/png\" data=\"@part:0\n\" /><part text='data=\"x\"' data = '@part:1'/>"
                            "<sms body=\"data=&quot;no&quot;\" data=\"TUFO\"/><partx data=\"TUFO\"/></smses>"));
        QVERIFY(diverter.atEnd());
        qint64 bytes = 0;
        const std::unique_ptr<TemporaryPartFile> first = diverter.takePart(u"@part:0 ", &bytes);
        QVERIFY(first);
        QCOMPARE(bytes, 6);
        QCOMPARE(first->text(), QStringLiteral("ABCDEF"));
        const std::unique_ptr<TemporaryPartFile> second = diverter.takePart(u"@part:1", &bytes);
        QVERIFY(second);
        QCOMPARE(second->text(), QStringLiteral("GHI"));
        QVERIFY(!diverter.takePart(u"@part:0", &bytes));
    }

    void smsOfBothDirections()
    {
        BackupXml xml;
        xml.sms(Base, 1, QStringLiteral("(212) 555-0101"), "Hi &#55357;&#56832; &amp; &lt;b&gt;");
        xml.sms(Base + 1000, 2, QStringLiteral("212-555-0101"), "Sent");
        xml.sms(Base + 2000, 5, QStringLiteral("+15550100009"), "Failed to go");
        xml.sms(Base + 3000, 1, QStringLiteral("Bank"), "line one&#10;line two", QStringLiteral("My Bank"));
        const QString folder = newDatabaseFolder();
        const Run run = import(save(xml, "sms.xml"), folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(run.records, 4);
        const QString number = QStringLiteral("+12125550101");
        QCOMPARE(DatabaseContents(folder).rows(),
                 sorted({row("+15550100009", 1, "+15550100009", 2, 1, "Failed to go"),
                              row(number, 1, number, 0, 0, QString::fromUtf8("Hi \xF0\x9F\x98\x80 & <b>")),
                              row(number, 1, number, 1, 1, "Sent"),
                              row("bank", 1, "bank", 3, 0, "line one\nline two")}));
        // "(Unknown)" is no name: the number stands for itself.
        QCOMPARE(DatabaseContents(folder).handleNames(),
                 QStringList({"+12125550101|", "+15550100009|", "bank|My Bank"}));
    }

    void mmsPartsAndGroups()
    {
        const QByteArray picture = samplePicture(60000, 1);
        BackupXml xml;
        addPictureMms(xml, Base, picture);
        // Received in a group: attributed to its sender, kept with all members.
        xml.mms(Base + 1000, 1, QStringLiteral("+15550100003~+15550100004"),
                {{"text/plain", "text_0.txt", "group hello", {}}},
                {{"+15550100003", 137}, {"+15550100004", 151}, {"+15550109999", 151}});
        // Sent to the same group, and at the same moment to another one.
        xml.mms(Base + 2000, 2, QStringLiteral("+15550100004~+15550100003"),
                {{"text/plain", "text_0.txt", "group answer", {}}},
                {{"insert-address-token", 137}, {"+15550100003", 151}, {"+15550100004", 151}});
        xml.mms(Base + 2000, 2, QStringLiteral("+15550100005~+15550100006"),
                {{"text/plain", "text_0.txt", "group answer", {}}},
                {{"insert-address-token", 137}, {"+15550100005", 151}, {"+15550100006", 151}});
        const QString folder = newDatabaseFolder();
        const Run run = import(save(xml, "mms.xml"), folder);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        const QString group = QStringLiteral("+15550100003, +15550100004");
        const QString otherGroup = QStringLiteral("+15550100005, +15550100006");
        const QString ann = QStringLiteral("+15550100002");
        QCOMPARE(DatabaseContents(folder).rows(),
                 sorted({row(ann, 1, ann, 0, 0, Marker, "image/jpeg", "photo.jpg", picture),
                              row(ann, 1, ann, 0, 0, Marker, "text/x-vCard", "Bob.vcf", VCard),
                              row(ann, 1, ann, 0, 0, "Hello there"),
                              row(group, 2, "+15550100003", 1, 0, "group hello"),
                              row(group, 2, QString(), 2, 1, "group answer"),
                              row(otherGroup, 2, QString(), 2, 1, "group answer")}));
    }

    void secondImportAddsNothing()
    {
        BackupXml xml;
        xml.sms(Base, 1, QStringLiteral("+15550100001"), "once");
        xml.sms(Base, 1, QStringLiteral("+15550100001"), "once");  // the app's own duplicate
        addPictureMms(xml, Base + 1000, samplePicture(30000, 2));
        const QString path = save(xml, "twice.xml");
        const QString folder = newDatabaseFolder();
        QCOMPARE(import(path, folder).added, 4);
        const DatabaseContents contents(folder);
        const QStringList rows = contents.rows();
        const QStringList files = contents.snapshot().mid(1);
        const qint64 lastRowid = contents.count("select max(rowid) from message");
        QCOMPARE(rows.size(), 4);

        const Run second = import(path, folder);
        QVERIFY(second.succeeded);
        QCOMPARE(second.records, 3);
        QCOMPARE(second.added, 0);
        // Read and new count the same unit: the MMS's three parts and both SMS.
        QCOMPARE(second.summary, QStringLiteral("5 messages read, 0 of them new."));
        QCOMPARE(contents.rows(), rows);
        QCOMPARE(contents.snapshot().mid(1), files);
        QCOMPARE(contents.count("select max(rowid) from message"), lastRowid);
        QCOMPARE(contents.count("select count(*) from attachment"), 2);
    }

    // The same messages in each source: two texts, a picture MMS, an MMS a
    // group sent the phone (+15550109999, which the archive lists among the
    // group's recipients) with a picture, and one the phone sent the group.
    // Only the backup file and the archive say who in the group sent theirs.
    void sameMessagesFromEverySourceAreStoredOnce_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addRow("backup file, phone, archive") << QStringList{"xml", "phone", "archive"};
        QTest::addRow("phone, archive, backup file") << QStringList{"phone", "archive", "xml"};
        QTest::addRow("archive, backup file, phone") << QStringList{"archive", "xml", "phone"};
    }

    void sameMessagesFromEverySourceAreStoredOnce()
    {
        QFETCH(QStringList, sources);
        const QByteArray photo = samplePicture(50000, 3);
        const QByteArray groupPhoto = samplePicture(40000, 5);
        const QString folder = newDatabaseFolder();
        QVERIFY(bringIn(sources.first(), folder, photo, groupPhoto));
        const DatabaseContents contents(folder);
        const QString ann = QStringLiteral("+15550100002");
        const QString number = QStringLiteral("+12125550101");
        const QString group = QStringLiteral("+15550100003, +15550100004");
        const QString groupSender = sources.first() == "phone" ? QString() : QStringLiteral("+15550100003");
        QCOMPARE(contents.rows(),
                 sorted({row(number, 1, number, 0, 0, QString::fromUtf8("Hi \xF0\x9F\x98\x80")),
                         row(number, 1, number, 1, 1, "Sent"),
                         row(ann, 1, ann, 2, 0, "Hello there"),
                         row(ann, 1, ann, 2, 0, Marker, "image/jpeg", "photo.jpg", photo),
                         row(ann, 1, ann, 2, 0, Marker, "text/x-vCard", "Bob.vcf", VCard),
                         row(group, 2, groupSender, 3, 0, "group hello"),
                         row(group, 2, groupSender, 3, 0, Marker, "image/jpeg", "group.jpg", groupPhoto),
                         row(group, 2, QString(), 4, 1, "group answer")}));
        const QStringList rows = contents.rows();
        const QStringList files = contents.snapshot().mid(1);

        for (const QString &source : sources.mid(1)) {
            QVERIFY(bringIn(source, folder, photo, groupPhoto));
            QCOMPARE(contents.rows(), rows);
            QCOMPARE(contents.snapshot().mid(1), files);
        }
    }

    void malformedFileIsRefusedWithItsLine_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("error");
        const QByteArray head = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"2\">\n"
                                "  <sms address=\"+15550100001\" date=\"1700000000000\" type=\"1\" body=\"new\" />\n";
        QTest::newRow("mismatched tag") << head + "  <mms date=\"1700000001000\" msg_box=\"1\">\n  </sms>\n</smses>\n"
                                        << "Line 5: ";
        QTest::newRow("cut short") << head + "  <sms address=\"+15550100001\" date=\"17" << "Line 4: ";
        QTest::newRow("bad date") << head + "\n  <sms address=\"+1\" date=\"soon\" type=\"1\" body=\"x\" />\n</smses>\n"
                                  << "Line 5: the <sms> element has no valid date.";
        QTest::newRow("other root") << QByteArray("<?xml version='1.0'?>\n<html><sms/></html>\n") << "Line 2: ";
    }

    void malformedFileIsRefusedWithItsLine()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, error);
        // A database holding messages already; nothing of the bad file may reach it.
        static QString folder;
        if (folder.isEmpty()) {
            folder = newDatabaseFolder();
            BackupXml earlier;
            addPictureMms(earlier, Base, samplePicture(20000, 4));
            QVERIFY(import(save(earlier, "earlier.xml"), folder).succeeded);
        }
        const QStringList before = DatabaseContents(folder).snapshot();
        const QString path = m_env->workPath("bad.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(xml);
        file.close();

        const Run run = import(path, folder);
        QVERIFY(!run.succeeded);
        // The error is shown as rich text: its words stay literal.
        QVERIFY2(run.error.startsWith(richTextFromPlain(error)), qPrintable(run.error));
        QCOMPARE(DatabaseContents(folder).snapshot(), before);
        // Into a new database: none is made.
        const QString fresh = newDatabaseFolder();
        QVERIFY(!import(path, fresh).succeeded);
        QVERIFY(!QFileInfo::exists(fresh));
    }

    void cancelLeavesNothing()
    {
        const QString folder = newDatabaseFolder();
        BackupXml first;
        first.sms(Base, 1, QStringLiteral("+15550100001"), "before");
        QVERIFY(import(save(first, "first.xml"), folder).succeeded);
        const QStringList before = DatabaseContents(folder).snapshot();

        BackupXml many;
        for (int i = 0; i < 4000; ++i) {
            if (i % 500 == 0)
                addPictureMms(many, Base + i * 1000, samplePicture(20000, i));
            else
                many.sms(Base + i * 1000, 1 + i % 2, QStringLiteral("+1555010%1").arg(i % 50, 4, 10, QChar('0')), "x");
        }
        const Run run = import(save(many, "many.xml"), folder, [](HeadlessProgress &progress) {
            QObject::connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress](int count) {
                if (count == 2)
                    progress.cancel();
            });
        });
        QVERIFY(!run.succeeded);
        QVERIFY(run.error.isEmpty());
        QCOMPARE(DatabaseContents(folder).snapshot(), before);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
