#pragma once

#include <QSharedPointer>

#include "store/MsgDataSet.h"
#include "views/AbsTreeItemModel.h"

class IOS6MessageDb;

// A message source in the tree: the open database and the records loaded from
// it. Both are shared, so whoever still holds a copy keeps them alive after the
// node is gone. The data set starts empty; the owner loads into it.
class _AbsDBItemNode : public AbsTreeItemModel::_ItemNode
{
public:
    _AbsDBItemNode(qint32 kind, const QString &text, const QSharedPointer<IOS6MessageDb> &db)
        : _ItemNode(kind, text)
        , db(db)
        , dataSet(MsgDataSetPtr::create())
    {
    }

    QSharedPointer<IOS6MessageDb> db;
    MsgDataSetPtr dataSet;
};
