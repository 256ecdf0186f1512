#pragma once

#include "import/ByteFilterDevice.h"

#include <QByteArray>

// A read-only device between an XML file and QXmlStreamReader that mends
// character references the reader would refuse, so one odd message does not
// stop a whole import. Backup files of Android phones write characters
// outside the Basic Multilingual Plane (emoji) as two references to UTF-16
// surrogates, "&#55357;&#56832;", which XML forbids:
//  - a high surrogate reference directly followed by a low one becomes the
//    reference of the character they encode ("&#128512;");
//  - an unpaired surrogate, and any other reference to a character XML does
//    not allow (control characters, beyond U+10FFFF), becomes "&#65533;".
// Everything else passes unchanged; line breaks are never added or removed,
// so the reader's line numbers stay those of the file.
//
// Streams: only one chunk of the source and a reference cut by a chunk's end
// are held at a time.
class XmlCharRefFilter : public ByteFilterDevice
{
    Q_OBJECT
public:
    // `source` must be open for reading and outlive the filter. Opens itself.
    explicit XmlCharRefFilter(QIODevice *source, QObject *parent = nullptr);

protected:
    void convertChunk(const QByteArray &chunk) override;

private:
    // Moves the converted part of m_pending to m_out; what may be the start
    // of a reference cut by the chunk's end stays, unless `final`.
    void convert(bool final);
    // Handles the reference starting at `text` (an '&'): appends its
    // replacement and returns the bytes consumed, or 0 when more input is
    // needed to decide.
    qsizetype convertReference(const char *text, qsizetype size, bool final);

    QByteArray m_pending;  // source bytes not yet converted
};
