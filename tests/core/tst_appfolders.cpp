#include "TemporaryHome.h"
#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "app/Platform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The data root decides where every byte the program writes ends up, so its
// rules (roaming folder choice, redirect file) are pinned here.
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

    void dataRootWithoutRoamingFolderUsesApplicationData()
    {
        const QString expected = homePath(QStringLiteral("Application Data/FerryWright/")
                                          + QLatin1String(AppInfo::kProductId));
        QCOMPARE(dataRootDir().absolutePath(), expected);
        QVERIFY(QFileInfo(expected).isDir());
    }

    void dataRootPrefersAppDataRoaming()
    {
        QDir().mkpath(homePath(QStringLiteral("AppData/Roaming")));
        QCOMPARE(dataRootDir().absolutePath(),
                 homePath(QStringLiteral("AppData/Roaming/FerryWright/") + QLatin1String(AppInfo::kProductId)));
    }

    void redirectFileMovesTheDataRoot()
    {
        const QString target = homePath(QStringLiteral("elsewhere"));
        QDir().mkpath(target);
        writeFile(homePath(QStringLiteral("Application Data/FerryWright/%1.redirect").arg(QLatin1String(AppInfo::kProductId))),
                  target.toUtf8() + QByteArray("\0junk", 5));
        QCOMPARE(dataRootDir().absolutePath(), target + QLatin1Char('/') + QLatin1String(AppInfo::kProductId));
    }

    void redirectWithTrailingLineBreakIsIgnored()
    {
        const QString target = homePath(QStringLiteral("elsewhere"));
        QDir().mkpath(target);
        writeFile(homePath(QStringLiteral("Application Data/FerryWright/%1.redirect").arg(QLatin1String(AppInfo::kProductId))),
                  target.toUtf8() + "\n");
        QVERIFY(dataRootDir().absolutePath().startsWith(homePath(QStringLiteral("Application Data/FerryWright/"))));
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
