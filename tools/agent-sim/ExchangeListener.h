#pragma once

#include "AgentSession.h"

#include <QTcpServer>

// Listens on 127.0.0.1 at the port of one start URL and passes each accepted
// connection on as a socket descriptor, for a session thread to adopt.
class ExchangeListener : public QTcpServer
{
    Q_OBJECT

public:
    ExchangeListener(AgentSession::Kind kind, const QString &url, QObject *parent = nullptr);

    AgentSession::Kind kind() const;
    void setKind(AgentSession::Kind kind, const QString &url);
    QString url() const;

signals:
    void connectionArrived(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    AgentSession::Kind m_kind;
    QString m_url;
};
