#pragma once

// A small HTTP server on 127.0.0.1 for tests of the program's web requests:
// it answers each GET with the status and body set for its path, or never
// answers when no answer is set, and records the request lines. An answer can
// also be cut short (the connection closes before the announced length) or
// go on and on (the body is followed by filler until the client hangs up, or
// up to kEndlessCap bytes, after which the server keeps silent).

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class LocalHttpServer : public QObject
{
public:
    LocalHttpServer()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::accept);
    }

    enum class Shape { Whole, CutShort, Endless };
    static constexpr qint64 kEndlessCap = 64 * 1024 * 1024;

    // The answer to requests whose path (without query) is `path`.
    void answer(const QByteArray &path, const QByteArray &status, const QByteArray &body, Shape shape = Shape::Whole)
    {
        m_answers.insert(path, {status, body, shape});
    }

    // Bytes of endless answers written so far (what the client took in, give
    // or take the sockets' buffers).
    qint64 endlessBytesSent() const { return m_endlessSent; }

    QString hostSetting() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    // "GET /path?query HTTP/1.1", in the order they came.
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    struct Answer
    {
        QByteArray status;
        QByteArray body;
        Shape shape;
    };

    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray line = buffer.left(buffer.indexOf("\r\n"));
        m_buffers.remove(socket);
        m_requests.append(line);
        const QByteArray target = line.split(' ').value(1);
        const auto answer = m_answers.constFind(target.left(target.indexOf('?')));
        if (answer == m_answers.cend())
            return;  // never answered
        switch (answer->shape) {
        case Shape::Whole:
            socket->write(head(answer->status, answer->body.size()) + answer->body);
            socket->disconnectFromHost();
            break;
        case Shape::CutShort:
            socket->write(head(answer->status, answer->body.size() + 100) + answer->body);
            socket->disconnectFromHost();
            break;
        case Shape::Endless:
            socket->write("HTTP/1.1 " + answer->status + "\r\nConnection: close\r\n\r\n" + answer->body);
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 written) {
                m_endlessSent += written;
                const QByteArray filler(16 * 1024, 'x');
                if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < filler.size()
                    && m_endlessSent < kEndlessCap)
                    socket->write(filler);
            });
            break;
        }
    }

    static QByteArray head(const QByteArray &status, qsizetype length)
    {
        return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length)
            + "\r\nConnection: close\r\n\r\n";
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QByteArray> m_requests;
    qint64 m_endlessSent = 0;
};
