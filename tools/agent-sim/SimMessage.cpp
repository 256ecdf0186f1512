#include "SimMessage.h"

#include <QJsonArray>

QJsonObject SimMessage::toJson() const
{
    QJsonArray partArray;
    for (const SimPart &part : parts)
        partArray.append(QJsonObject{{"mime", part.mime}, {"name", part.name}, {"file", part.file}});
    QJsonObject object{{"date", dateMs},
                       {"sent", sent},
                       {"addresses", QJsonArray::fromStringList(addresses)},
                       {"text", text}};
    if (!name.isEmpty())
        object.insert("name", name);
    if (!subject.isEmpty())
        object.insert("subject", subject);
    if (!parts.isEmpty())
        object.insert("parts", partArray);
    return object;
}

SimMessage SimMessage::fromJson(const QJsonObject &object)
{
    SimMessage message;
    message.dateMs = object.value("date").toInteger();
    message.sent = object.value("sent").toBool();
    for (const QJsonValue &address : object.value("addresses").toArray())
        message.addresses.append(address.toString());
    message.name = object.value("name").toString();
    message.text = object.value("text").toString();
    message.subject = object.value("subject").toString();
    for (const QJsonValue &value : object.value("parts").toArray()) {
        const QJsonObject part = value.toObject();
        message.parts.append(SimPart{part.value("mime").toString(), part.value("name").toString(),
                                     part.value("file").toString()});
    }
    return message;
}

QString SimMessage::addressField() const
{
    return addresses.join(QLatin1Char(';'));
}
