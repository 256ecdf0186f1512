#include "views/ItemModelMain.h"

#include "android/AndroidDevice.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgDataSet.h"
#include "store/MsgHandle.h"
#include "views/AbsDBItemNode.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ChatSessionItemNode.h"
#include "views/LocalDBItemNode.h"
#include "views/RootDeviceItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QSize>

#include <algorithm>

namespace {

// Chats that stand for one conversation.
struct ChatGroup
{
    QString identifier;
    QList<_MsgChat *> chats;
    qint32 lastDate = 0;
};

// Groups the chats by exact chat_identifier (chats without one form one group
// together), keeping the order met, newest group first. Groups with the same
// date keep the order met, so a rebuild of the same data gives the same tree.
QList<ChatGroup> groupChats(const MsgDataSet &set)
{
    QList<ChatGroup> groups;
    QHash<QString, qsizetype> groupOfIdentifier;
    for (_MsgChat *chat : set.chats) {
        if (!chat)
            continue;
        const auto found = groupOfIdentifier.constFind(chat->chat_identifier);
        if (found == groupOfIdentifier.cend()) {
            groupOfIdentifier.insert(chat->chat_identifier, groups.size());
            groups.append(ChatGroup{chat->chat_identifier, {chat}, chat->_last});
        } else {
            ChatGroup &group = groups[*found];
            group.chats.append(chat);
            group.lastDate = std::max(group.lastDate, chat->_last);
        }
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const ChatGroup &a, const ChatGroup &b) { return a.lastDate > b.lastDate; });
    return groups;
}

QString kindIconPath(qint32 kind)
{
    switch (kind) {
    case AbsTreeItemModel::KindRootDevice:
        return QStringLiteral(":/res/devices.png");
    case AbsTreeItemModel::KindRootLocalDb:
        return QStringLiteral(":/res/databases.png");
    case AbsTreeItemModel::KindIPhoneDevice:
        return QStringLiteral(":/res/iphone.png");
    case AbsTreeItemModel::KindAndroidDevice:
        return QStringLiteral(":/res/android.png");
    case AbsTreeItemModel::KindLocalDb:
        return QStringLiteral(":/res/database.png");
    default:
        return QString();
    }
}

QImage decodePhoto(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QImage();
    QImage photo = QImage::fromData(bytes, "JPEG");
    if (photo.isNull())
        photo = QImage::fromData(bytes, "PNG");
    return photo;
}

QImage iconOfWidth(const QString &path)
{
    return QImage(path).scaledToWidth(ItemModelMain::kIconSize, Qt::FastTransformation);
}

} // namespace

ItemModelMain::ItemModelMain(QObject *parent)
    : AbsTreeItemModel(parent)
    , m_deviceRoot(new _RootDeviceItemNode(tr("IDS_ROOT_DEVICE")))
    , m_localDbRoot(new _RootLocalDBItemNode(tr("IDS_ROOT_LOCALDB")))
{
    roots.append(m_deviceRoot);
    roots.append(m_localDbRoot);
}

int ItemModelMain::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ItemModelMain::data(const QModelIndex &index, int role) const
{
    const _ItemNode *node = nodeFromIndex(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->text;
    case Qt::DecorationRole: {
        const QImage icon = nodeIcon(*node);
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    default:
        return QVariant();
    }
}

QVariant ItemModelMain::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

_AndroidDeviceItemNode *ItemModelMain::addAndroidDevice(const QSharedPointer<IOS6MessageDb> &db,
                                                         const AndroidDevice &device)
{
    auto *node = new _AndroidDeviceItemNode(device, db);
    appendNodes(m_deviceRoot, {node});
    return node;
}

_LocalDBItemNode *ItemModelMain::addLocalDatabase(const QSharedPointer<IOS6MessageDb> &db,
                                                   const QString &name)
{
    auto *node = new _LocalDBItemNode(name, db);
    appendNodes(m_localDbRoot, {node});
    return node;
}

void ItemModelMain::rebuildConversations(_AbsDBItemNode *node)
{
    if (!node)
        return;
    removeChildren(node);
    if (!node->dataSet)
        return;
    QList<_ItemNode *> conversations;
    for (const ChatGroup &group : groupChats(*node->dataSet)) {
        const QString text = chatDisplayName(*group.chats.constFirst(), false);
        conversations.append(new _ChatSessionItemNode(text, group.chats, group.lastDate));
    }
    appendNodes(node, conversations);
}

bool ItemModelMain::isPermanent(const _ItemNode *node) const
{
    return node == m_deviceRoot || node == m_localDbRoot;
}

QImage ItemModelMain::nodeIcon(const _ItemNode &node) const
{
    if (node.kind == KindChatSession)
        return conversationIcon(static_cast<const _ChatSessionItemNode &>(node));
    return kindIcon(node.kind);
}

QImage ItemModelMain::conversationIcon(const _ChatSessionItemNode &node) const
{
    if (node.chatList.isEmpty() || !node.chatList.constFirst())
        return QImage();
    if (!node.icon.isNull())
        return node.icon;
    const _MsgChat &chat = *node.chatList.constFirst();
    QImage icon;
    if (chat.handles.size() > 1) {
        icon = iconOfWidth(QStringLiteral(":/res/group.png"));
    } else if (chat.handles.size() == 1 && chat.handles.first()) {
        const QImage photo = decodePhoto(chat.handles.first()->_photo);
        if (!photo.isNull())
            icon = photo.scaledToHeight(kIconSize, Qt::FastTransformation);
    }
    if (icon.isNull())
        icon = iconOfWidth(QStringLiteral(":/res/contact.png"));
    // The photo is decoded once per conversation, not on every repaint.
    node.icon = icon;
    return icon;
}

QImage ItemModelMain::kindIcon(qint32 kind) const
{
    const auto cached = m_kindIcons.constFind(kind);
    if (cached != m_kindIcons.cend())
        return *cached;
    const QString path = kindIconPath(kind);
    const QImage icon = path.isEmpty() ? QImage() : iconOfWidth(path);
    m_kindIcons.insert(kind, icon);
    return icon;
}
