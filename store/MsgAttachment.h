#pragma once

#include <QByteArray>
#include <QString>

// One attachment file; fields are the columns of table "attachment" plus the
// resolved path on this computer.
class _MsgAttachment
{
public:
    qint64 rowid = 0;
    QString guid;
    qint32 created_date = 0;     // seconds since 2001
    qint32 start_date = 0;
    QString filename;            // as stored, e.g. "~/Library/SMS/Attachments/..."
    QString uti;
    QString mime_type;
    qint32 transfer_state = 5;
    qint32 is_outgoing = 0;
    QByteArray user_info;
    QString transfer_name;       // file name as sent
    qint64 total_bytes = 0;

    QString localPath;           // absolute path of the file here, set when loaded
};

// The attachment's MIME type begins with `prefix` / is `type`, in any case.
inline bool mimeStartsWith(const _MsgAttachment &attachment, QLatin1String prefix)
{
    return attachment.mime_type.startsWith(prefix, Qt::CaseInsensitive);
}

inline bool mimeIs(const _MsgAttachment &attachment, QLatin1String type)
{
    return attachment.mime_type.compare(type, Qt::CaseInsensitive) == 0;
}
