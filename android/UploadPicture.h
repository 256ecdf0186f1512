#pragma once

#include <QByteArray>
#include <QString>

// Pictures travel to a phone re-encoded and no larger than a phone screen
// needs, which keeps transfers of photo-heavy conversations short.
namespace UploadPicture {

// The longest side, in pixels, of a picture sent to a phone.
constexpr int MaxSide = 1080;

// Whether an attachment of this type travels re-encoded.
bool isPicture(const QString &mime);

// The bytes to send for the picture file at `path` of type `mime`: scaled down
// to MaxSide on its longer side when larger, encoded as PNG when the type ends
// with "png" and as JPEG otherwise. Empty when the file is no picture this
// program can read or the encoding failed.
QByteArray reencode(const QString &path, const QString &mime);

} // namespace UploadPicture
