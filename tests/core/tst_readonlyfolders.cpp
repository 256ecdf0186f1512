// Folders that cannot be written: a local database's folder, its attachments
// folder, an extraction or export target. The run fails with an error that
// names the folder and the reason, nothing of it is kept, and the same
// operation into a writable folder then succeeds.
//
// The tests run as root, which file modes do not stop: the folders are made
// read-only by a read-only bind mount, and the tests are skipped where
// mounting is not allowed.

#include "app/KeyTranslator.h"
#include "ops/AttachmentExtractThread.h"
#include "ops/BackupSMSThread.h"
#include "export/ExportMessagesThread.h"
#include "work/HeadlessProgress.h"
#include "store/IOS6MessageDb.h"

#include "core/tst_localdb_fixtures.h"

#include <QProcess>

#include <memory>

using namespace localdbtest;

namespace {

// Makes an existing folder read-only for the life of the object.
class ReadOnlyMount
{
public:
    ReadOnlyMount() = default;
    ReadOnlyMount(const ReadOnlyMount &) = delete;
    ReadOnlyMount &operator=(const ReadOnlyMount &) = delete;
    ~ReadOnlyMount()
    {
        if (!m_path.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }

    bool protect(const QString &path)
    {
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), path, path}) != 0)
            return false;
        m_path = path;
        return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro,bind"),
                                                           path})
            == 0;
    }

private:
    QString m_path;
};

QString attachmentsOf(const QString &folder)
{
    return folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/Attachments");
}

// Runs a worker to its end; the error text, empty on success.
QString runWorker(const std::function<QThread *(ProgressReporter *)> &make)
{
    HeadlessProgress progress;
    const std::unique_ptr<QThread> worker(make(&progress));
    progress.runToEnd(*worker);
    if (progress.succeeded())
        return QString();
    return progress.errorText().isEmpty() ? QStringLiteral("failed without a word") : progress.errorText();
}

} // namespace

class TestReadOnlyFolders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;
    KeyTranslator m_translator;
    SetBuilder m_first;   // already in the database
    SetBuilder m_second;  // backed up in the test
    MsgDataSetPtr m_loaded;

    void fill(SetBuilder &set, const QString &tag)
    {
        _MsgHandle *ann = set.handle(QStringLiteral("+919876543210"));
        _MsgChat *chat = set.chat(QStringLiteral("SMS;-;+919876543210"), {ann});
        for (int i = 0; i < 4; ++i) {
            _MsgMessage *m = set.message(chat, ann, 100 + i, QStringLiteral("%1 text %2").arg(tag).arg(i));
            const QString source = env->path(QStringLiteral("src/%1%2.jpg").arg(tag).arg(i));
            writeFile(source, QByteArray(5000 + i, 'x'));
            set.attachment(m, source, QStringLiteral("%1%2.jpg").arg(tag).arg(i));
        }
    }

    QString backup(const SetBuilder &set, const QString &folder)
    {
        return runWorker([&set, &folder](ProgressReporter *progress) {
            return new BackupSMSThread(set.messages(), folder, QString(), progress);
        });
    }

    // A database holding the first set, with its attachments folder.
    QString database(const QString &name)
    {
        const QString folder = env->newFolder(name);
        const QString error = backup(m_first, folder);
        if (!error.isEmpty())
            QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return folder;
    }

    MsgMessageList loaded(const QString &folder)
    {
        m_loaded = MsgDataSetPtr::create();
        IOS6MessageDb db(folder, QString());
        db.messages(*m_loaded, 0);
        return m_loaded->messages.values();
    }

    // Runs `operation` into `target` inside the read-only `folder`; checks the
    // error and that the folder's files are as before, then that the same
    // operation into a writable place succeeds.
    void failsClearlyThenWorks(const QString &folder, const QString &target,
                               const std::function<QString(const QString &)> &operation,
                               const QString &writableTarget)
    {
        const QStringList filesBefore = filesBelow(folder);
        QString error;
        {
            ReadOnlyMount readOnly;
            if (!readOnly.protect(folder))
                QSKIP("a read-only bind mount needs root");
            error = operation(target);
            QCOMPARE(filesBelow(folder), filesBefore);
        }
        QVERIFY2(error.contains(QDir::toNativeSeparators(folder)), qPrintable(error));
        QVERIFY2(error.contains(QLatin1String("Read-only file system"), Qt::CaseInsensitive), qPrintable(error));
        QCOMPARE(filesBelow(folder), filesBefore);
        const QString next = operation(writableTarget);
        QVERIFY2(next.isEmpty(), qPrintable(next));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }

    void init()
    {
        env = std::make_unique<Environment>();
        m_first = SetBuilder();
        m_second = SetBuilder();
        fill(m_first, QStringLiteral("a"));
        fill(m_second, QStringLiteral("b"));
    }

    void cleanup() { env.reset(); }

    void backupIntoReadOnlyFolder_data()
    {
        QTest::addColumn<QString>("readOnlyPart");
        QTest::newRow("database folder") << QStringLiteral("database");
        QTest::newRow("attachments folder") << QStringLiteral("attachments");
        QTest::newRow("folder of a new database") << QStringLiteral("parent");
    }

    void backupIntoReadOnlyFolder()
    {
        QFETCH(QString, readOnlyPart);
        const QString folder = database(QStringLiteral("db"));
        const QStringList rowsBefore = RawDb(smsDbPath(folder)).dump();
        const bool newDatabase = readOnlyPart == QLatin1String("parent");
        const QString readOnly = readOnlyPart == QLatin1String("attachments") ? attachmentsOf(folder) : folder;
        failsClearlyThenWorks(
            readOnly, newDatabase ? folder + QStringLiteral("/new") : folder,
            [this](const QString &target) { return backup(m_second, target); },
            database(QStringLiteral("writable")));
        QCOMPARE(RawDb(smsDbPath(folder)).dump(), rowsBefore);
        if (newDatabase)
            return;
        // Writable again, the same folder takes the backup.
        QCOMPARE(backup(m_second, folder), QString());
        QCOMPARE(RawDb(smsDbPath(folder)).scalar(QStringLiteral("select count(*) from message")), qint64(8));
    }

    void extractIntoReadOnlyFolder_data()
    {
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("the folder itself") << QString();
        QTest::newRow("a folder to make inside") << QStringLiteral("/new");
    }

    void extractIntoReadOnlyFolder()
    {
        QFETCH(QString, subfolder);
        const MsgMessageList messages = loaded(database(QStringLiteral("db")));
        const QString target = env->path(QStringLiteral("out"));
        QDir().mkpath(target);
        failsClearlyThenWorks(
            target, target + subfolder,
            [&messages](const QString &output) {
                return runWorker([&messages, &output](ProgressReporter *progress) {
                    return new AttachmentExtractThread(progress, messages, output);
                });
            },
            env->path(QStringLiteral("writable")) + subfolder);
        QCOMPARE(filesBelow(env->path(QStringLiteral("writable"))).size(), 4);
    }

    void exportIntoReadOnlyFolder_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("text file") << int(ExportMessagesThread::FormatText) << QStringLiteral("/m.txt");
        QTest::newRow("csv file") << int(ExportMessagesThread::FormatCsv) << QStringLiteral("/m.csv");
        QTest::newRow("html folder") << int(ExportMessagesThread::FormatHtml) << QStringLiteral("/m-html");
    }

    void exportIntoReadOnlyFolder()
    {
        QFETCH(int, format);
        QFETCH(QString, name);
        const MsgMessageList messages = loaded(database(QStringLiteral("db")));
        const QString target = env->path(QStringLiteral("out"));
        QDir().mkpath(target);
        QDir().mkpath(env->path(QStringLiteral("writable")));  // the save dialog picks an existing folder
        failsClearlyThenWorks(
            target, target + name,
            [&messages, format](const QString &path) {
                return runWorker([&messages, &path, format](ProgressReporter *progress) {
                    return new ExportMessagesThread(messages, path, ExportMessagesThread::Format(format), progress,
                                                    nullptr, QStringLiteral(FERRY_BINARY_DIR));
                });
            },
            env->path(QStringLiteral("writable")) + name);
        QVERIFY(QFileInfo::exists(env->path(QStringLiteral("writable")) + name));
    }
};

QTEST_GUILESS_MAIN(TestReadOnlyFolders)
#include "tst_readonlyfolders.moc"
