#pragma once

#include "store/AbsFormatExport.h"
#include "store/MsgMessage.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class _MsgAttachment;

// The NDJSON export, for programs: one JSON object a line per message, UTF-8,
// written under a temporary name like the text export. Each object holds
//   "conversation" (the chat identifier), "addresses" (the chat's numbers),
//   "date" (ISO 8601 in UTC), "direction" ("sent" or "received"), "from"
//   (the sender's number of a received message), "text", "subject", and
//   "attachments": [{"path", "mime", "sha256"}] ("sha256" null when the
//   file is missing).
//
// The lines are put together byte by byte rather than through QJsonDocument,
// which builds and converts a whole document per message: a large export
// streams as fast as the CSV one.
class ExportMessagesNdjson : public AbsFormatExport<_MsgMessage>
{
public:
    explicit ExportMessagesNdjson(const QString &path);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

private:
    QSaveFile m_file;
    QByteArray m_line;  // reused, so that its buffer is allocated once
};
