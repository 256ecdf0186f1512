#include "store/AttachmentBody.h"

#include "app/AppFolders.h"
#include "app/FileErrors.h"
#include "store/MsgAttachment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>

namespace {

// Typed-stream archive up to the GUID's length: NSMutableAttributedString of
// "\uFFFC" with an attribute dictionary whose first key is
// "__kIMFileTransferGUIDAttributeName".
const char kBodyHead[] =
    "040B73747265616D747970656481E803840140848484194E534D757461626C6541747472696275746564537472"
    "696E67008484124E5341747472696275746564537472696E67008484084E534F626A6563740085928484840F4E"
    "534D757461626C65537472696E67018484084E53537472696E67019584012B03EFBFBC86840269490101928484"
    "840C4E5344696374696F6E61727900958401690292849898225F5F6B494D46696C655472616E73666572475549"
    "444174747269627574654E616D65869284989824";
// After the GUID: "__kIMMessagePartAttributeName" = NSNumber 0, then the ends.
const char kBodyTail[] =
    "86928498981D5F5F6B494D4D657373616765506172744174747269627574654E616D658692848484084E534E75"
    "6D626572008484074E5356616C7565009584012A849B9B00868686";

// Integer encoding of typed streams: one byte below 128 (0x80..0x82 are tags),
// else 0x81 and a 16-bit or 0x82 and a 32-bit little-endian value.
QByteArray typedStreamLength(qsizetype length)
{
    QByteArray bytes;
    if (length < 0x80) {
        bytes.append(char(length));
    } else if (length <= 0x7FFF) {
        bytes.append(char(0x81));
        bytes.append(char(length & 0xFF));
        bytes.append(char((length >> 8) & 0xFF));
    } else {
        bytes.append(char(0x82));
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(char((length >> shift) & 0xFF));
    }
    return bytes;
}

QString thumbnailPath(const QString &localPath)
{
    return QDir(QDir::tempPath()).filePath(md5Hex(localPath) + QStringLiteral(".thumb"));
}

constexpr int kThumbnailSide = 120;

QImage scaledForThumbnail(const QImage &image)
{
    if (image.width() >= image.height())
        return image.scaledToWidth(kThumbnailSide, Qt::FastTransformation);
    return image.scaledToHeight(kThumbnailSide, Qt::FastTransformation);
}

// Written through a temporary file so a reader never sees half a picture.
void writeThumbnail(const QImage &image, const char *format, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    // One that does not fit on the disk is left out; it is made again next time.
    if (!scaledForThumbnail(image).save(&file, format) || !commitSaveFile(file))
        file.cancelWriting();
}

} // namespace

QByteArray attachmentAttributedBody(const QString &guid)
{
    // The head's hex ends with the length byte of a 36-character GUID ("24");
    // it is written here from the real length instead.
    QByteArray head = QByteArray::fromHex(kBodyHead);
    head.chop(1);
    const QByteArray guidBytes = guid.toUtf8();
    return head + typedStreamLength(guidBytes.size()) + guidBytes + QByteArray::fromHex(kBodyTail);
}

QString attachmentThumbnail(const _MsgAttachment &attachment)
{
    const QString path = thumbnailPath(attachment.localPath);
    if (QFile::exists(path) || attachment.localPath.isEmpty())
        return path;
    // Whatever Qt reads (GIF, BMP, WebP, ...), told by the content: stored
    // names and types come from phones. Photographs stay JPEG, the rest
    // become PNG, which Qt always writes.
    QImageReader reader(attachment.localPath);
    reader.setDecideFormatFromContent(true);
    const bool jpeg = isJpegFormat(reader.format());  // known before reading only
    const QImage image = reader.read();
    if (!image.isNull())
        writeThumbnail(image, jpeg ? "JPEG" : "PNG", path);
    return path;
}

bool isJpegFormat(const QByteArray &format)
{
    return format == "jpeg" || format == "jpg";
}
