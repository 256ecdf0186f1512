#pragma once

// A small HTTP server on 127.0.0.1 for tests of the program's web requests:
// it answers each GET with the status and body set for its path, or never
// answers when no answer is set, and records the request lines.

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

    // The answer to requests whose path (without query) is `path`.
    void answer(const QByteArray &path, const QByteArray &status, const QByteArray &body)
    {
        m_answers.insert(path, {status, body});
    }

    QString hostSetting() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    // "GET /path?query HTTP/1.1", in the order they came.
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    struct Answer
    {
        QByteArray status;
        QByteArray body;
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
        socket->write("HTTP/1.1 " + answer->status + "\r\nContent-Length: " + QByteArray::number(answer->body.size())
                      + "\r\nConnection: close\r\n\r\n" + answer->body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QByteArray> m_requests;
};
