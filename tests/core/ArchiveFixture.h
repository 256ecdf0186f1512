#pragma once

// The lines of an SMS Import/Export archive's messages.ndjson, written in
// code: SMS and MMS objects with the columns the phone's tables have.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace archivetest {

inline QByteArray line(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

inline QJsonObject sms(qint64 dateMs, int type, const QString &address, const QString &body)
{
    return {{"_id", "1"}, {"thread_id", "1"}, {"address", address}, {"date", QString::number(dateMs)},
            {"type", QString::number(type)}, {"body", body}, {"read", "1"}};
}

inline QJsonObject mms(qint64 dateMs, int box, const QJsonArray &parts, const QJsonArray &addresses)
{
    return {{"_id", "7"}, {"date", QString::number(dateMs / 1000)}, {"msg_box", QString::number(box)},
            {"__parts", parts}, {"__addresses", addresses}};
}

inline QJsonObject address(const QString &number, int type)
{
    return {{"address", number}, {"type", QString::number(type)}, {"charset", "106"}};
}

} // namespace archivetest
