#pragma once

#include <QByteArray>
#include <QString>

// The plain text of an iPhone message's "attributedBody": an
// NSAttributedString archived in Apple's "streamtyped" format. Its string is
// the first NSString object of the archive, written as
//   "NSString" <class version and type bytes> '+' <length> <UTF-8 bytes>
// where the length is one byte below 0x81, or 0x81 followed by two bytes, or
// 0x82 followed by four (little-endian).
//
// Every read is bounds-checked: a blob that is not such an archive, or whose
// length runs past its end, gives an empty string (the message then has no
// text of its own), never a read outside the blob.
QString attributedBodyText(const QByteArray &blob);
