#include "import/ZipEntryDevice.h"

#include <QObject>

#include <zlib.h>

#include <stdexcept>

namespace {

const qint64 LocalHeaderSize = 30;
const qint64 InputChunk = 64 * 1024;
const quint16 Stored = 0;
const quint16 Deflated = 8;
const quint16 EncryptedFlag = 0x1;

quint16 le16(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

} // namespace

ZipEntryDevice::ZipEntryDevice(const QString &archivePath, const ZipEntry &entry)
    : m_file(archivePath)
    , m_entry(entry)
    , m_compressedLeft(entry.compressedSize)
{
    auto fail = [&](const QString &what) {
        throw std::runtime_error(
            QObject::tr("%1 cannot be read: %2 (%3).").arg(archivePath, what, entry.name).toStdString());
    };
    if (entry.flags & EncryptedFlag)
        fail(QObject::tr("an entry is encrypted"));
    if (entry.method != Stored && entry.method != Deflated)
        fail(QObject::tr("an entry is compressed in a way this program does not read"));
    if (!m_file.open(QIODevice::ReadOnly))
        fail(m_file.errorString());
    const qint64 fileSize = m_file.size();
    QByteArray header;
    if (entry.localOffset > fileSize - LocalHeaderSize || !m_file.seek(entry.localOffset)
        || (header = m_file.read(LocalHeaderSize)).size() != LocalHeaderSize || !header.startsWith("PK\x03\x04"))
        fail(QObject::tr("an entry's header is damaged"));
    const qint64 dataStart = entry.localOffset + LocalHeaderSize + le16(header, 26) + le16(header, 28);
    if (dataStart > fileSize || entry.compressedSize > fileSize - dataStart || !m_file.seek(dataStart))
        fail(QObject::tr("an entry runs past the end of the archive"));
    if (entry.method == Deflated) {
        m_stream = std::make_unique<z_stream_s>();
        if (inflateInit2(m_stream.get(), -MAX_WBITS) != Z_OK)
            fail(QObject::tr("the decompressor could not start"));
    }
    m_crc = quint32(crc32(0, nullptr, 0));
    QIODevice::open(QIODevice::ReadOnly);
}

ZipEntryDevice::~ZipEntryDevice()
{
    if (m_stream)
        inflateEnd(m_stream.get());
}

bool ZipEntryDevice::atEnd() const
{
    return (m_finished || damaged()) && QIODevice::bytesAvailable() == 0;
}

qint64 ZipEntryDevice::bytesAvailable() const
{
    return QIODevice::bytesAvailable() + (m_finished ? 0 : m_entry.size - m_produced);
}

qint64 ZipEntryDevice::readData(char *data, qint64 maxSize)
{
    if (damaged())
        return -1;
    if (m_finished || maxSize <= 0)
        return 0;
    const qint64 read = m_entry.method == Stored ? readStored(data, maxSize) : readDeflated(data, maxSize);
    if (read < 0)
        return -1;
    m_crc = quint32(crc32(m_crc, reinterpret_cast<const Bytef *>(data), uInt(read)));
    m_produced += read;
    if (m_finished && !checkEnd())
        return -1;
    return read;
}

qint64 ZipEntryDevice::readStored(char *data, qint64 maxSize)
{
    const qint64 wanted = qMin(maxSize, m_compressedLeft);
    const qint64 read = m_file.read(data, wanted);
    if (read != wanted)
        return setProblem(QObject::tr("the archive ends inside an entry"));
    m_compressedLeft -= read;
    m_finished = m_compressedLeft == 0;
    return read;
}

qint64 ZipEntryDevice::readDeflated(char *data, qint64 maxSize)
{
    m_stream->next_out = reinterpret_cast<Bytef *>(data);
    m_stream->avail_out = uInt(qMin<qint64>(maxSize, InputChunk));
    while (m_stream->avail_out > 0 && !m_finished) {
        if (m_stream->avail_in == 0 && m_compressedLeft > 0) {
            m_input = m_file.read(qMin(InputChunk, m_compressedLeft));
            if (m_input.isEmpty())
                return setProblem(QObject::tr("the archive ends inside an entry"));
            m_compressedLeft -= m_input.size();
            m_stream->next_in = reinterpret_cast<Bytef *>(m_input.data());
            m_stream->avail_in = uInt(m_input.size());
        }
        const uInt before = m_stream->avail_out;
        const int status = inflate(m_stream.get(), Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            m_finished = true;
        else if (status != Z_OK && !(status == Z_BUF_ERROR && m_compressedLeft > 0))
            return setProblem(QObject::tr("an entry's compressed data is damaged"));
        else if (m_stream->avail_out == before && m_stream->avail_in == 0 && m_compressedLeft == 0)
            return setProblem(QObject::tr("an entry's compressed data ends too soon"));
        if (m_stream->avail_out < before)
            break;  // hand out what there is
    }
    return qint64(uInt(qMin<qint64>(maxSize, InputChunk)) - m_stream->avail_out);
}

bool ZipEntryDevice::checkEnd()
{
    if (m_produced != m_entry.size || m_crc != m_entry.crc) {
        setProblem(QObject::tr("an entry's content differs from what the archive says of it"));
        return false;
    }
    return true;
}

qint64 ZipEntryDevice::setProblem(const QString &what)
{
    m_problem = QObject::tr("%1 cannot be read: %2 (%3).").arg(m_file.fileName(), what, m_entry.name);
    setErrorString(m_problem);
    return -1;
}
