#include "android/GroupConversation.h"

namespace {

const int GroupChatStyle = 43;

QStringList distinctSorted(const QStringList &members)
{
    QStringList sorted = members;
    sorted.removeDuplicates();
    sorted.sort();
    return sorted;
}

} // namespace

QString GroupConversation::identifierOf(const QStringList &members)
{
    return distinctSorted(members).join(QStringLiteral(", "));
}

GroupConversation::GroupConversation(const QStringList &members)
{
    const QStringList sorted = distinctSorted(members);
    const QString identifier = identifierOf(sorted);
    m_chat.guid = QStringLiteral("SMS;+;") + identifier;
    m_chat.chat_identifier = identifier;
    m_chat.style = GroupChatStyle;
    for (const QString &address : std::as_const(sorted)) {
        m_members.emplace_back();
        m_members.back().id = address;
        m_chat.handles.insert(QString::number(m_members.size() - 1), &m_members.back());
    }
}

_MsgHandle *GroupConversation::member(const QString &address)
{
    for (_MsgHandle &handle : m_members) {
        if (handle.id == address)
            return &handle;
    }
    return nullptr;
}
