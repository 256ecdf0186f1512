// Downloading a phone's messages into its cache database: completeness against
// the simulator's store (every record, every attachment byte), the incremental
// second download, pruning, and that interrupted, failed and cancelled
// downloads leave the cache exactly as it was. Odd records come from a
// scripted agent.

#include "core/FileChecks.h"
#include "android/AgentConnection.h"
#include "android/AndroidDevice.h"
#include "android/AndroidLoadSMSThread.h"
#include "android/Base64Decode.h"
#include "android/DownloadRecord.h"
#include "android/SimpleProtocol.h"
#include "app/AppFolders.h"
#include "country/CountryLibDb.h"
#include "work/HeadlessProgress.h"
#include "store/AttachmentBody.h"
#include "store/MessageIds.h"
#include "store/Sqlite3DB.h"

#include "ScriptedAgent.h"
#include "StandInTools.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>

namespace {

const QString Mmc = QStringLiteral("310");
const QChar Marker(0xFFFC);
const qint64 AppleEpoch = 978307200;

QByteArray b64(const QString &text)
{
    return text.toUtf8().toBase64();
}

// "$sms:" argument: time, direction, number, name, text, subject[, count].
QByteArray record(qint64 timeMs, const QByteArray &direction, const QString &number, const QString &text,
                  int attachments = -1, const QString &name = QString(), const QString &subject = QString())
{
    QByteArray line = QByteArray::number(timeMs) + ',' + direction + ',' + b64(number) + ',' + b64(name) + ','
        + b64(text) + ',' + b64(subject);
    if (attachments >= 0)
        line += ',' + QByteArray::number(attachments);
    return line;
}

QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// One stored message as text: everything a download decides about it.
QString messageRow(const QString &address, qint64 date, int fromMe, const QString &text, const QString &subject,
                   const QString &mime = QString(), const QString &name = QString(),
                   const QByteArray &bytesMd5 = QByteArray())
{
    return QStringList{address, QString::number(date), QString::number(fromMe), text, subject, mime, name,
                       QString::fromLatin1(bytesMd5)}
        .join(QChar(0x1F));
}

// The simulator's store: messages.jsonl lines and part files.
class PhoneStoreFile
{
public:
    explicit PhoneStoreFile(QString folder) : m_folder(std::move(folder)) {}

    QList<QJsonObject> messages() const
    {
        QList<QJsonObject> list;
        QFile file(m_folder + "/messages.jsonl");
        if (!file.open(QIODevice::ReadOnly))
            return list;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (!line.isEmpty())
                list.append(QJsonDocument::fromJson(line).object());
        }
        return list;
    }

    void setMessages(const QList<QJsonObject> &messages) const
    {
        QFile file(m_folder + "/messages.jsonl");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const QJsonObject &message : messages)
            file.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    }

    // A part file with these bytes; returns its store-relative name.
    QString addPart(const QString &fileName, const QByteArray &bytes) const
    {
        const QString relative = "parts/extra_" + fileName;
        QFile file(m_folder + '/' + relative);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return relative;
    }

    QByteArray partBytes(const QString &relative) const
    {
        QFile file(m_folder + '/' + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    qint64 partBytesTotal() const
    {
        qint64 total = 0;
        for (const QJsonObject &message : messages()) {
            for (const QJsonValue &part : message.value("parts").toArray())
                total += QFileInfo(m_folder + '/' + part.toObject().value("file").toString()).size();
        }
        return total;
    }

    // What the cache must hold for this store, one row per stored message.
    QSet<QString> expectedRows(CountryLibDb &countries) const
    {
        QSet<QString> rows;
        for (const QJsonObject &message : messages()) {
            // A group's messages are stored under its members' numbers, sorted.
            QStringList members;
            for (const QJsonValue &address : message.value("addresses").toArray())
                members.append(countries.normalise(address.toString()));
            members.removeDuplicates();
            members.sort();
            const QString address = members.join(", ");
            const qint64 date = message.value("date").toInteger() / 1000 - AppleEpoch;
            const int fromMe = message.value("sent").toBool() ? 1 : 0;
            const QString text = message.value("text").toString();
            const QString subject = message.value("subject").toString();
            const QJsonArray parts = message.value("parts").toArray();
            if (parts.isEmpty()) {
                rows.insert(messageRow(address, date, fromMe, text, subject));
                continue;
            }
            if (!QString(text).remove(Marker).isEmpty())
                rows.insert(messageRow(address, date, fromMe, QString(text).remove(Marker), subject));
            for (const QJsonValue &value : parts) {
                const QJsonObject part = value.toObject();
                const QString mime = part.value("mime").toString();
                const QByteArray bytes = partBytes(part.value("file").toString());
                if (mime.startsWith("application/", Qt::CaseInsensitive))
                    continue;
                if (mime.compare("text/plain", Qt::CaseInsensitive) == 0) {
                    const QString partText = QString::fromUtf8(bytes).trimmed();
                    if (!partText.isEmpty())
                        rows.insert(messageRow(address, date, fromMe, partText, subject));
                    continue;
                }
                rows.insert(messageRow(address, date, fromMe, QString(Marker), subject, mime,
                                       part.value("storedName").toString(part.value("name").toString()),
                                       md5(bytes)));
            }
        }
        return rows;
    }

private:
    QString m_folder;
};

// The phone's cache database and attachment files, read back.
class CacheContents
{
public:
    explicit CacheContents(const QString &folder) : m_folder(folder) {}

    QString databasePath() const { return m_folder + "/file-relay/var/mobile/Library/SMS/sms.db"; }

    QList<QString> rows() const
    {
        Sqlite3DB db;
        db.openThrow(databasePath(), Sqlite3DB::OpenReadOnly);
        QList<QString> rows;
        Sqlite3Cursor cursor = db.queryThrow(QStringLiteral(
            "select h.id, m.date, m.is_from_me, m.text, m.subject, a.mime_type, a.transfer_name, a.filename,"
            " c.chat_identifier, c.guid, (select count(*) from chat_handle_join where chat_id=c.rowid) as members"
            " from message m join chat_message_join cm on cm.message_id=m.rowid join chat c on c.rowid=cm.chat_id"
            " left join handle h on h.rowid=m.handle_id"
            " left join message_attachment_join ma on ma.message_id=m.rowid"
            " left join attachment a on a.rowid=ma.attachment_id"));
        while (cursor.moveNext()) {
            const QString filename = cursor.getText("filename");
            const QString address = cursor.getText("id");
            const QString identifier = cursor.getText("chat_identifier");
            const QString guid = cursor.getText("guid");
            // Every message sits in the chat of its own number, or in its
            // group's chat from no one: the phone does not say which member
            // sent what it received.
            const bool ownChat = identifier == address && guid == "SMS;-;" + address;
            const bool groupChat = address.isEmpty() && guid == "SMS;+;" + identifier && cursor.getInt("members") > 1;
            const QString chat = ownChat || groupChat ? identifier : QStringLiteral("wrong chat %1").arg(guid);
            rows.append(messageRow(chat, cursor.getInt64("date"), cursor.getInt("is_from_me"),
                                   cursor.getText("text"), cursor.getText("subject"), cursor.getText("mime_type"),
                                   cursor.getText("transfer_name"),
                                   filename.isEmpty() ? QByteArray() : fileMd5(attachmentFile(filename))));
        }
        return rows;
    }

    qint64 count(const QString &sql) const { return databaseScalar(databasePath(), sql); }

    QString attachmentFile(const QString &filename) const
    {
        QString relative = filename;
        relative.replace(QLatin1String("~/"), QLatin1String("var/mobile/"));
        return m_folder + "/file-relay/" + relative;
    }

    // The database bytes and every file below the cache folder with its size.
    struct Snapshot
    {
        QByteArray database;
        QStringList files;
        bool operator==(const Snapshot &other) const { return database == other.database && files == other.files; }
    };

    Snapshot snapshot() const
    {
        Snapshot snapshot;
        QFile file(databasePath());
        if (file.open(QIODevice::ReadOnly))
            snapshot.database = file.readAll();
        QDirIterator it(m_folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            snapshot.files.append(path.mid(m_folder.size()) + ' ' + QString::number(it.fileInfo().size()));
        }
        snapshot.files.sort();
        return snapshot;
    }

private:
    QString m_folder;
};

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QTemporaryDir m_work;
    QByteArray m_savedHome;
    QByteArray m_savedTmp;
    QString m_tmp;
    QString m_template;
    int m_phones = 0;
    std::unique_ptr<CountryLibDb> m_countries;

    // A fresh copy of the generated phone, served by a new store folder.
    QString newStore()
    {
        const QString folder = m_work.filePath(QStringLiteral("phone%1").arg(++m_phones));
        copyFolder(m_template, folder);
        return folder;
    }

    AndroidDevice wifiDevice(int launcherPort, const QString &imei) const
    {
        AndroidDevice device;
        device.viaWifi = true;
        device.host = QStringLiteral("127.0.0.1");
        device.port = launcherPort;
        device.imei = imei;
        device.mmc = Mmc;
        return device;
    }

    struct Run
    {
        QString error;
        bool succeeded = false;
        int minimumValue = 0;
        int maximumValue = 0;
        QString lastText;
        QString lastRecordText;  // the last "sms: n/total"
        QString cacheFolder;
    };

    Run download(const AndroidDevice &device, const std::function<void(HeadlessProgress &)> &setUp = {})
    {
        HeadlessProgress progress;
        if (setUp)
            setUp(progress);
        QString lastRecordText;
        connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress, &lastRecordText] {
            if (progress.progressText().startsWith(QLatin1String("sms: ")))
                lastRecordText = progress.progressText();
        });
        AndroidLoadSMSThread worker(&device, &progress);
        progress.runToEnd(worker);
        return Run{progress.errorText(),   progress.succeeded(),   progress.minimumValue(), progress.maximumValue(),
                   progress.progressText(), lastRecordText, worker.cacheFolder()};
    }

    QStringList leftoverTemporaryFiles() const
    {
        return QDir(m_tmp).entryList(QDir::Files | QDir::Hidden);
    }

    static QStringList sorted(QList<QString> rows)
    {
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    static QStringList sorted(const QSet<QString> &rows) { return sorted(QList<QString>(rows.begin(), rows.end())); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_work.isValid());
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        resetDataRootCacheForTests();
        QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
        useStandInAdb();

        // A phone with texts in many scripts, pictures, stickers, contact
        // cards, text/plain parts, SMIL layouts and group conversations.
        m_template = m_work.filePath("template");
        QVERIFY(SimulatedPhone::generate(m_template, {"--messages", "400", "--contacts", "24", "--pictures", "12",
                                                      "--picture-kb", "40", "--seed", "11", "--mmc", Mmc}));
        addHandMadeMessages(PhoneStoreFile(m_template));

        // Temporary files of the downloads land here, where the tests can see them.
        m_tmp = m_work.filePath("tmp");
        QDir().mkpath(m_tmp);
        m_savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp));

        simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
        AgentTimings timings;
        timings.connectTimeoutMs = 5000;
        timings.attemptTimeoutMs = 1000;
        timings.retryPauseMs = 20;
        setAgentTimings(timings);
        m_countries = std::make_unique<CountryLibDb>(Mmc);
    }

    void cleanupTestCase()
    {
        m_countries.reset();
        simpleprotocol::setAgentPortSource({});
        setAgentTimings(AgentTimings());
        qputenv("TMPDIR", m_savedTmp);
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    void cleanup()
    {
        QCOMPARE(leftoverTemporaryFiles(), QStringList());
    }

    // Parts whose names and types test the naming and discarding rules.
    void addHandMadeMessages(const PhoneStoreFile &store)
    {
        QList<QJsonObject> messages = store.messages();
        const qint64 base = 1700000000000;
        auto part = [&store](const QString &mime, const QString &name, const QString &file, const QByteArray &bytes,
                             const QString &storedName = QString()) {
            QJsonObject object{{"mime", mime}, {"name", name}, {"file", store.addPart(file, bytes)}};
            if (!storedName.isEmpty())
                object.insert("storedName", storedName);
            return object;
        };
        QByteArray picture(70000, '\0');
        for (int i = 0; i < picture.size(); ++i)
            picture[i] = char((i * 131) ^ (i >> 7));
        // Two pictures and no text: two messages, none for the empty text.
        messages.append(QJsonObject{{"date", base}, {"sent", false}, {"addresses", QJsonArray{"+15550100001"}},
                                    {"name", "Ann"}, {"text", ""},
                                    {"parts", QJsonArray{part("image/jpeg", "one.jpg", "one.jpg", picture),
                                                         part("image/png", "two.png", "two.png", picture.left(999))}}});
        // Names that need cleaning, a nameless part and a repeated name.
        messages.append(QJsonObject{
            {"date", base + 60000}, {"sent", true}, {"addresses", QJsonArray{"+15550100002"}}, {"text", "names"},
            {"parts", QJsonArray{part("image/jpeg", "a:b*c.jpg", "abc.jpg", "first", "abc.jpg"),
                                 part("image/gif", "", "nameless.gif", "second", "Unknown2"),
                                 part("image/jpeg", "x.jpg", "x1.jpg", "third"),
                                 part("image/jpeg", "X.JPG", "x2.jpg", "fourth", "X(1).JPG")}}});
        // Only a layout and an empty text part: nothing to store.
        messages.append(QJsonObject{
            {"date", base + 120000}, {"sent", false}, {"addresses", QJsonArray{"+15550100003"}}, {"text", ""},
            {"parts", QJsonArray{part("application/vnd.wap.smil", "smil.xml", "s.xml", "<smil/>"),
                                 part("text/plain", "empty.txt", "empty.txt", "  \n ")}}});
        // Text in a part, a document that is discarded, and a 1 MB video.
        messages.append(QJsonObject{
            {"date", base + 180000}, {"sent", false}, {"addresses", QJsonArray{"(555) 010-0004"}},
            {"text", "see attached"}, {"subject", "Trip"},
            {"parts", QJsonArray{part("TEXT/PLAIN", "note.txt", "note.txt", "  Meet at 8 \xE2\x98\x95\n"),
                                 part("application/pdf", "plan.pdf", "plan.pdf", "%PDF-1.4"),
                                 part("video/mp4", "clip.mp4", "clip.mp4", QByteArray(1 << 20, 'v'))}}});
        store.setMessages(messages);
    }

    // --- records -------------------------------------------------------------

    void recordFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("fromMe");
        QTest::addColumn<int>("attachments");
        QTest::addColumn<int>("date");

        QTest::newRow("five fields are ignored") << QByteArray("1388534400000,1,,,") << false << false << 0 << 0;
        QTest::newRow("six fields, no attachments")
            << record(1388534400000, "1", "5550100", "hi") << true << true << 0 << 410227200;
        QTest::newRow("seven fields") << record(1388534400000, "0", "5550100", "", 3) << true << false << 3
                                      << 410227200;
        QTest::newRow("field 1 = 2 is received") << record(1388534400000, "2", "5550100", "x") << true << false << 0
                                                 << 410227200;
        QTest::newRow("milliseconds are cut") << record(1388534400999, "1", "5550100", "x") << true << true << 0
                                              << 410227200;
        QTest::newRow("negative count means none") << record(1388534400000, "1", "5", "x", -1).append(",-2")
                                                   << true << true << 0 << 410227200;
        QTest::newRow("count not a number") << record(1388534400000, "1", "5", "x", -1).append(",two") << true << true
                                            << 0 << 410227200;
        QTest::newRow("eight fields") << record(1388534400000, "1", "5", "x", 2).append(",extra") << true << true << 2
                                      << 410227200;
        QTest::newRow("empty record") << QByteArray() << false << false << 0 << 0;
    }

    void recordFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, accepted);
        QFETCH(int, attachments);
        DownloadRecord fields;
        QCOMPARE(DownloadRecord::parse(QString::fromLatin1(line), fields), accepted);
        // The quick look a batch takes at each record agrees with parsing it.
        QCOMPARE(DownloadRecord::attachmentsAnnounced(QString::fromLatin1(line)), accepted ? attachments : -1);
        if (!accepted)
            return;
        QTEST(fields.fromMe, "fromMe");
        QTEST(fields.attachmentCount, "attachments");
        QTEST(int(fields.date()), "date");
    }

    void recordTextsAreBase64Utf8()
    {
        DownloadRecord fields;
        QVERIFY(DownloadRecord::parse(
            QString::fromLatin1(record(1, "0", "+7 (999) 1", "Привет ✓", -1, "Оля", "Тема")), fields));
        QCOMPARE(fields.number, QStringLiteral("+7 (999) 1"));
        QCOMPARE(fields.contactName, QStringLiteral("Оля"));
        QCOMPARE(fields.text, QStringLiteral("Привет ✓"));
        QCOMPARE(fields.subject, QStringLiteral("Тема"));
    }

    // The fast decoder must agree with the general one on any text.
    void base64AsTheGeneralDecoder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("one byte") << "QQ==";
        QTest::newRow("two bytes") << "QUI=";
        QTest::newRow("three bytes") << "QUJD";
        QTest::newRow("all sextets") << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        QTest::newRow("no padding") << "QUJDRA";
        QTest::newRow("line break inside") << "QUJD\nRA==";
        QTest::newRow("URL-safe letters") << "-_-_";
        QTest::newRow("stray characters") << "QU!D";
        QTest::newRow("padding inside") << "QQ==QUJD";
        QTest::newRow("three pads") << "Q===";
        QTest::newRow("non-Latin") << QStringLiteral("QU\u0416D");
        QTest::newRow("loose low bits") << "QR==";
    }

    void base64AsTheGeneralDecoder()
    {
        QFETCH(QString, text);
        QCOMPARE(decodeBase64(text), QByteArray::fromBase64(text.toLatin1()));
    }

    void base64RoundTrips()
    {
        QRandomGenerator random(3);
        for (int length = 0; length < 200; ++length) {
            QByteArray bytes(length, Qt::Uninitialized);
            for (char &byte : bytes)
                byte = char(random.bounded(256));
            QCOMPARE(decodeBase64(QString::fromLatin1(bytes.toBase64())), bytes);
        }
    }

    void attachmentNames_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "IMG_1.jpg" << "IMG_1.jpg";
        QTest::newRow("colon") << "a:b.jpg" << "ab.jpg";
        QTest::newRow("separators") << "../../x/y.png" << "....xy.png";
        QTest::newRow("empty") << "" << "Unknown2";
        QTest::newRow("only forbidden") << ":*?" << "Unknown2";
        QTest::newRow("long: suffix kept") << QString(300, 'x') + ".jpg" << QString(MaxSentFileNameBytes - 4, 'x') + ".jpg";
        QTest::newRow("long: cut between characters")
            << QString(100, QChar(0xE9)) + ".png" << QString((MaxSentFileNameBytes - 4) / 2, QChar(0xE9)) + ".png";
        QTest::newRow("only dots") << ".." << "Unknown2";
        QTest::newRow("control characters") << QString("a\tb\x01.txt") << "ab.txt";
        QTest::newRow("blanks trimmed") << "  photo.jpg " << "photo.jpg";
        QTest::newRow("trailing dots and blanks") << "x.exe. . " << "x.exe";
    }

    void attachmentNames()
    {
        QFETCH(QString, sent);
        QTEST(attachmentFileName(sent), "stored");
    }

    void attachmentNamesAreUniqueInARecord()
    {
        QSet<QString> used;
        QCOMPARE(uniqueAttachmentName("a.jpg", used), QStringLiteral("a.jpg"));
        QCOMPARE(uniqueAttachmentName("a.jpg", used), QStringLiteral("a(1).jpg"));
        QCOMPARE(uniqueAttachmentName("A.JPG", used), QStringLiteral("A(2).JPG"));
        QCOMPARE(uniqueAttachmentName("Unknown2", used), QStringLiteral("Unknown2"));
        QCOMPARE(uniqueAttachmentName("Unknown2", used), QStringLiteral("Unknown2(1)"));
    }

    void attachmentHeader_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "image/jpeg,a.jpg" << true << "image/jpeg" << "a.jpg";
        QTest::newRow("no name") << "image/jpeg" << false << "" << "";
        QTest::newRow("empty name") << "image/jpeg," << true << "image/jpeg" << "";
        QTest::newRow("comma in the name") << "image/jpeg,a,b.jpg" << true << "image/jpeg" << "a,b.jpg";
        QTest::newRow("UTF-8 name") << QString::fromLatin1(QByteArray("image/png,\xD1\x84.png")) << true
                                    << "image/png" << QString::fromUtf8("ф.png");
    }

    void attachmentHeader()
    {
        QFETCH(QString, argument);
        AttachmentHeader header;
        QTEST(AttachmentHeader::parse(argument, header), "valid");
        QTEST(header.mime, "mime");
        QTEST(header.name, "name");
    }

    void recordMessages()
    {
        DownloadRecord fields;
        QVERIFY(DownloadRecord::parse(QString::fromLatin1(record(1388534400000, "1", "x", "hi\xEF\xBF\xBC", 2, "Bo",
                                                                 "Sub")),
                                      fields));
        fields.text = QStringLiteral("hi") + Marker;
        const RecordMessages made(fields, QStringLiteral("+15550100"));
        const _MsgMessage &m = made.message();
        QCOMPARE(m.guid, guidFromBytes(made.recordHash().toUtf8()));
        QCOMPARE(made.recordHash(), logicHash(m));
        QCOMPARE(m.date, 410227200);
        QCOMPARE(m.date_read, 410227200);
        QCOMPARE(m.date_delivered, 410227200);
        QCOMPARE(m.service, QStringLiteral("SMS"));
        QCOMPARE(m.account, QStringLiteral("e:"));
        QCOMPARE(m.version, 10);
        QCOMPARE(m.is_from_me, 1);
        QCOMPARE(m.is_finished + m.is_prepared + m.is_read + m.is_sent + m.was_data_detected, 5);
        QCOMPARE(m.is_delivered + m.is_emote + m.is_empty + m.cache_has_attachments, 0);
        QCOMPARE(m.subject, QStringLiteral("Sub"));
        QCOMPARE(m.handle->id, QStringLiteral("+15550100"));
        QCOMPARE(m.handle->_ct_name, QStringLiteral("Bo"));
        QCOMPARE(m.chat->guid, QStringLiteral("SMS;-;+15550100"));
        QCOMPARE(m.chat->chat_identifier, QStringLiteral("+15550100"));
        QCOMPARE(m.chat->style, 45);
        QCOMPARE(m.chat->state, 3);
        QCOMPARE(m.chat->account_login, QStringLiteral("E:"));
        QCOMPARE(m.chat->handles.size(), 1);

        QCOMPARE(made.textPart().text, QStringLiteral("hi"));
        QCOMPARE(made.textPart().guid, m.guid);

        _MsgAttachment attachment = made.mediaAttachment("image/jpeg", "p.jpg", "/tmp/x", 10);
        QCOMPARE(attachment.guid, guidFromBytes((made.recordHash() + "p.jpg").toUtf8()));
        QCOMPARE(attachment.filename, QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/p.jpg")
                                          .arg(attachment.guid.left(2).toLower(), attachment.guid.mid(2, 2).toLower(),
                                               attachment.guid));
        QCOMPARE(attachment.uti, QStringLiteral("public.jpeg"));
        QCOMPARE(attachment.created_date, 410227200);
        QCOMPARE(attachment.is_outgoing, 1);
        QCOMPARE(attachment.transfer_state, 5);
        QCOMPARE(attachment.transfer_name, QStringLiteral("p.jpg"));
        QCOMPARE(made.mediaAttachment("weird", "p", "", 0).uti, QStringLiteral("public."));

        const _MsgMessage media = made.mediaPart(attachment);
        QCOMPARE(media.text, QString(Marker));
        QCOMPARE(media.text.toUtf8(), QByteArray("\xEF\xBF\xBC"));
        QCOMPARE(media.attachments.size(), 1);
        QCOMPARE(media.guid, guidFromBytes(logicHash(media).toUtf8()));
        QCOMPARE(media.attributedBody, attachmentAttributedBody(attachment.guid));

        const _MsgMessage plain = made.plainTextPart("from a part");
        QCOMPARE(plain.text, QStringLiteral("from a part"));
        QVERIFY(plain.attachments.isEmpty());
        QVERIFY(plain.attributedBody.isEmpty());
        QCOMPARE(plain.guid, guidFromBytes(logicHash(plain).toUtf8()));
    }

    // --- downloads from the simulator ------------------------------------------

    void downloadMatchesThePhoneRecordByRecord()
    {
        const QString storeFolder = newStore();
        const PhoneStoreFile store(storeFolder);
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start());
        const Run run = download(wifiDevice(phone.launcherPort(), "full"));
        QVERIFY2(run.succeeded, qPrintable(run.error));

        const CacheContents cache(run.cacheFolder);
        const QList<QString> rows = cache.rows();
        QCOMPARE(sorted(rows), sorted(store.expectedRows(*m_countries)));
        QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), rows.size());
        QCOMPARE(run.maximumValue, 100);
        const int records = int(store.messages().size());
        QCOMPARE(run.lastRecordText, QStringLiteral("sms: %1/%1").arg(records));
        QVERIFY(phone.waitForExchangesEnded(1));
        QCOMPARE(phone.counter("exchangesCompleted"), 1);
        QCOMPARE(phone.counter("attachmentBytesSent"), store.partBytesTotal());
        QCOMPARE(cache.count("select count(*) from valid_hash"), records);
        QCOMPARE(cache.count("select count(distinct parent) from parent_hash"), records);
        QCOMPARE(cache.count("select count(*) from chat where (select 1 from chat_message_join where "
                             "chat_id=chat.rowid limit 1) is null"),
                 0);
    }

    // Caches downloaded before a group had a chat of its own know a group's
    // records by the hash of their number field as one number; a record
    // known by another hash would travel and be stored again.
    void groupRecordKeepsTheHashCachesKnowItBy()
    {
        const QString storeFolder = m_work.filePath(QStringLiteral("phone%1").arg(++m_phones));
        QVERIFY(QDir().mkpath(storeFolder));
        PhoneStoreFile(storeFolder).setMessages({QJsonObject{{"date", qint64(1700000000000)},
                                                             {"sent", false},
                                                             {"addresses", QJsonArray{"+15550100003", "+15550100004"}},
                                                             {"text", "hi"}}});
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start());
        const Run run = download(wifiDevice(phone.launcherPort(), "group"));
        QVERIFY2(run.succeeded, qPrintable(run.error));
        const CacheContents cache(run.cacheFolder);
        QCOMPARE(cache.rows(), QList<QString>{messageRow("+15550100003, +15550100004", 721692800, 0, "hi", "")});
        // MD5 of "+15550100003+15550100004", the date, 0 and "hi", as before.
        QCOMPARE(cache.count("select count(*) from parent_hash where parent='baa9498ceaa69ba2336e879868bbbd3c'"), 1);
    }

    void downloadOverUsb()
    {
        FakeAdbWorld world;
        const QString storeFolder = newStore();
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start({"--adb-state", world.statePath(), "--serial", "SIMUSB"}));
        QVERIFY(QTest::qWaitFor([&world] { return world.adb({"devices"}).contains("SIMUSB"); }, 10000));
        AndroidDevice device;
        device.serial = QStringLiteral("SIMUSB");
        device.imei = QStringLiteral("usb");
        device.mmc = Mmc;
        const Run run = download(device);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(sorted(CacheContents(run.cacheFolder).rows()),
                 sorted(PhoneStoreFile(storeFolder).expectedRows(*m_countries)));
        bool broadcastDownload = false;
        for (const QStringList &call : world.calls())
            broadcastDownload = broadcastDownload || (call.contains("broadcast") && call.last().startsWith("backup2://"));
        QVERIFY(broadcastDownload);
    }

    // The exchange port re-pointed to another phone by another adb client:
    // whatever answers there, nothing reaches this phone's cache.
    void takenOverPortWritesNothing()
    {
        FakeAdbWorld world;
        SimulatedPhone phone(newStore());
        QVERIFY(phone.start({"--adb-state", world.statePath(), "--serial", "SIMUSB"}));
        QVERIFY(QTest::qWaitFor([&world] { return world.adb({"devices"}).contains("SIMUSB"); }, 10000));
        AndroidDevice device;
        device.serial = QStringLiteral("SIMUSB");
        device.imei = QStringLiteral("taken-over");
        device.mmc = Mmc;
        const ForwardTakeover otherProgram(world, "OTHER");
        const Run run = download(device);
        QVERIFY(otherProgram.done());
        QVERIFY(!run.succeeded);
        QVERIFY2(run.error.contains("taken over by another program (it now leads to phone OTHER)"),
                 qPrintable(run.error));
        QVERIFY(CacheContents(run.cacheFolder).rows().isEmpty());
    }

    void secondDownloadMovesNothing()
    {
        const QString storeFolder = newStore();
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start());
        const AndroidDevice device = wifiDevice(phone.launcherPort(), "twice");
        const Run first = download(device);
        QVERIFY2(first.succeeded, qPrintable(first.error));
        QVERIFY(phone.waitForExchangesEnded(1));
        const qint64 bytesAfterFirst = phone.counter("attachmentBytesSent");
        const qint64 recordsAfterFirst = phone.counter("recordsSent");
        const qint64 attachmentsAfterFirst = phone.counter("attachmentsSent");
        QVERIFY(bytesAfterFirst > 0);
        const CacheContents cache(first.cacheFolder);
        const QList<QString> rowsBefore = cache.rows();
        const QStringList filesBefore = cache.snapshot().files;
        const qint64 messagesBefore = cache.count("select max(rowid) from message");

        const Run second = download(device);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        QVERIFY(phone.waitForExchangesEnded(2));
        QCOMPARE(phone.counter("attachmentBytesSent"), bytesAfterFirst);
        QCOMPARE(phone.counter("attachmentsSent"), attachmentsAfterFirst);
        QCOMPARE(phone.counter("recordsSent") - recordsAfterFirst, recordsAfterFirst);
        QCOMPARE(sorted(cache.rows()), sorted(rowsBefore));
        QCOMPARE(cache.count("select max(rowid) from message"), messagesBefore);
        QCOMPARE(cache.snapshot().files, filesBefore);
    }

    void messagesDeletedOnThePhoneDisappear()
    {
        const QString storeFolder = newStore();
        const PhoneStoreFile store(storeFolder);
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start());
        const AndroidDevice device = wifiDevice(phone.launcherPort(), "pruned");
        QVERIFY(download(device).succeeded);

        // Everything of one correspondent goes, and every fifth other message.
        QList<QJsonObject> kept;
        const QList<QJsonObject> all = store.messages();
        const QJsonArray gone = all.first().value("addresses").toArray();
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).value("addresses").toArray() != gone && i % 5 != 1)
                kept.append(all.at(i));
        }
        QVERIFY(kept.size() < all.size() * 0.9);
        store.setMessages(kept);
        const QString goneAddress = m_countries->normalise(gone.first().toString());

        const Run run = download(device);
        QVERIFY2(run.succeeded, qPrintable(run.error));
        const CacheContents cache(run.cacheFolder);
        QCOMPARE(sorted(cache.rows()), sorted(store.expectedRows(*m_countries)));
        QCOMPARE(cache.count(QStringLiteral("select count(*) from chat where chat_identifier='%1'").arg(goneAddress)),
                 0);
        QCOMPARE(cache.count("select count(*) from parent_hash where parent not in (select hash from valid_hash)"),
                 0);
    }

    // A record is recognised by its bytes as they arrived and the phone's
    // country code: whatever changed on the phone, in the country code or in
    // a cache of an earlier version (valid_hash without fingerprints) is read
    // again.
    void changedRecordsAreReadAgain_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("text edited") << "text";
        QTest::newRow("contact renamed") << "name";
        QTest::newRow("other country code") << "country";
        QTest::newRow("cache of an earlier version") << "layout";
    }

    void changedRecordsAreReadAgain()
    {
        QFETCH(QString, change);
        const QString storeFolder = newStore();
        const PhoneStoreFile store(storeFolder);
        // A national number, which only a British country code completes.
        store.setMessages(store.messages() << QJsonObject{{"date", qint64(1700000000000)}, {"sent", false},
                                                           {"addresses", QJsonArray{"07123 456789"}}, {"text", "hi"}});
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start());
        AndroidDevice device = wifiDevice(phone.launcherPort(), "changed-" + change);
        const Run first = download(device);
        QVERIFY2(first.succeeded, qPrintable(first.error));

        QList<QJsonObject> messages = store.messages();
        for (int i = 0; i < messages.size(); i += 7) {
            if (change == "text" && !messages.at(i).contains("parts"))
                messages[i].insert("text", QStringLiteral("edited %1").arg(i));
            else if (change == "name")
                messages[i].insert("name", QStringLiteral("Renamed %1").arg(i));
        }
        store.setMessages(messages);
        if (change == "country")
            device.mmc = QStringLiteral("234");
        if (change == "layout") {
            Sqlite3DB db;
            db.openThrow(CacheContents(first.cacheFolder).databasePath(), Sqlite3DB::OpenReadWrite);
            db.executeThrow(QStringLiteral("drop table valid_hash"));
            db.executeThrow(QStringLiteral("CREATE TABLE valid_hash(hash TEXT)"));
            db.executeThrow(QStringLiteral("insert into valid_hash(hash) select distinct parent from parent_hash"));
        }
        CountryLibDb countries(device.mmc);
        const QSet<QString> expected = store.expectedRows(countries);
        if (change == "country")
            QVERIFY(expected != store.expectedRows(*m_countries));

        const Run second = download(device);
        QVERIFY2(second.succeeded, qPrintable(second.error));
        const CacheContents cache(second.cacheFolder);
        QCOMPARE(sorted(cache.rows()), sorted(expected));
        QCOMPARE(cache.count("select count(*) from valid_hash where length(digest) = 16"),
                 qint64(store.messages().size()));
        QCOMPARE(cache.count("select count(*) from parent_hash where parent not in (select hash from valid_hash)"),
                 0);
    }

    void malformedRecordIsSkipped()
    {
        const QString storeFolder = newStore();
        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start({"--malformed-record"}));
        const Run run = download(wifiDevice(phone.launcherPort(), "malformed"));
        QVERIFY2(run.succeeded, qPrintable(run.error));
        QCOMPARE(sorted(CacheContents(run.cacheFolder).rows()),
                 sorted(PhoneStoreFile(storeFolder).expectedRows(*m_countries)));
    }

    // A download that does not complete changes nothing: not the database file,
    // not the attachment folders, and it leaves no temporary file.
    void unfinishedDownloadLeavesTheCacheAsItWas_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("cancelAfterReports");
        QTest::addColumn<bool>("cancelInAttachment");
        QTest::addColumn<QString>("expectedError");  // "*": any text

        QTest::newRow("dropped half-way") << QStringList{"--drop-after-records", "150"} << -1 << false << "*";
        QTest::newRow("dropped inside an attachment") << QStringList{"--drop-in-attachment"} << -1 << false << "*";
        QTest::newRow("agent error") << QStringList{"--error", "storage busy", "--error-after-records", "200"} << -1
                                     << false << "storage busy";
        QTest::newRow("bad attachment header") << QStringList{"--malformed-atta"} << -1 << false
                                               << "$atta: command invalid param.";
        // Reports come a few times a second; a slowed phone makes them many.
        QTest::newRow("cancelled between records") << QStringList{"--slow", "3"} << 5 << false << "";
        QTest::newRow("cancelled inside an attachment") << QStringList{"--slow", "3", "--chunk-size", "512"} << -1
                                                        << true << "";
    }

    void unfinishedDownloadLeavesTheCacheAsItWas()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, cancelAfterReports);
        QFETCH(bool, cancelInAttachment);
        QFETCH(QString, expectedError);

        // A complete download first, then the phone changes: new messages
        // with attachments, and deleted ones that a complete run would prune.
        const QString storeFolder = newStore();
        const PhoneStoreFile store(storeFolder);
        QList<QJsonObject> original = store.messages();
        const QList<QJsonObject> older = original.mid(0, 250);
        store.setMessages(older);
        const AndroidDevice device = wifiDevice(0, QStringLiteral("unfinished-%1").arg(QTest::currentDataTag()));
        {
            SimulatedPhone phone(storeFolder);
            QVERIFY(phone.start());
            AndroidDevice first = device;
            first.port = phone.launcherPort();
            QVERIFY(download(first).succeeded);
        }
        QList<QJsonObject> changed = original.mid(50);
        store.setMessages(changed);
        const CacheContents cache(AndroidDevice(device).cacheFolder());
        const CacheContents::Snapshot before = cache.snapshot();
        QVERIFY(!before.database.isEmpty());

        SimulatedPhone phone(storeFolder);
        QVERIFY(phone.start(faults));
        AndroidDevice second = device;
        second.port = phone.launcherPort();
        const Run run = download(second, [&](HeadlessProgress &progress) {
            connect(&progress, &HeadlessProgress::progressReported, &progress, [&progress, cancelAfterReports,
                                                                                 cancelInAttachment](int count) {
                if (count == cancelAfterReports
                    || (cancelInAttachment && progress.progressText().startsWith("Receiving")))
                    progress.cancel();
            });
        });

        QVERIFY(!run.succeeded);
        if (expectedError == "*")
            QVERIFY(!run.error.isEmpty());
        else
            QCOMPARE(run.error, expectedError);
        QVERIFY(cache.snapshot() == before);
        QCOMPARE(cache.snapshot().files, before.files);
        if (expectedError.startsWith("$atta:")) {
            QVERIFY(phone.waitForExchangesEnded(1));
            QCOMPARE(phone.counter("errorsReceived"), 1);
        }

        // The cache still works: the next complete download brings it up to date.
        phone.process().terminate();
        phone.process().waitForFinished(5000);
        SimulatedPhone healthy(storeFolder);
        QVERIFY(healthy.start());
        AndroidDevice third = device;
        third.port = healthy.launcherPort();
        const Run after = download(third);
        QVERIFY2(after.succeeded, qPrintable(after.error));
        QCOMPARE(sorted(cache.rows()), sorted(store.expectedRows(*m_countries)));
    }

    // --- exchanges the simulator does not produce --------------------------------

    void oddRecordsFromAScriptedAgent()
    {
        const QByteArray picture = QByteArray(5000, 'p');
        auto script = [&picture](AgentLines &lines) {
            lines.send("$count:0");
            lines.send("$batch:");
            lines.send("$sms:" + record(1388534400000, "2", "5550100", "received, says field 1"));
            lines.send("$sms:1388534400000,1,,,");  // five fields: no answer expected
            lines.send("$sms:" + record(1388534460000, "1", "5550100", "", 2));
            if (lines.read() == "1") {
                lines.send("$atta:image/jpeg,a:b.jpg");
                lines.send(picture.left(3000).toBase64());
                lines.send(picture.mid(3000).toBase64());
                lines.send(".");
                lines.read();
                lines.send("$atta:image/png,");
                lines.send(QByteArray("png").toBase64());
                lines.send(".");
                lines.read();
            }
            lines.send("$sms:" + record(1388534520000, "0", "5550100", "", 1));
            if (lines.read() == "1") {
                lines.send("$atta:application/vnd.wap.smil,smil.xml");
                lines.send(QByteArray("<smil/>").toBase64());
                lines.send(".");
                lines.read();
            }
            lines.send("$end:");
            lines.read();
            lines.send("$bye:");
            lines.read();
        };

        const QString imei = QStringLiteral("scripted");
        for (int round = 1; round <= 2; ++round) {
            ScriptedAgent agent(script);
            AndroidDevice device = wifiDevice(agent.startLauncher(), imei);
            const Run run = download(device);
            agent.wait();
            QVERIFY2(run.succeeded, qPrintable(run.error + agent.failure()));
            QVERIFY(agent.failure().isEmpty());
            QVERIFY(agent.url().startsWith("backup2://127.0.0.1:"));
            QVERIFY(agent.url().endsWith("/mms/"));
            QVERIFY(run.minimumValue < 0);  // "$count:0" leaves the total unknown
            if (round == 1) {
                QCOMPARE(agent.received(), (QList<QByteArray>{"1", ".", ".", "1", ".", "$batch:", "$bye:"}));
            } else {
                // Known records: no attachment travels again.
                QCOMPARE(agent.received(), (QList<QByteArray>{"0", "0", "$batch:", "$bye:"}));
            }

            const CacheContents cache(run.cacheFolder);
            const QString number = QStringLiteral("5550100");
            QCOMPARE(sorted(cache.rows()),
                     sorted(QList<QString>{
                         messageRow(number, 410227200, 0, "received, says field 1", ""),
                         messageRow(number, 410227260, 1, QString(Marker), "", "image/jpeg", "ab.jpg", md5(picture)),
                         messageRow(number, 410227260, 1, QString(Marker), "", "image/png", "Unknown2", md5("png")),
                     }));
        }
    }

    void badAttachmentHeaderIsReportedToTheAgent()
    {
        ScriptedAgent agent([](AgentLines &lines) {
            lines.send("$batch:");
            lines.send("$sms:" + record(1388534400000, "1", "5550100", "x", 1));
            lines.read();
            lines.send("$atta:image/jpeg");
            lines.read();
        });
        const Run run = download(wifiDevice(agent.startLauncher(), "bad-atta"));
        agent.wait();
        QCOMPARE(run.error, QStringLiteral("$atta: command invalid param."));
        QCOMPARE(agent.received(),
                 (QList<QByteArray>{"1", "$error:" + QByteArray("$atta: command invalid param.").toBase64()}));
    }

    // An agent that falls silent must not hold a cancelled download: neither
    // before an attachment's "$atta:" header nor inside its data.
    void cancelEndsAWaitForASilentAgent_data()
    {
        QTest::addColumn<bool>("insideData");
        QTest::newRow("before the header") << false;
        QTest::newRow("inside the data") << true;
    }

    void cancelEndsAWaitForASilentAgent()
    {
        QFETCH(bool, insideData);
        std::atomic_bool released{false};
        ScriptedAgent agent([insideData, &released](AgentLines &lines) {
            lines.send("$batch:");
            lines.send("$sms:" + record(1388534400000, "1", "5550100", "x", 1));
            lines.read();
            if (insideData) {
                lines.send("$atta:image/png,a.png");
                lines.send(QByteArray("png").toBase64());
            }
            for (int i = 0; i < 1000 && !released; ++i)
                QThread::msleep(10);
        });
        QElapsedTimer clock;
        clock.start();
        const Run run = download(wifiDevice(agent.startLauncher(), "silent"), [](HeadlessProgress &progress) {
            QTimer::singleShot(500, &progress, &HeadlessProgress::cancel);
        });
        const qint64 elapsed = clock.elapsed();
        released = true;
        agent.wait();
        QVERIFY(!run.succeeded);
        QVERIFY(run.error.isEmpty());
        QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    }

    // A message that a record still on the phone also owns survives the
    // pruning of another record that produced the same message.
    void sharedMessageSurvivesPruning()
    {
        const qint64 time = 1388534400000;
        auto phoneWith = [time](bool both) {
            return [time, both](AgentLines &lines) {
                lines.send("$batch:");
                if (both) {
                    lines.send("$sms:" + record(time, "0", "5550100", "", 1));
                    if (lines.read() == "1") {
                        lines.send("$atta:text/plain,t.txt");
                        lines.send(QByteArray("hello").toBase64());
                        lines.send(".");
                        lines.read();
                    }
                }
                lines.send("$sms:" + record(time, "0", "5550100", "hello"));
                lines.send("$end:");
                lines.read();
                lines.send("$bye:");
                lines.read();
            };
        };
        const QString expected = messageRow("5550100", 410227200, 0, "hello", "");
        for (bool both : {true, false}) {
            ScriptedAgent agent(phoneWith(both));
            const Run run = download(wifiDevice(agent.startLauncher(), "shared"));
            agent.wait();
            QVERIFY2(run.succeeded, qPrintable(run.error));
            QCOMPARE(CacheContents(run.cacheFolder).rows(), QList<QString>{expected});
        }
    }

    void unreachablePhoneIsReported()
    {
        const int port = freeLoopbackPort();
        const Run run = download(wifiDevice(port, "unreachable"));
        QCOMPARE(run.error, QStringLiteral("can not connect 127.0.0.1:%1.").arg(port));
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
