// The daily update check and advertisement line against a local HTTP server:
// the answers that lead to a download offer or a status-bar link, errors,
// silence, answers cut short or without end, and the throttle file across
// starts.

#include "LocalHttpServer.h"
#include "../TemporaryHome.h"

#include "app/AppFolders.h"
#include "ui/UpdateCheck.h"

#include <QDateTime>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(LocalHttpServer::Shape)

namespace {

const QByteArray kUpdatePath = "/sms_check_update.php";
const QByteArray kAdvertisementPath = "/adv.php";
constexpr int kWaitMs = 20000;

QString throttleFile()
{
    return dataRootDir().absoluteFilePath(QStringLiteral("last-check-version-time"));
}

QByteArray readData(const QString &name)
{
    QFile file(dataRootDir().absoluteFilePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeThrottle(const QByteArray &content)
{
    QFile file(throttleFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Starts a check and waits until both requests have ended.
void runCheck(UpdateCheck &check)
{
    QSignalSpy finished(&check, &UpdateCheck::finished);
    check.start();
    QVERIFY(check.pendingRequests() == 2);
    QVERIFY(finished.wait(kWaitMs));
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void cleanup() { qputenv("FERRY_VENDOR_HOST", QByteArray()); }

    void updateAnswer_data();
    void updateAnswer();
    void endlessAnswerIsReadOnlyToTheLimit();
    void advertisementLine_data();
    void advertisementLine();
    void advertisementAnswerIsShownAndKept();
    void silenceAndRefusalLeaveNoTrace();
    void throttle_data();
    void throttle();
    void askedOnceADayAcrossStarts();
    void nothingSentWithoutVendorHost();
};

void TestUpdateCheck::updateAnswer_data()
{
    using Shape = LocalHttpServer::Shape;
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QString>("offered");  // empty: no offer
    QTest::newRow("newer version") << QByteArray("200 OK") << QByteArray("http://127.0.0.1/new.exe") << Shape::Whole
                                   << "http://127.0.0.1/new.exe";
    QTest::newRow("capitals, secure") << QByteArray("200 OK") << QByteArray("HTTPS://127.0.0.1/n.exe\r\n") << Shape::Whole
                                      << "https://127.0.0.1/n.exe";
    QTest::newRow("cut at NUL") << QByteArray("200 OK") << QByteArray("http://127.0.0.1/a\0junk", 23) << Shape::Whole
                                << "http://127.0.0.1/a";
    QTest::newRow("secure, elsewhere") << QByteArray("200 OK") << QByteArray("https://downloads.example/n.exe")
                                       << Shape::Whole << "https://downloads.example/n.exe";
    QTest::newRow("plain, elsewhere") << QByteArray("200 OK") << QByteArray("http://downloads.example/n.exe")
                                      << Shape::Whole << "";
    QTest::newRow("cut short after 200") << QByteArray("200 OK") << QByteArray("http://127.0.0.1/new.exe")
                                         << Shape::CutShort << "";
    QTest::newRow("up to date") << QByteArray("200 OK") << QByteArray("0") << Shape::Whole << "";
    QTest::newRow("other scheme") << QByteArray("200 OK") << QByteArray("file:///bin/sh") << Shape::Whole << "";
    QTest::newRow("not an address") << QByteArray("200 OK") << QByteArray("http://") << Shape::Whole << "";
    QTest::newRow("error page with a link") << QByteArray("500 Oops") << QByteArray("http://127.0.0.1/x")
                                            << Shape::Whole << "";
    QTest::newRow("not found") << QByteArray("404 Not Found") << QByteArray() << Shape::Whole << "";
}

void TestUpdateCheck::updateAnswer()
{
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, body);
    QFETCH(LocalHttpServer::Shape, shape);
    QFETCH(QString, offered);
    TemporaryHome home;
    LocalHttpServer server;
    server.answer(kUpdatePath, status, body, shape);
    server.answer(kAdvertisementPath, "404 Not Found", QByteArray());
    qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());

    UpdateCheck check;
    QSignalSpy offers(&check, &UpdateCheck::newVersionAvailable);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    runCheck(check);

    QCOMPARE(offers.size(), offered.isEmpty() ? 0 : 1);
    if (!offered.isEmpty())
        QCOMPARE(offers.first().first().toUrl(), QUrl(offered));
    // Any answer counts as asked for today.
    QVERIFY(readData(QStringLiteral("last-check-version-time")).toLongLong() >= before);
    QVERIFY(server.requests().contains(
        "GET /sms_check_update.php?pid=5D1E0C9A7F3B4E26A8B0C4D2E6F81937&ver=29&q=1 HTTP/1.1"));
    QVERIFY(server.requests().contains("GET /adv.php?pid=5D1E0C9A7F3B4E26A8B0C4D2E6F81937 HTTP/1.1"));
}

void TestUpdateCheck::endlessAnswerIsReadOnlyToTheLimit()
{
    TemporaryHome home;
    LocalHttpServer server;
    server.answer(kUpdatePath, "200 OK", QByteArray("http://127.0.0.1/new.exe\0", 25), LocalHttpServer::Shape::Endless);
    server.answer(kAdvertisementPath, "404 Not Found", QByteArray());
    qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());

    UpdateCheck check;
    check.setTimeoutMs(5000);  // a silent server after the cap ends the request
    QSignalSpy offers(&check, &UpdateCheck::newVersionAvailable);
    runCheck(check);
    // The first 64 KB are the answer; the connection is dropped long before
    // the server would stop on its own.
    QCOMPARE(offers.size(), 1);
    QCOMPARE(offers.first().first().toUrl(), QUrl(QStringLiteral("http://127.0.0.1/new.exe")));
    QVERIFY2(server.endlessBytesSent() < LocalHttpServer::kEndlessCap / 2, QByteArray::number(server.endlessBytesSent()));
}

void TestUpdateCheck::advertisementLine_data()
{
    const QString styled = QStringLiteral("<a style=\"color:#3894BC;text-decoration:none;\" href=\"%1\">%2</a>");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("line");  // empty: not shown
    QTest::newRow("plain anchor") << QByteArray("<a href=\"http://127.0.0.1/p\">Get it</a>")
                                  << styled.arg(QStringLiteral("http://127.0.0.1/p"), QStringLiteral("Get it"));
    QTest::newRow("capitals, single quotes, more attributes")
        << QByteArray("<A TARGET=_blank HREF='https://127.0.0.1/p?a=1&amp;b=2'>Get &amp; go</A>\n")
        << styled.arg(QStringLiteral("https://127.0.0.1/p?a=1&amp;b=2"), QStringLiteral("Get &amp; go"));
    QTest::newRow("tags inside the text dropped")
        << QByteArray("<a href=\"http://127.0.0.1/\"><img src=\"file:///x\"><b>Sale</b></a>")
        << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("Sale"));
    QTest::newRow("utf-8 text") << QByteArray("<a href=\"http://127.0.0.1/\">\xc3\xa9t\xc3\xa9</a>")
                                << styled.arg(QStringLiteral("http://127.0.0.1/"), QStringLiteral("\u00e9t\u00e9"));
    QTest::newRow("not an anchor") << QByteArray("<b>hello</b>") << QString();
    QTest::newRow("text before the anchor") << QByteArray("x<a href=\"http://127.0.0.1/\">a</a>") << QString();
    QTest::newRow("script address") << QByteArray("<a href=\"javascript:alert(1)\">a</a>") << QString();
    QTest::newRow("local file") << QByteArray("<a href=\"file:///etc/passwd\">a</a>") << QString();
    QTest::newRow("no closing tag") << QByteArray("<a href=\"http://127.0.0.1/\">a") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestUpdateCheck::advertisementLine()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, line);
    QCOMPARE(UpdateCheck::advertisementLine(body), line);
}

void TestUpdateCheck::advertisementAnswerIsShownAndKept()
{
    TemporaryHome home;
    LocalHttpServer server;
    server.answer(kUpdatePath, "200 OK", "0");
    server.answer(kAdvertisementPath, "200 OK", "<a href=\"http://127.0.0.1/p\">Get it</a>");
    qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());

    UpdateCheck check;
    QSignalSpy lines(&check, &UpdateCheck::advertisementChanged);
    runCheck(check);
    QCOMPARE(lines.size(), 1);
    const QString line = lines.first().first().toString();
    QVERIFY(line.contains(QStringLiteral("#3894BC")));
    QCOMPARE(QString::fromUtf8(readData(QStringLiteral("last-adv"))), line);

    // A later error answer keeps what is shown and kept.
    QFile::remove(throttleFile());
    server.answer(kAdvertisementPath, "503 Busy", "<a href=\"http://127.0.0.1/q\">Other</a>");
    UpdateCheck again;
    QSignalSpy noLines(&again, &UpdateCheck::advertisementChanged);
    runCheck(again);
    QCOMPARE(noLines.size(), 0);
    QCOMPARE(QString::fromUtf8(readData(QStringLiteral("last-adv"))), line);
}

void TestUpdateCheck::silenceAndRefusalLeaveNoTrace()
{
    TemporaryHome home;
    {
        LocalHttpServer silent;  // answers nothing
        qputenv("FERRY_VENDOR_HOST", silent.hostSetting().toUtf8());
        UpdateCheck check;
        check.setTimeoutMs(300);
        runCheck(check);
        QCOMPARE(silent.requests().size(), 2);
    }
    // The server is gone: the port refuses.
    UpdateCheck refused;
    runCheck(refused);
    QCOMPARE(refused.pendingRequests(), 0);
    // No answer: the next start asks again.
    QVERIFY(!QFileInfo::exists(throttleFile()));
    QVERIFY(UpdateCheck::isDue(QDateTime::currentSecsSinceEpoch()));
}

void TestUpdateCheck::throttle_data()
{
    const qint64 now = 1800000000;
    QTest::addColumn<QByteArray>("stored");  // null: no file
    QTest::addColumn<bool>("due");
    QTest::newRow("no file") << QByteArray() << true;
    QTest::newRow("unreadable number") << QByteArray("soon") << true;
    QTest::newRow("zero") << QByteArray("0") << true;
    QTest::newRow("an hour ago") << QByteArray::number(now - 3600) << false;
    QTest::newRow("exactly a day ago") << QByteArray::number(now - 86400) << false;
    QTest::newRow("more than a day ago") << QByteArray::number(now - 86401) << true;
    QTest::newRow("clock set back") << QByteArray::number(now + 3600) << true;
}

void TestUpdateCheck::throttle()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, due);
    TemporaryHome home;
    if (!stored.isNull())
        writeThrottle(stored);
    QCOMPARE(UpdateCheck::isDue(1800000000), due);
}

void TestUpdateCheck::askedOnceADayAcrossStarts()
{
    TemporaryHome home;
    LocalHttpServer server;
    server.answer(kUpdatePath, "200 OK", "0");
    server.answer(kAdvertisementPath, "200 OK", "");
    qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());
    {
        UpdateCheck first;
        runCheck(first);
    }
    UpdateCheck second;  // as at the next start
    second.start();
    QCOMPARE(second.pendingRequests(), 0);
    QCOMPARE(server.requests().size(), 2);

    writeThrottle(QByteArray::number(QDateTime::currentSecsSinceEpoch() - 86401));
    UpdateCheck dayLater;
    runCheck(dayLater);
    QCOMPARE(server.requests().size(), 4);
}

void TestUpdateCheck::nothingSentWithoutVendorHost()
{
    TemporaryHome home;
    LocalHttpServer server;
    qputenv("FERRY_VENDOR_HOST", QByteArray());
    UpdateCheck check;
    check.start();
    QCOMPARE(check.pendingRequests(), 0);
    QTest::qWait(100);
    QVERIFY(server.requests().isEmpty());
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
