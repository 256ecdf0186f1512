#pragma once

#include <QByteArray>
#include <QString>

class _MsgAttachment;

// The serialised rich body of a message that is one attachment: a typed-stream
// archive of an attributed string "\uFFFC" carrying the file-transfer GUID
// `guid` and the message-part index zero. The GUID's UTF-8 length is written in the stream's
// integer encoding (one byte below 128, so 36 for a newGuid() GUID).
QByteArray attachmentAttributedBody(const QString &guid);

// Path of the attachment's thumbnail in the temporary folder:
// <temp>/<md5Hex(localPath)>.thumb. Made on first call from any picture Qt
// reads (longer side 120 pixels; JPEG from a JPEG, else PNG); other files get
// no thumbnail file but the path is still returned.
QString attachmentThumbnail(const _MsgAttachment &attachment);

// True for the names Qt's picture readers give JPEG ("jpeg", "jpg").
bool isJpegFormat(const QByteArray &format);
