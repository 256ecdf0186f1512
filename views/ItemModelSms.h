#pragma once

#include <QAbstractItemModel>
#include <QPixmap>

#include "store/MsgMessageList.h"

// The message list: one row per message of the shown conversation or source,
// in the order the owner sorted them (the conversation view shows the same
// list, so row n there is message n here). Columns Date, Flag, Contact,
// Content; rows 23 pixels high, sent messages on a light green background.
//
// The model does not own the messages (a tree node's data set does) and does
// not sort: the owner sorts with sortForDisplay and hands the list to both
// views, so that they always agree.
class ItemModelSms : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { ColumnDate = 0, ColumnFlag, ColumnContact, ColumnContent, ColumnCount };

    static constexpr int kRowHeight = 23;
    static constexpr int kIconWidth = 18;

    explicit ItemModelSms(QObject *parent = nullptr);

    // Replaces the list (a model reset). An empty list clears the view.
    void setMessages(const MsgMessageList &list);
    const MsgMessageList &messageList() const { return m_messageList; }
    // The message of a row, or null outside the list.
    _MsgMessage *messageAt(int row) const;

    // Only the date column sorts, and always by messageLessThan.
    static bool isSortableColumn(int column) { return column == ColumnDate; }
    static void sortForDisplay(MsgMessageList &list, Qt::SortOrder order);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QString columnText(const _MsgMessage &message, int column) const;
    QPixmap directionIcon(const _MsgMessage &message) const;

    MsgMessageList m_messageList;
    // Sent/received SMS and iMessage icons, scaled once.
    mutable QPixmap m_icons[4];
};
