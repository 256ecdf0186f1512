#include "PictureFactory.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>

namespace {

// A JPEG comment segment holds at most this many bytes after its length field.
const int MaxCommentBytes = 65533;

QByteArray encode(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// A landscape of gradients and shapes with fine noise, so that the encoded file
// has the weight of a real photo.
QImage drawPhoto(QRandomGenerator &random, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(random.bounded(360), 160, 120));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 24; ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv(random.bounded(360), 80 + random.bounded(170),
                                         80 + random.bounded(170), 160));
        const int size = 20 + random.bounded(width / 3);
        painter.drawEllipse(random.bounded(width), random.bounded(height), size, size);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = random.bounded(41) - 20;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + noise, 0, 255), std::clamp(qGreen(p) + noise, 0, 255),
                           std::clamp(qBlue(p) + noise, 0, 255));
        }
    }
    return image;
}

QByteArray commentSegment(const QByteArray &payload)
{
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xFE", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    return segment + payload;
}

} // namespace

PictureFactory::PictureFactory(quint32 seed)
    : m_seed(seed)
{
}

const QByteArray &PictureFactory::basePhoto(quint32 number, int targetBytes)
{
    if (m_basePhotos.isEmpty()) {
        // Full-size photos for the usual picture sizes, thumbnails for small ones.
        QRandomGenerator random(m_seed);
        static const int sizes[][2] = {{640, 480}, {480, 640}, {800, 600}, {600, 800}, {720, 540},
                                       {512, 512}, {160, 120}, {120, 160}, {144, 144}};
        for (const auto &size : sizes)
            m_basePhotos.append(encode(drawPhoto(random, size[0], size[1]), "JPEG", 85));
    }
    QList<const QByteArray *> fitting;
    for (const QByteArray &photo : std::as_const(m_basePhotos)) {
        if (photo.size() + 64 <= targetBytes)
            fitting.append(&photo);
    }
    if (fitting.isEmpty()) {
        return *std::min_element(m_basePhotos.cbegin(), m_basePhotos.cend(),
                                 [](const QByteArray &a, const QByteArray &b) { return a.size() < b.size(); });
    }
    return *fitting.at(int(number % fitting.size()));
}

QByteArray PictureFactory::jpeg(quint32 number, int targetBytes)
{
    const QByteArray &base = basePhoto(number, targetBytes);
    // Comment segments go right after the start-of-image marker, where every
    // decoder skips them. The first names the picture; the others pad it to
    // the exact size asked for.
    QByteArray label = QByteArrayLiteral("ferrywright test picture #") + QByteArray::number(number);
    qint64 missing = targetBytes - (base.size() + 4 + label.size());
    if (missing > 0 && missing <= 4) {
        label.append(QByteArray(int(missing), ' '));
        missing = 0;
    }
    QByteArray picture = base.left(2) + commentSegment(label);
    const char fill = char('a' + number % 26);
    while (missing > 4) {
        qint64 chunk = std::min<qint64>(missing - 4, MaxCommentBytes);
        // Never leave a remainder too small to hold a segment of its own.
        const qint64 rest = missing - (chunk + 4);
        if (rest > 0 && rest <= 4)
            chunk -= 5;
        picture += commentSegment(QByteArray(int(chunk), fill));
        missing -= chunk + 4;
    }
    return picture + base.mid(2);
}

QByteArray PictureFactory::png(quint32 number) const
{
    QRandomGenerator random(m_seed ^ (number * 2654435761u));
    QImage image(96, 96, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(int(number * 37 % 360), 200, 230));
    painter.setPen(QPen(Qt::black, 3));
    painter.drawEllipse(4, 4, 88, 88);
    painter.setBrush(Qt::black);
    painter.drawEllipse(28, 32, 10, 14);
    painter.drawEllipse(58, 32, 10, 14);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(26, 40, 44, 32 + random.bounded(8), 200 * 16, 140 * 16);
    // A row of dots spelling the number in binary keeps every sticker distinct.
    for (int bit = 0; bit < 16; ++bit) {
        painter.setPen(Qt::NoPen);
        painter.setBrush((number >> bit) & 1 ? Qt::black : Qt::white);
        painter.drawRect(16 + bit * 4, 80, 3, 3);
    }
    painter.end();
    return encode(image, "PNG");
}
