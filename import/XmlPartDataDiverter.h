#pragma once

#include "android/TemporaryPartFile.h"
#include "import/ByteFilterDevice.h"

#include <QByteArray>

#include <map>
#include <memory>

// A read-only device between a backup file and QXmlStreamReader that takes
// the Base64 "data" attribute of every <part> element out of the stream: its
// bytes are decoded into a temporary file as they pass, and the attribute's
// value becomes a short token ("@part:7") to claim the file by. So not even
// one picture or video is ever held whole in memory (the XML reader would
// make one string of the whole attribute).
//
// Line breaks inside a value are kept in its token, so the reader's line
// numbers stay those of the file. Streams: only one chunk of the source is
// held at a time, and state carries over chunk ends anywhere.
class XmlPartDataDiverter : public ByteFilterDevice
{
    Q_OBJECT
public:
    // `source` is open for reading and outlives the diverter. Opens itself.
    explicit XmlPartDataDiverter(QIODevice *source, QObject *parent = nullptr);
    ~XmlPartDataDiverter() override;

    // True when `value` (a data attribute as the reader sees it) is a token.
    static bool isToken(QStringView value);
    // The file of the part a token names, with its decoded size; null for an
    // unknown token. Files diverted before it and not claimed are dropped
    // (parts the reader skipped).
    std::unique_ptr<TemporaryPartFile> takePart(QStringView token, qint64 *bytes);

protected:
    void convertChunk(const QByteArray &chunk) override;

private:
    enum class State { Text, TagName, InTag, InQuote, InData, Comment, Declaration };

    struct Diverted
    {
        std::unique_ptr<TemporaryPartFile> file;
        qint64 bytes = 0;
    };

    // Converts `size` bytes of the source.
    void convert(const char *text, qsizetype size);
    qsizetype convertText(const char *text, qsizetype size);
    qsizetype convertTagName(const char *text, qsizetype size);
    qsizetype convertInTag(const char *text, qsizetype size);
    qsizetype convertInQuote(const char *text, qsizetype size);
    qsizetype convertInData(const char *text, qsizetype size);
    qsizetype convertSkipped(const char *text, qsizetype size, const QByteArray &end);
    void startData();
    void decodeCarry(bool final);
    void finishData();


    State m_state = State::Text;
    QByteArray m_tagName;
    bool m_inPart = false;
    QByteArray m_attributeName;    // the name being read, or the last one read
    bool m_nameComplete = false;   // a blank or '=' followed the name
    bool m_afterEquals = false;
    char m_quote = '"';
    QByteArray m_recent;           // last bytes of a comment or declaration
    // The part being diverted.
    std::unique_ptr<TemporaryPartFile> m_file;
    QByteArray m_carry;            // Base64 characters not yet decoded
    qint64 m_fileBytes = 0;
    int m_lineBreaks = 0;
    int m_nextIndex = 0;
    std::map<int, Diverted> m_parts;
};
