#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One MMS part kept in the phone store: its type, the name the phone reports
// and the file (relative to the store folder) that holds its bytes.
struct SimPart
{
    QString mime;
    QString name;
    QString file;
};

// One message of the simulated phone, as the agent would read it from the
// phone's own database.
struct SimMessage
{
    qint64 dateMs = 0;        // milliseconds since 1970-01-01 UTC
    bool sent = false;        // written by the phone's owner
    QStringList addresses;    // other parties; more than one for a group
    QString name;             // contact name of the (sending) other party
    QString text;
    QString subject;
    QList<SimPart> parts;

    QJsonObject toJson() const;
    static SimMessage fromJson(const QJsonObject &object);

    // The value of the record's number field: the addresses joined by ";".
    QString addressField() const;
};
