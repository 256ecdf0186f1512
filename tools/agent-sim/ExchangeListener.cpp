#include "ExchangeListener.h"

ExchangeListener::ExchangeListener(AgentSession::Kind kind, const QString &url, QObject *parent)
    : QTcpServer(parent)
    , m_kind(kind)
    , m_url(url)
{
}

AgentSession::Kind ExchangeListener::kind() const
{
    return m_kind;
}

void ExchangeListener::setKind(AgentSession::Kind kind, const QString &url)
{
    m_kind = kind;
    m_url = url;
}

QString ExchangeListener::url() const
{
    return m_url;
}

void ExchangeListener::incomingConnection(qintptr descriptor)
{
    emit connectionArrived(descriptor);
}
