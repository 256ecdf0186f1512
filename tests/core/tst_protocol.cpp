// The agent line protocol against a loopback peer: framing, commands, errors
// reported to the agent, and the exchange port rule.
#include "android/SimpleProtocol.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <memory>

using namespace simpleprotocol;

namespace {

const int WaitMs = 5000;

// A connected pair on 127.0.0.1: `desktop` is the side the primitives use,
// `agent` the peer that plays the phone.
struct LoopbackPair
{
    QTcpServer server;
    QTcpSocket desktop;
    std::unique_ptr<QTcpSocket> agent;

    LoopbackPair()
    {
        server.listen(QHostAddress::LocalHost, 0);
        desktop.connectToHost(QHostAddress::LocalHost, server.serverPort());
        desktop.waitForConnected(WaitMs);
        server.waitForNewConnection(WaitMs);
        agent.reset(server.nextPendingConnection());
    }

    void agentSends(const QByteArray &bytes)
    {
        agent->write(bytes);
        while (agent->bytesToWrite() > 0)
            agent->waitForBytesWritten(WaitMs);
    }

    // Everything the desktop sends until it closes its side.
    QByteArray agentReceivesUntilClosed()
    {
        desktop.disconnectFromHost();
        QByteArray received;
        while (agent->waitForReadyRead(WaitMs) || agent->bytesAvailable() > 0)
            received += agent->readAll();
        return received;
    }

    QByteArray agentReceivesLine()
    {
        while (!agent->canReadLine() && agent->waitForReadyRead(WaitMs)) {
        }
        return agent->readLine();
    }
};

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void readLineFraming_data();
    void readLineFraming();
    void readLineCompletesALineSplitAcrossPackets();
    void readLineReadsManyBufferedLinesInOrder();
    void readLineFailsWhenThePeerCloses();
    void readLineFailsAfterTheTimeout();

    void readCommandRejectsAnEmptyLine();
    void readCommandRaisesTheAgentsError_data();
    void readCommandRaisesTheAgentsError();
    void expectCommandReturnsTheWholeLine();
    void expectCommandReportsAMismatchToTheAgent();
    void localExceptionGivesWayToATransferError();

    void byeIsSixBytes();
    void sendCommandWritesUtf8();
    void writeAllOfNothingSendsNothing();
    void writeAllDeliversALargeBlock();

    void portRule_data();
    void portRule();
    void nextAgentPortStaysInRange();
    void portSourceReplacesTheRule();
    void startUrls();
    void textFieldsRoundTrip();
};

void TestProtocol::readLineFraming_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("CR LF ends") << QByteArray("abc\r\n") << QString("abc");
    QTest::newRow("LF alone ends") << QByteArray("abc\n") << QString("abc");
    QTest::newRow("CR inside dropped") << QByteArray("a\rb\rc\n") << QString("abc");
    QTest::newRow("only CR LF is empty") << QByteArray("\r\n") << QString();
    QTest::newRow("Latin-1 byte per char") << QByteArray("caf\xe9\xff\n") << QString::fromLatin1("caf\xe9\xff");
    QTest::newRow("stops at first LF") << QByteArray("one\ntwo\n") << QString("one");
}

void TestProtocol::readLineFraming()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    LoopbackPair pair;
    pair.agentSends(bytes);
    QCOMPARE(readLine(pair.desktop, WaitMs), line);
}

void TestProtocol::readLineCompletesALineSplitAcrossPackets()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    // The agent side runs in its own thread so the second half really arrives
    // while the desktop is already waiting.
    QThread *agent = QThread::create([port] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(WaitMs);
        for (const QByteArray &piece : {QByteArray("$sms:12"), QByteArray("34\r"), QByteArray("5\nnext\n")}) {
            socket.write(piece);
            socket.waitForBytesWritten(WaitMs);
            QThread::msleep(50);
        }
        socket.waitForDisconnected(WaitMs);
    });
    agent->start();
    QVERIFY(server.waitForNewConnection(WaitMs));
    std::unique_ptr<QTcpSocket> desktop(server.nextPendingConnection());
    QCOMPARE(readLine(*desktop, WaitMs), QString("$sms:12345"));
    QCOMPARE(readLine(*desktop, WaitMs), QString("next"));
    desktop->disconnectFromHost();
    agent->wait();
    delete agent;
}

void TestProtocol::readLineReadsManyBufferedLinesInOrder()
{
    LoopbackPair pair;
    QByteArray burst;
    for (int i = 0; i < 2000; ++i)
        burst += "$sms:" + QByteArray::number(i) + "\r\n";
    pair.agentSends(burst);
    for (int i = 0; i < 2000; ++i)
        QCOMPARE(readLine(pair.desktop, WaitMs), QString("$sms:%1").arg(i));
}

void TestProtocol::readLineFailsWhenThePeerCloses()
{
    LoopbackPair pair;
    pair.agentSends("partial line without end");
    pair.agent->disconnectFromHost();
    QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readLine(pair.desktop, WaitMs));
}

void TestProtocol::readLineFailsAfterTheTimeout()
{
    LoopbackPair pair;
    QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readLine(pair.desktop, 100));
}

void TestProtocol::readCommandRejectsAnEmptyLine()
{
    LoopbackPair pair;
    pair.agentSends("\r\n");
    try {
        readCommand(pair.desktop, WaitMs);
        QFAIL("an empty command was accepted");
    } catch (const SocketDataTransferException &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QString("Null command."));
    }
}

void TestProtocol::readCommandRaisesTheAgentsError_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QString("disk full");
    QTest::newRow("utf-8") << QString("Speicher voll – 容量不足");
    QTest::newRow("empty") << QString();
}

void TestProtocol::readCommandRaisesTheAgentsError()
{
    QFETCH(QString, text);
    LoopbackPair pair;
    pair.agentSends("$error:" + text.toUtf8().toBase64() + "\r\n");
    try {
        readCommand(pair.desktop, WaitMs);
        QFAIL("no RemoteException");
    } catch (const RemoteException &error) {
        QCOMPARE(QString::fromUtf8(error.what()), text);
    }
}

void TestProtocol::expectCommandReturnsTheWholeLine()
{
    LoopbackPair pair;
    pair.agentSends("$count:42\n");
    QCOMPARE(expectCommand(pair.desktop, "$count:", WaitMs), QString("$count:42"));
}

void TestProtocol::expectCommandReportsAMismatchToTheAgent()
{
    LoopbackPair pair;
    pair.agentSends("$hello:x\n");
    const QString message("invalid feedback [$hello:x], must be [$ready:]");
    try {
        expectCommand(pair.desktop, "$ready:", WaitMs);
        QFAIL("no LocalException");
    } catch (const LocalException &error) {
        QCOMPARE(QString::fromUtf8(error.what()), message);
    }
    QCOMPARE(pair.agentReceivesLine(), "$error:" + message.toUtf8().toBase64() + "\n");
}

void TestProtocol::localExceptionGivesWayToATransferError()
{
    LoopbackPair pair;
    pair.desktop.abort();
    QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, LocalException(pair.desktop, "rejected"));
}

void TestProtocol::byeIsSixBytes()
{
    LoopbackPair pair;
    sendCommand(pair.desktop, "$bye:", QString(), true, WaitMs);
    QCOMPARE(pair.agentReceivesUntilClosed(), QByteArray("$bye:\n"));
}

void TestProtocol::sendCommandWritesUtf8()
{
    LoopbackPair pair;
    sendCommand(pair.desktop, "$atta:", QString::fromUtf8("image/jpeg,caf\u00e9.jpg"), true, WaitMs);
    QCOMPARE(pair.agentReceivesLine(), QByteArray("$atta:image/jpeg,caf\xc3\xa9.jpg\n"));
}

void TestProtocol::writeAllOfNothingSendsNothing()
{
    LoopbackPair pair;
    writeAll(pair.desktop, QByteArray(), true, WaitMs);
    QCOMPARE(pair.agentReceivesUntilClosed(), QByteArray());
}

void TestProtocol::writeAllDeliversALargeBlock()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    qint64 received = 0;
    QThread *agent = QThread::create([port, &received] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(WaitMs);
        while (socket.waitForReadyRead(WaitMs))
            received += socket.readAll().size();
    });
    agent->start();
    QVERIFY(server.waitForNewConnection(WaitMs));
    std::unique_ptr<QTcpSocket> desktop(server.nextPendingConnection());
    // Larger than the socket buffers, written unflushed then flushed: nothing
    // may be lost or left behind.
    const QByteArray block(12 * 1024 * 1024, 'x');
    writeAll(*desktop, block, false, WaitMs);
    writeAll(*desktop, "\n", true, WaitMs);
    QCOMPARE(desktop->bytesToWrite(), qint64(0));
    desktop->disconnectFromHost();
    agent->wait();
    delete agent;
    QCOMPARE(received, block.size() + 1);
}

void TestProtocol::portRule_data()
{
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("counterBefore");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("counterAfter");
    QTest::newRow("minute 7 second 30") << 7 << 30 << 5 << 43005 << 6;
    QTest::newRow("counter 100 restarts at 1") << 7 << 30 << 100 << 43001 << 2;
    QTest::newRow("lowest") << 0 << 0 << 1 << 10001 << 2;
    QTest::newRow("highest") << 59 << 59 << 99 << 45999 << 100;
    QTest::newRow("minute 4 wraps to first band") << 4 << 0 << 1 << 10001 << 2;
}

void TestProtocol::portRule()
{
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(int, counterBefore);
    QFETCH(int, port);
    QFETCH(int, counterAfter);
    int counter = counterBefore;
    QCOMPARE(agentPortFor(minute, second, counter), port);
    QCOMPARE(counter, counterAfter);
}

void TestProtocol::nextAgentPortStaysInRange()
{
    for (int i = 0; i < 250; ++i) {
        const int port = nextAgentPort();
        QVERIFY2(port >= 10001 && port <= 45999, qPrintable(QString::number(port)));
    }
}

void TestProtocol::portSourceReplacesTheRule()
{
    setAgentPortSource([] { return 50123; });
    QCOMPARE(nextAgentPort(), 50123);
    setAgentPortSource({});
    QVERIFY(nextAgentPort() <= 45999);
}

void TestProtocol::startUrls()
{
    QCOMPARE(deviceInfoUrl(12345), QString("device2://127.0.0.1:12345"));
    QCOMPARE(downloadUrl(43005), QString("backup2://127.0.0.1:43005/mms/"));
    QCOMPARE(uploadUrl(10001), QString("restore2://127.0.0.1:10001/mms/"));
}

void TestProtocol::textFieldsRoundTrip()
{
    const QString text = QString::fromUtf8("Grüße 👋 你好");
    QCOMPARE(encodeText(text), QString::fromLatin1(text.toUtf8().toBase64()));
    QCOMPARE(decodeText(encodeText(text)), text);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
