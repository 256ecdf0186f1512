#pragma once

#include "store/AbsFormatExport.h"
#include "store/MsgMessage.h"

#include <QSaveFile>
#include <QString>
#include <QTextStream>

class _MsgAttachment;
class QJsonObject;

// The NDJSON export, for programs: one JSON object a line per message, UTF-8,
// written under a temporary name like the text export. Each object holds
//   "conversation" (the chat identifier), "addresses" (the chat's numbers),
//   "date" (ISO 8601 in UTC), "direction" ("sent" or "received"), "from"
//   (the sender's number of a received message), "text", "subject", and
//   "attachments": [{"path", "mime", "sha256"}] ("sha256" null when the
//   file is missing).
class ExportMessagesNdjson : public AbsFormatExport<_MsgMessage>
{
public:
    explicit ExportMessagesNdjson(const QString &path);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

    // The object written for `message`.
    static QJsonObject messageObject(const _MsgMessage &message);

private:
    QSaveFile m_file;
    QTextStream m_stream;
};
