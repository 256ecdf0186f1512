#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// A vCard as read from a contact attachment: entries (BEGIN ... END blocks)
// of properties in file order.

struct VCardProperty
{
    QString name;                  // as written, letter case kept
    QMap<QString, QString> params; // a parameter without "=" has an empty value; last one wins
    QByteArray value;              // transfer encoding undone, still in its character set
};

using VCardEntry = QList<VCardProperty>;

// Every entry of the input. Input the reader rejects yields the entries begun
// before the fault. BEGIN and END are matched case-sensitively.
QList<VCardEntry> parseVCards(const QByteArray &bytes);

// The value as text: in the property's CHARSET when one is named and known,
// else in the local 8-bit code page.
QString propertyText(const VCardProperty &property);
