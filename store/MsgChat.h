#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class _MsgHandle;
class _MsgMessage;

// One conversation; fields are the columns of table "chat". The referenced
// handles and messages are owned by the MsgDataSet holding the chat.
class _MsgChat
{
public:
    qint64 rowid = 0;
    QString guid;
    qint32 style = 45;
    qint32 state = 3;
    QString account_id;
    QByteArray properties;
    QString chat_identifier;
    QString service_name = QStringLiteral("SMS");
    QString room_name;
    QString account_login = QStringLiteral("E:");
    qint32 is_archived = 0;
    QString last_addressed_handle;
    QString display_name;
    qint32 _last = 0;            // date of the newest message, seconds since 2001
    QString group_id;

    // One entry per handle; keyed by the decimal row id when loaded from a database.
    QMap<QString, _MsgHandle *> handles;
    // Keyed by the decimal text of the message row id.
    QMap<QString, _MsgMessage *> messages;

    // More than one handle.
    bool isGroup() const { return handles.size() > 1; }
};
