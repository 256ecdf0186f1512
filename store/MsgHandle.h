#pragma once

#include <QByteArray>
#include <QString>

// One address (the other party of a conversation); fields are the columns of
// table "handle".
class _MsgHandle
{
public:
    qint64 rowid = 0;
    QString id;                  // number or address as stored
    QString country;             // country code of the number
    QString service = QStringLiteral("SMS");
    QString uncanonicalized_id;
    QString _ct_name;            // contact name, may be empty
    QByteArray _photo;           // contact photo, may be empty
};
