#include "views/ItemModelSms.h"

#include "store/AppleTime.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgMessage.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <QSize>

namespace {

const QColor kSentBackground(245, 255, 226);
const QColor kReceivedBackground(255, 255, 255);

bool isSent(const _MsgMessage &message)
{
    return message.is_from_me != 0;
}

bool isIMessage(const _MsgMessage &message)
{
    return message.service.compare(QLatin1String("iMessage"), Qt::CaseInsensitive) == 0;
}

QString headerText(int column)
{
    switch (column) {
    case ItemModelSms::ColumnDate:
        return QStringLiteral("Date");
    case ItemModelSms::ColumnFlag:
        return QStringLiteral("Flag");
    case ItemModelSms::ColumnContact:
        return QStringLiteral("Contact");
    case ItemModelSms::ColumnContent:
        return QStringLiteral("Content");
    default:
        return QString();
    }
}

QString flagText(const _MsgMessage &message)
{
    if (message.item_type != _MsgMessage::ItemOrdinary)
        return QString();
    return isSent(message) ? QStringLiteral("To") : QStringLiteral("From");
}

QString contactText(const _MsgMessage &message)
{
    if (message.item_type == _MsgMessage::ItemOrdinary)
        return messageSenderLabel(message);
    return message.chat ? chatDisplayName(*message.chat, false) : QString();
}

} // namespace

ItemModelSms::ItemModelSms(QObject *parent)
    : QAbstractItemModel(parent)
{
}

void ItemModelSms::setMessages(const MsgMessageList &list)
{
    beginResetModel();
    m_messageList = list;
    endResetModel();
}

_MsgMessage *ItemModelSms::messageAt(int row) const
{
    return row >= 0 && row < m_messageList.size() ? m_messageList.at(row) : nullptr;
}

void ItemModelSms::sortForDisplay(MsgMessageList &list, Qt::SortOrder order)
{
    sortMessages(list, order == Qt::DescendingOrder);
}

QModelIndex ItemModelSms::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    // Column 0 carries the message, for code that works from a selection.
    return createIndex(row, column, column == ColumnDate ? m_messageList.at(row) : nullptr);
}

QModelIndex ItemModelSms::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int ItemModelSms::rowCount(const QModelIndex &parent) const
{
    // A flat list: nothing lies under any row, whatever its column.
    return parent.isValid() ? 0 : int(m_messageList.size());
}

int ItemModelSms::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant ItemModelSms::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    const QString text = headerText(section);
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QVariant ItemModelSms::data(const QModelIndex &index, int role) const
{
    const _MsgMessage *message = index.isValid() ? messageAt(index.row()) : nullptr;
    if (!message || index.column() < 0 || index.column() >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return columnText(*message, index.column());
    case Qt::DecorationRole:
        return index.column() == ColumnDate ? QVariant(directionIcon(*message)) : QVariant();
    case Qt::BackgroundRole:
        return QBrush(isSent(*message) ? kSentBackground : kReceivedBackground);
    case Qt::SizeHintRole:
        return QSize(0, kRowHeight);
    default:
        return QVariant();
    }
}

QString ItemModelSms::columnText(const _MsgMessage &message, int column) const
{
    switch (column) {
    case ColumnDate:
        return QLocale().toString(appleTimeToDateTime(message.date), QLocale::ShortFormat);
    case ColumnFlag:
        return flagText(message);
    case ColumnContact:
        return contactText(message);
    case ColumnContent:
        return messagePlainText(message);
    default:
        return QString();
    }
}

QPixmap ItemModelSms::directionIcon(const _MsgMessage &message) const
{
    static const char *const kPaths[4] = {
        ":/res/icon_sms-receive.png",
        ":/res/icon_sms-sent.png",
        ":/res/imsg-rec.png",
        ":/res/imsg-send.png",
    };
    const int which = (isIMessage(message) ? 2 : 0) + (isSent(message) ? 1 : 0);
    QPixmap &icon = m_icons[which];
    if (icon.isNull())
        icon = QPixmap(QString::fromLatin1(kPaths[which])).scaledToWidth(kIconWidth, Qt::FastTransformation);
    return icon;
}
