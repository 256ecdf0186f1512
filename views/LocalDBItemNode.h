#pragma once

#include "views/AbsDBItemNode.h"

// A local database folder; its text is the folder's name.
class _LocalDBItemNode : public _AbsDBItemNode
{
public:
    _LocalDBItemNode(const QString &name, const QSharedPointer<IOS6MessageDb> &db)
        : _AbsDBItemNode(AbsTreeItemModel::KindLocalDb, name, db)
    {
    }
};
