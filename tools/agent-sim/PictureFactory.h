#pragma once

#include <QByteArray>
#include <QList>

// Makes real, decodable pictures cheaply. A few base photos are drawn and
// encoded once; each requested picture is one of them with a JPEG comment
// segment carrying its number and padding, so every file differs and reaches
// the asked size without encoding a new image each time.
class PictureFactory
{
public:
    explicit PictureFactory(quint32 seed);

    // A JPEG of exactly `targetBytes`, unless even the smallest base photo is larger.
    QByteArray jpeg(quint32 number, int targetBytes);
    // A small PNG sticker, drawn for `number`.
    QByteArray png(quint32 number) const;

private:
    // A base photo that leaves room for the picture's label within targetBytes.
    const QByteArray &basePhoto(quint32 number, int targetBytes);

    quint32 m_seed;
    QList<QByteArray> m_basePhotos;
};
