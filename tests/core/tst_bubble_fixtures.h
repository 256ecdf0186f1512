// Builds small conversations in memory for the view tests: chats, handles,
// messages and attachments in one data set, with row ids handed out in order.

#pragma once

#include "store/AppleTime.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QDateTime>
#include <QImage>
#include <QBuffer>

class ConversationBuilder
{
public:
    // A fixed local time, so that date lines are predictable.
    static qint32 baseDate()
    {
        return dateTimeToAppleTime(QDateTime(QDate(2023, 5, 14), QTime(9, 30)));
    }

    MsgDataSetPtr set = MsgDataSetPtr::create();

    _MsgHandle *handle(const QString &id, const QString &name = QString(), const QByteArray &photo = {})
    {
        _MsgHandle *h = set->ensureHandle(++m_lastHandle);
        h->id = id;
        h->_ct_name = name;
        h->_photo = photo;
        return h;
    }

    _MsgChat *chat(const QString &identifier, const QList<_MsgHandle *> &handles, qint32 last = 0)
    {
        _MsgChat *c = set->ensureChat(++m_lastChat);
        c->chat_identifier = identifier;
        c->_last = last;
        for (_MsgHandle *h : handles)
            c->handles.insert(QString::number(h->rowid), h);
        return c;
    }

    // A message `secondsAfterBase` after baseDate(); received ones come from
    // `from` (the chat's first handle when null).
    _MsgMessage *message(_MsgChat *c, qint32 secondsAfterBase, const QString &text, bool fromMe,
                         _MsgHandle *from = nullptr)
    {
        _MsgMessage *m = set->ensureMessage(++m_lastMessage);
        m->sortKey = m->rowid;
        m->chat = c;
        m->date = baseDate() + secondsAfterBase;
        m->text = text;
        m->is_from_me = fromMe ? 1 : 0;
        m->service = QStringLiteral("SMS");
        if (!fromMe)
            m->handle = from ? from : (c && !c->handles.isEmpty() ? c->handles.first() : nullptr);
        if (c)
            c->messages.insert(QString::number(m->rowid), m);
        m_list.append(m);
        return m;
    }

    _MsgAttachment *attachment(_MsgMessage *m, const QString &mimeType, const QString &localPath)
    {
        _MsgAttachment *a = set->ensureAttachment(++m_lastAttachment);
        a->mime_type = mimeType;
        a->localPath = localPath;
        a->filename = localPath;
        m->attachments.insert(QString::number(a->rowid), a);
        m->text += QChar(0xFFFC);
        return a;
    }

    // `count` alternating messages, `gapSeconds` apart.
    void chatter(_MsgChat *c, int count, qint32 gapSeconds = 30)
    {
        for (int i = 0; i < count; ++i)
            message(c, i * gapSeconds, QStringLiteral("message %1").arg(i + 1), i % 2 == 1);
    }

    // Messages in the order they were added.
    const MsgMessageList &list() const { return m_list; }

    static QByteArray imageBytes(int width, int height, const char *format, QColor colour = Qt::red)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    }

private:
    qint64 m_lastHandle = 0;
    qint64 m_lastChat = 0;
    qint64 m_lastMessage = 0;
    qint64 m_lastAttachment = 0;
    MsgMessageList m_list;
};
