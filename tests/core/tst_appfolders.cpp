#include "TemporaryHome.h"
#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "app/FolderMove.h"
#include "app/Platform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The data root decides where every byte the program writes ends up, so its
// rules (XDG data folder, the move from the old place, redirect file) are
// pinned here.
class TestAppFolders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryHome> home;

    QString homePath(const QString &rel) const { return home->filePath(rel); }

    void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void init()
    {
        home = std::make_unique<TemporaryHome>();
    }

    void cleanup()
    {
        home.reset();
    }

    // Where the product folder ends up and where the files an earlier
    // version left in a Windows-style folder are afterwards, none lost. The
    // last two rows start from a move that an earlier start did not finish.
    void dataFolderAndOneTimeMove_data()
    {
        QTest::addColumn<QString>("oldFolder");  // relative to HOME; empty: none
        QTest::addColumn<QString>("dataHome");   // XDG_DATA_HOME relative to HOME; empty: unset
        QTest::addColumn<QString>("before");     // "new data", "half copy", "old not removed" or empty
        QTest::addColumn<QString>("expected");   // the product folder in use
        QTest::addColumn<QString>("filesIn");    // where the old files are afterwards
        const QString share = QStringLiteral(".local/share/FerryWright");
        const QString appData = QStringLiteral("Application Data/FerryWright");
        QTest::newRow("fresh home") << QString() << QString() << QString() << share << QString();
        QTest::newRow("data in Application Data") << appData << QString() << QString() << share << share;
        QTest::newRow("data in AppData/Roaming")
            << QStringLiteral("AppData/Roaming/FerryWright") << QString() << QString() << share << share;
        QTest::newRow("XDG_DATA_HOME set")
            << appData << QStringLiteral("xdg") << QString() << QStringLiteral("xdg/FerryWright") << QStringLiteral("xdg/FerryWright");
        QTest::newRow("both hold data: old left alone") << appData << QString() << QStringLiteral("new data") << share << appData;
        QTest::newRow("move impossible: old in use") << appData << QStringLiteral("a-file/share") << QString() << appData << appData;
        QTest::newRow("copy interrupted") << appData << QString() << QStringLiteral("half copy") << share << share;
        QTest::newRow("removal interrupted") << appData << QString() << QStringLiteral("old not removed") << share << share;
    }

    void dataFolderAndOneTimeMove()
    {
        QFETCH(QString, oldFolder);
        QFETCH(QString, dataHome);
        QFETCH(QString, before);
        QFETCH(QString, expected);
        QFETCH(QString, filesIn);
        const QString product = QLatin1String(AppInfo::kProductId);
        const QStringList files{product + QStringLiteral("/local_databases/Archive/sms.db"),
                                product + QStringLiteral("/qlogs/.hidden"), product + QStringLiteral("/countries.db")};
        const auto writeFilesInto = [&](const QString &folder) {
            for (const QString &file : files)
                writeFile(homePath(folder + QLatin1Char('/') + file), file.toUtf8());
        };
        if (!oldFolder.isEmpty())
            writeFilesInto(oldFolder);
        const QString share = QStringLiteral(".local/share/FerryWright");
        if (before == QStringLiteral("new data"))
            writeFile(homePath(share + QStringLiteral("/newer.txt")), "new");
        if (before == QStringLiteral("half copy"))
            writeFile(homePath(QStringLiteral(".local/share/.FerryWright-moving/") + files.first()), "half");
        if (before == QStringLiteral("old not removed")) {
            writeFilesInto(share);
            writeFile(homePath(share + QStringLiteral("/.ferrywright-move-pending")), homePath(oldFolder).toUtf8());
        }
        writeFile(homePath(QStringLiteral("a-file")), "a file where a folder would be made");
        if (!dataHome.isEmpty())
            qputenv("XDG_DATA_HOME", QFile::encodeName(homePath(dataHome)));

        const QString root = dataRootDir().absolutePath();
        qunsetenv("XDG_DATA_HOME");

        QCOMPARE(root, homePath(expected + QLatin1Char('/') + product));
        for (const QString &file : files) {
            if (filesIn.isEmpty())
                break;
            QFile kept(homePath(filesIn + QLatin1Char('/') + file));
            QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(kept.fileName()));
            QCOMPARE(kept.readAll(), file.toUtf8());
        }
        QCOMPARE(QFileInfo::exists(homePath(oldFolder)), oldFolder == filesIn);
        // No empty Windows-style folder is left in the home folder.
        if (!oldFolder.isEmpty())
            QCOMPARE(QFileInfo::exists(homePath(oldFolder.section(QLatin1Char('/'), 0, 0))), oldFolder == filesIn);
        QVERIFY(!QFileInfo::exists(homePath(share + QStringLiteral("/.ferrywright-move-pending"))));
        QVERIFY(!QFileInfo::exists(homePath(QStringLiteral(".local/share/.FerryWright-moving"))));
    }

    // The move between file systems, run directly: a copy that is the same
    // to the byte, links and hidden files and times included, and nothing
    // left of the original or of the copy's scaffolding.
    void moveByCopyKeepsEverything()
    {
        const QString from = homePath(QStringLiteral("from"));
        const QString to = homePath(QStringLiteral("other/to"));
        writeFile(from + QStringLiteral("/a/sms.db"), QByteArray(3 * 1024 * 1024 + 7, 'x'));
        writeFile(from + QStringLiteral("/.hidden"), "h");
        QDir().mkpath(from + QStringLiteral("/empty"));
        QVERIFY(QFile::link(QStringLiteral("a/sms.db"), from + QStringLiteral("/link")));
        const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1700000000);
        {
            QFile db(from + QStringLiteral("/a/sms.db"));
            QVERIFY(db.open(QIODevice::ReadWrite));
            QVERIFY(db.setFileTime(stamp, QFileDevice::FileModificationTime));
        }

        moveFolderByCopy(from, to);

        QVERIFY(!QFileInfo::exists(from));
        QCOMPARE(QFileInfo(to + QStringLiteral("/a/sms.db")).size(), 3 * 1024 * 1024 + 7);
        QCOMPARE(QFileInfo(to + QStringLiteral("/a/sms.db")).lastModified(), stamp);
        QCOMPARE(QFile::symLinkTarget(to + QStringLiteral("/link")), to + QStringLiteral("/a/sms.db"));
        QVERIFY(QFileInfo(to + QStringLiteral("/empty")).isDir());
        QVERIFY(QFileInfo::exists(to + QStringLiteral("/.hidden")));
        QCOMPARE(QDir(homePath(QStringLiteral("other"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("to")});
        QVERIFY(!QFileInfo::exists(to + QStringLiteral("/.ferrywright-move-pending")));
    }

    void moveByCopyIntoAnOccupiedPlaceChangesNothing()
    {
        const QString from = homePath(QStringLiteral("from"));
        const QString to = homePath(QStringLiteral("to"));
        writeFile(from + QStringLiteral("/a"), "a");
        writeFile(to + QStringLiteral("/b"), "b");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, moveFolderByCopy(from, to));
        QVERIFY(QFileInfo::exists(from + QStringLiteral("/a")));
        QCOMPARE(QDir(to).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("b")});
        QVERIFY(!QFileInfo::exists(homePath(QStringLiteral(".to-moving"))));
    }

    // The redirect file sits beside the product folder, wherever that is;
    // one of an earlier version moves along with its folder.
    void redirectFileMovesTheDataRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("in the data folder") << QStringLiteral(".local/share/FerryWright");
        QTest::newRow("in the old folder") << QStringLiteral("Application Data/FerryWright");
    }

    void redirectFileMovesTheDataRoot()
    {
        QFETCH(QString, folder);
        const QString target = homePath(QStringLiteral("elsewhere"));
        QDir().mkpath(target);
        writeFile(homePath(folder + QStringLiteral("/%1.redirect").arg(QLatin1String(AppInfo::kProductId))),
                  target.toUtf8() + QByteArray("\0junk", 5));
        QCOMPARE(dataRootDir().absolutePath(), target + QLatin1Char('/') + QLatin1String(AppInfo::kProductId));
    }

    void redirectWithTrailingLineBreakIsIgnored()
    {
        const QString target = homePath(QStringLiteral("elsewhere"));
        QDir().mkpath(target);
        writeFile(homePath(QStringLiteral(".local/share/FerryWright/%1.redirect").arg(QLatin1String(AppInfo::kProductId))),
                  target.toUtf8() + "\n");
        QVERIFY(dataRootDir().absolutePath().startsWith(homePath(QStringLiteral(".local/share/FerryWright/"))));
    }

    void dataRootIsRecreatedWhenRemoved()
    {
        const QString root = dataRootDir().absolutePath();
        QVERIFY(QDir(root).removeRecursively());
        QCOMPARE(dataRootDir().absolutePath(), root);
        QVERIFY(QFileInfo(root).isDir());
    }

    void localDatabasesFolderIsCreated()
    {
        const QDir dbs = localDatabasesDir();
        QVERIFY(dbs.exists());
        QCOMPARE(dbs.absolutePath(), dataRootDir().absoluteFilePath(QStringLiteral("local_databases")));
    }

    void uniqueFilePath_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free name unchanged") << QStringList() << "photo.jpg" << "photo.jpg";
        QTest::newRow("first counter") << QStringList{"photo.jpg"} << "photo.jpg" << "photo(1).jpg";
        QTest::newRow("next free counter") << QStringList{"photo.jpg", "photo(1).jpg"} << "photo.jpg" << "photo(2).jpg";
        QTest::newRow("number before the last suffix") << QStringList{"a.b.c"} << "a.b.c" << "a.b(1).c";
        QTest::newRow("dotted name") << QStringList{"Dr. Jones.html"} << "Dr. Jones.html" << "Dr. Jones(1).html";
        QTest::newRow("no dot, no trailing dot") << QStringList{"notes"} << "notes" << "notes(1)";
    }

    void uniqueFilePath()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, requested);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString &name : existing)
            writeFile(dir.filePath(name), "x");
        QCOMPARE(QFileInfo(::uniqueFilePath(dir.filePath(requested))).fileName(), expected);
    }

    void sanitizeFileName_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks and separators") << "  a:b?c  " << "abc";
        QTest::newRow("every forbidden character") << "\\/:*?\"<>|x" << "x";
        QTest::newRow("unicode kept") << QString::fromUtf8("Zoë 😀") << QString::fromUtf8("Zoë 😀");
    }

    void sanitizeFileName()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(::sanitizeFileName(input), expected);
    }

    void md5HexOfUtf8()
    {
        QCOMPARE(md5Hex(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(md5Hex(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        // The bytes hashed are UTF-8, not Latin-1 or UTF-16.
        QCOMPARE(md5Hex(QString::fromUtf8("é")),
                 QString::fromLatin1(QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Md5).toHex()));
    }

    void removeFolderRecursivelyRemovesNestedContent()
    {
        QTemporaryDir dir;
        const QString top = dir.filePath(QStringLiteral("top"));
        writeFile(top + QStringLiteral("/a.txt"), "a");
        writeFile(top + QStringLiteral("/sub/deeper/b.txt"), "b");
        removeFolderRecursively(top);
        QVERIFY(!QFileInfo::exists(top));
    }

    void removeFolderRecursivelyLeavesHiddenFiles()
    {
        QTemporaryDir dir;
        const QString top = dir.filePath(QStringLiteral("top"));
        writeFile(top + QStringLiteral("/.hidden"), "h");
        writeFile(top + QStringLiteral("/visible"), "v");
        removeFolderRecursively(top);
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/.hidden")));
        QVERIFY(!QFileInfo::exists(top + QStringLiteral("/visible")));
    }

    void removeFolderRecursivelyDoesNotFollowLinks()
    {
        QTemporaryDir dir;
        const QString outside = dir.filePath(QStringLiteral("outside"));
        writeFile(outside + QStringLiteral("/keep.txt"), "k");
        const QString top = dir.filePath(QStringLiteral("top"));
        QDir().mkpath(top);
        QVERIFY(QFile::link(outside, top + QStringLiteral("/link")));
        removeFolderRecursively(top);
        QVERIFY(!QFileInfo::exists(top));
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep.txt")));
    }
};

// The shell calls: one argument per path, and a helper program that never
// holds up its caller for long.
class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void explorerGetsThePathAsOneArgument()
    {
        const Platform::Command command = Platform::explorerCommand(QStringLiteral("/data/my messages \"x\""));
        QCOMPARE(command.program, QStringLiteral("explorer"));
        QCOMPARE(command.arguments, QStringList{QDir::toNativeSeparators("/data/my messages \"x\"")});
    }

    void helperWaitIsBounded_data()
    {
        QTest::addColumn<bool>("abortFirst");
        QTest::newRow("time limit") << false;
        QTest::newRow("closing") << true;
    }

    void helperWaitIsBounded()
    {
        QFETCH(bool, abortFirst);
        QTemporaryDir dir;
        const QString helper = dir.filePath(QStringLiteral("slow-helper"));
        QFile script(helper);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 3\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        const std::atomic_bool abort{abortFirst};
        QElapsedTimer clock;
        clock.start();
        QVERIFY(Platform::startAndWaitAtMost(helper, abortFirst ? 60000 : 300, &abort));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!Platform::startAndWaitAtMost(dir.filePath(QStringLiteral("missing")), 300, nullptr));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestAppFolders folders;
    TestPlatform platform;
    return QTest::qExec(&folders, argc, argv) | QTest::qExec(&platform, argc, argv);
}
#include "tst_appfolders.moc"
