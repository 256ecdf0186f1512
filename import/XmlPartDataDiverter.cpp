#include "import/XmlPartDataDiverter.h"

#include <cstring>

namespace {

const QByteArray TokenPrefix = "@part:";
const QByteArray CommentEnd = "-->";
const QByteArray DeclarationEnd = ">";
// Base64 characters decoded at a time.
const qsizetype DecodeBlock = 64 * 1024;
// Longer names are of no interest; they are not kept whole.
const qsizetype MaxNameLength = 16;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void appendLimited(QByteArray &name, char c)
{
    if (name.size() < MaxNameLength)
        name.append(c);
}

} // namespace

XmlPartDataDiverter::XmlPartDataDiverter(QIODevice *source, QObject *parent)
    : ByteFilterDevice(source, parent)
{
}

XmlPartDataDiverter::~XmlPartDataDiverter() = default;

bool XmlPartDataDiverter::isToken(QStringView value)
{
    return value.trimmed().startsWith(QLatin1String(TokenPrefix));
}

std::unique_ptr<TemporaryPartFile> XmlPartDataDiverter::takePart(QStringView token, qint64 *bytes)
{
    bool ok = false;
    const int index = token.trimmed().mid(TokenPrefix.size()).toInt(&ok);
    const auto found = m_parts.find(index);
    if (!ok || found == m_parts.end())
        return nullptr;
    std::unique_ptr<TemporaryPartFile> file = std::move(found->second.file);
    *bytes = found->second.bytes;
    m_parts.erase(m_parts.begin(), std::next(found));
    return file;
}

void XmlPartDataDiverter::convertChunk(const QByteArray &chunk)
{
    // A value cut off by the file's end stays unfinished; the reader reports
    // the document as cut short.
    convert(chunk.constData(), chunk.size());
}

void XmlPartDataDiverter::convert(const char *text, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const char *rest = text + done;
        const qsizetype left = size - done;
        switch (m_state) {
        case State::Text: done += convertText(rest, left); break;
        case State::TagName: done += convertTagName(rest, left); break;
        case State::InTag: done += convertInTag(rest, left); break;
        case State::InQuote: done += convertInQuote(rest, left); break;
        case State::InData: done += convertInData(rest, left); break;
        case State::Comment: done += convertSkipped(rest, left, CommentEnd); break;
        case State::Declaration: done += convertSkipped(rest, left, DeclarationEnd); break;
        }
    }
}

qsizetype XmlPartDataDiverter::convertText(const char *text, qsizetype size)
{
    const void *found = std::memchr(text, '<', size_t(size));
    if (!found) {
        m_out.append(text, size);
        return size;
    }
    const qsizetype used = static_cast<const char *>(found) - text + 1;
    m_out.append(text, used);
    m_state = State::TagName;
    m_tagName.clear();
    return used;
}

qsizetype XmlPartDataDiverter::convertTagName(const char *text, qsizetype)
{
    const char c = text[0];
    if (m_tagName.startsWith('!') || (m_tagName.isEmpty() && (c == '!' || c == '?'))) {
        m_tagName.append(c);
        m_out.append(c);
        if (m_tagName == "!--") {
            m_state = State::Comment;
            m_recent.clear();
        } else if (c == '?' || m_tagName.size() >= 3 || c != '-') {
            m_state = State::Declaration;  // "<?xml ...?>", "<!DOCTYPE ...>"
            m_recent.clear();
        }
        return 1;
    }
    if (isBlank(c) || c == '>' || c == '/') {
        m_inPart = m_tagName == "part";
        m_attributeName.clear();
        m_nameComplete = false;
        m_afterEquals = false;
        m_state = State::InTag;
        return 0;  // the tag's own handling takes this byte
    }
    appendLimited(m_tagName, c);
    m_out.append(c);
    return 1;
}

qsizetype XmlPartDataDiverter::convertInTag(const char *text, qsizetype)
{
    const char c = text[0];
    m_out.append(c);
    if (c == '>') {
        m_state = State::Text;
    } else if (c == '"' || c == '\'') {
        m_quote = c;
        const bool diverted = m_inPart && m_afterEquals && m_attributeName == "data";
        if (diverted)
            startData();
        m_state = diverted ? State::InData : State::InQuote;
        m_attributeName.clear();
        m_nameComplete = false;
        m_afterEquals = false;
    } else if (c == '=') {
        m_afterEquals = true;
    } else if (isBlank(c)) {
        m_nameComplete = !m_attributeName.isEmpty();
    } else {
        if (m_nameComplete || m_afterEquals) {
            m_attributeName.clear();
            m_nameComplete = false;
            m_afterEquals = false;
        }
        appendLimited(m_attributeName, c);
    }
    return 1;
}

qsizetype XmlPartDataDiverter::convertInQuote(const char *text, qsizetype size)
{
    const void *found = std::memchr(text, m_quote, size_t(size));
    const qsizetype used = found ? static_cast<const char *>(found) - text + 1 : size;
    m_out.append(text, used);
    if (found)
        m_state = State::InTag;
    return used;
}

qsizetype XmlPartDataDiverter::convertInData(const char *text, qsizetype size)
{
    const void *found = std::memchr(text, m_quote, size_t(size));
    const qsizetype end = found ? static_cast<const char *>(found) - text : size;
    // Blanks (line breaks of wrapped Base64) are left out; line breaks are
    // counted for the token.
    qsizetype run = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (!isBlank(text[i]))
            continue;
        m_carry.append(text + run, i - run);
        if (text[i] == '\n')
            ++m_lineBreaks;
        run = i + 1;
    }
    m_carry.append(text + run, end - run);
    if (m_carry.size() >= DecodeBlock)
        decodeCarry(false);
    if (!found)
        return size;
    finishData();
    m_out.append(m_quote);
    m_state = State::InTag;
    return end + 1;
}

qsizetype XmlPartDataDiverter::convertSkipped(const char *text, qsizetype, const QByteArray &end)
{
    const char c = text[0];
    m_out.append(c);
    m_recent.append(c);
    if (m_recent.size() > end.size())
        m_recent.remove(0, m_recent.size() - end.size());
    if (m_recent == end)
        m_state = State::Text;
    return 1;
}

void XmlPartDataDiverter::startData()
{
    m_file = std::make_unique<TemporaryPartFile>();
    m_carry.clear();
    m_fileBytes = 0;
    m_lineBreaks = 0;
}

void XmlPartDataDiverter::decodeCarry(bool final)
{
    const qsizetype count = final ? m_carry.size() : m_carry.size() / 4 * 4;
    if (count == 0)
        return;
    const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromRawData(m_carry.constData(), count));
    m_file->append(bytes);
    m_fileBytes += bytes.size();
    m_carry.remove(0, count);
}

void XmlPartDataDiverter::finishData()
{
    decodeCarry(true);
    m_file->finish();
    const int index = m_nextIndex++;
    m_parts.emplace(index, Diverted{std::move(m_file), m_fileBytes});
    m_out.append(TokenPrefix).append(QByteArray::number(index)).append(QByteArray(m_lineBreaks, '\n'));
}
