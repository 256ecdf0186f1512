#include "android/UploadPicture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>

namespace UploadPicture {

namespace {

// The size a picture of `size` is sent at: the longer side capped, the other
// in proportion.
QSize cappedSize(const QSize &size)
{
    if (std::max(size.width(), size.height()) <= MaxSide)
        return size;
    if (size.width() > size.height())
        return QSize(MaxSide, std::max(1, int(qint64(size.height()) * MaxSide / size.width())));
    return QSize(std::max(1, int(qint64(size.width()) * MaxSide / size.height())), MaxSide);
}

} // namespace

bool isPicture(const QString &mime)
{
    return mime.startsWith(QLatin1String("image"), Qt::CaseInsensitive);
}

QByteArray reencode(const QString &path, const QString &mime)
{
    QImage image = QImageReader(path).read();
    if (image.isNull())
        return QByteArray();
    const QSize wanted = cappedSize(image.size());
    if (wanted != image.size())
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool png = mime.endsWith(QLatin1String("png"), Qt::CaseInsensitive);
    if (!image.save(&buffer, png ? "PNG" : "JPEG"))
        return QByteArray();
    return bytes;
}

} // namespace UploadPicture
