#include "app/ErrorReport.h"
#include "app/VendorServer.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// One HTTP request as it arrived at the local server.
struct CapturedRequest
{
    QByteArray requestLine;
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
};

// A local server that reads one request per connection and answers it with a
// fixed status, or not at all.
class RequestCapture : public QObject
{
public:
    explicit RequestCapture(QByteArray status = "200 OK")
        : m_status(std::move(status))
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, &RequestCapture::accept);
    }

    void setAnswering(bool answering) { m_answering = answering; }
    quint16 port() const { return m_server.serverPort(); }
    QString hostSetting() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    int connections() const { return m_connections; }
    const QList<CapturedRequest> &requests() const { return m_requests; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        CapturedRequest request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        request.requestLine = lines.value(0).trimmed();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        m_requests.append(request);
        m_buffers.remove(socket);
        if (m_answering) {
            socket->write("HTTP/1.1 " + m_status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QByteArray m_status;
    bool m_answering = true;
    int m_connections = 0;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<CapturedRequest> m_requests;
};

QString fromReportBase64(QByteArray value)
{
    value.replace('!', '/').replace('-', '=');
    return QString::fromUtf8(QByteArray::fromBase64(value));
}

// The three values of a report body, decoded.
QMap<QByteArray, QString> decodeBody(const QByteArray &body)
{
    QMap<QByteArray, QString> values;
    for (const QByteArray &pair : body.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        values.insert(pair.left(eq), fromReportBase64(pair.mid(eq + 1)));
    }
    return values;
}

void setVendorHost(const QString &host)
{
    qputenv("FERRY_VENDOR_HOST", host.toUtf8());
}

} // namespace

class TestErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A proxy from the environment must not carry test traffic anywhere else.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    void cleanup() { setVendorHost(QString()); }

    // --- encoding ---

    void base64_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slash and equals in text") << "a/b=c" << "YS9iPWM-";
        QTest::newRow("slash in the code") << "???" << "Pz8!";
        QTest::newRow("utf-8 bytes") << QStringLiteral("\u00e9") << "w6k-";
        QTest::newRow("two pad characters") << "3.2.09(29)" << "My4yLjA5KDI5KQ--";
        QTest::newRow("empty") << "" << "";
    }

    void base64()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(toReportBase64(text), expected);
    }

    void cleaning_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("capitals, blank before slash") << "a<BR />b" << "a\r\nb";
        QTest::newRow("plain tag") << "a<br>b" << "a\r\nb";
        QTest::newRow("blanks everywhere") << "a<  bR  />b" << "a\r\nb";
        QTest::newRow("two in a row") << "<br/><br/>" << "\r\n\r\n";
        QTest::newRow("entities") << "&lt;b&gt;" << "<b>";
        QTest::newRow("tag made of entities stays text") << "&lt;br&gt;" << "<br>";
        QTest::newRow("escaped outside text") << "a &amp;&amp; &quot;b&quot; &amp;lt;" << "a && \"b\" &lt;";
        QTest::newRow("other tags untouched") << "<bra><p>" << "<bra><p>";
    }

    void cleaning()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(cleanReportText(text), expected);
    }

    void bodyHoldsThreeDecodableValues()
    {
        const QByteArray body = errorReportBody(QStringLiteral("disk full<br/>a/b=c"));
        QVERIFY(body.startsWith("prod="));
        QCOMPARE(body.count('&'), 2);
        QCOMPARE(body.count('='), 3);
        QVERIFY(!body.contains('/'));
        const auto values = decodeBody(body);
        QCOMPARE(values.keys(), (QList<QByteArray>{"err", "prod", "ver"}));
        QCOMPARE(values["prod"], QStringLiteral("Ferrywright Android SMS + MMS Transfer"));
        QCOMPARE(values["ver"], QStringLiteral("3.2.09(29)"));
        QCOMPARE(values["err"], QStringLiteral("disk full\r\na/b=c"));
    }

    // --- vendor address ---

    void vendorAddress_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << "" << "";
        QTest::newRow("host only, port 80") << "vendor.example" << "http://vendor.example/adv.php?pid=X";
        QTest::newRow("host and port") << "127.0.0.1:8080" << "http://127.0.0.1:8080/adv.php?pid=X";
        QTest::newRow("path smuggled in") << "vendor.example/evil" << "";
        QTest::newRow("user info") << "me@vendor.example" << "";
        QTest::newRow("query smuggled in") << "vendor.example?x=1" << "";
        QTest::newRow("bad port") << "vendor.example:port" << "";
    }

    void vendorAddress()
    {
        QFETCH(QString, host);
        QFETCH(QString, expected);
        setVendorHost(host);
        QCOMPARE(vendorUrl(QStringLiteral("/adv.php?pid=X")).toString(), expected);
    }

    // --- posting ---

    void postsOneReport()
    {
        RequestCapture server;
        setVendorHost(server.hostSetting());
        sendErrorReport(QStringLiteral("line1<BR />line2 &lt;x&gt;"));

        QTRY_COMPARE(server.requests().size(), 1);
        const CapturedRequest request = server.requests().first();
        QCOMPARE(request.requestLine, QByteArray("POST /err_report.php HTTP/1.1"));
        QCOMPARE(request.headers.value("host"), server.hostSetting().toLatin1());
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        const auto values = decodeBody(request.body);
        QCOMPARE(values["prod"], QStringLiteral("Ferrywright Android SMS + MMS Transfer"));
        QCOMPARE(values["ver"], QStringLiteral("3.2.09(29)"));
        QCOMPARE(values["err"], QStringLiteral("line1\r\nline2 <x>"));
        QTRY_COMPARE(errorReportsInFlight(), 0);
        QCOMPARE(server.connections(), 1);
    }

    void noRequestWithoutHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("empty") << "";
        QTest::newRow("not a plain host") << "127.0.0.1:%1/x";
    }

    void noRequestWithoutHost()
    {
        QFETCH(QString, host);
        RequestCapture server;
        setVendorHost(host.contains(QLatin1String("%1")) ? host.arg(server.port()) : host);
        sendErrorReport(QStringLiteral("nobody hears this"));
        QCOMPARE(errorReportsInFlight(), 0);
        QTest::qWait(300);
        QCOMPARE(server.connections(), 0);
    }

    void failuresAreDroppedAndReleased_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("server error") << QByteArray("500 Internal Server Error");
        QTest::newRow("not found") << QByteArray("404 Not Found");
    }

    void failuresAreDroppedAndReleased()
    {
        QFETCH(QByteArray, status);
        RequestCapture server(status);
        setVendorHost(server.hostSetting());
        sendErrorReport(QStringLiteral("x"));
        QTRY_COMPARE(server.requests().size(), 1);
        QTRY_COMPARE(errorReportsInFlight(), 0);
    }

    void refusedConnectionIsReleased()
    {
        quint16 port = 0;
        {
            RequestCapture closed;
            port = closed.port();
        }
        setVendorHost(QStringLiteral("127.0.0.1:%1").arg(port));
        sendErrorReport(QStringLiteral("x"));
        QTRY_COMPARE(errorReportsInFlight(), 0);
    }

    void severalReportsAreIndependent()
    {
        RequestCapture server;
        setVendorHost(server.hostSetting());
        sendErrorReport(QStringLiteral("first"));
        sendErrorReport(QStringLiteral("second"));
        QTRY_COMPARE(server.requests().size(), 2);
        QStringList errors;
        for (const CapturedRequest &request : server.requests())
            errors << decodeBody(request.body)["err"];
        errors.sort();
        QCOMPARE(errors, (QStringList{"first", "second"}));
        QTRY_COMPARE(errorReportsInFlight(), 0);
    }

    // Runs last on purpose: the report is still waiting for its answer when the
    // application object goes away, which must end the process cleanly.
    void unansweredReportDoesNotBlockExit()
    {
        auto *server = new RequestCapture;
        server->setParent(QCoreApplication::instance());
        server->setAnswering(false);
        setVendorHost(server->hostSetting());
        sendErrorReport(QStringLiteral("left behind"));
        QTRY_COMPARE(server->requests().size(), 1);
        QCOMPARE(errorReportsInFlight(), 1);
    }
};

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
