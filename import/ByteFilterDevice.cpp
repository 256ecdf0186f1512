#include "import/ByteFilterDevice.h"

#include <cstring>

ByteFilterDevice::ByteFilterDevice(QIODevice *source, QObject *parent)
    : QIODevice(parent)
    , m_source(source)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool ByteFilterDevice::atEnd() const
{
    return m_sourceDone && m_outPos >= m_out.size();
}

qint64 ByteFilterDevice::bytesAvailable() const
{
    return (m_out.size() - m_outPos) + QIODevice::bytesAvailable();
}

qint64 ByteFilterDevice::writeData(const char *, qint64)
{
    return -1;
}

qint64 ByteFilterDevice::readData(char *data, qint64 maxSize)
{
    while (m_outPos >= m_out.size()) {
        m_out.clear();
        m_outPos = 0;
        if (!fill())
            return 0;  // the end: atEnd() is true now
    }
    const qint64 count = qMin<qint64>(maxSize, m_out.size() - m_outPos);
    std::memcpy(data, m_out.constData() + m_outPos, size_t(count));
    m_outPos += count;
    return count;
}

bool ByteFilterDevice::fill()
{
    if (m_sourceDone)
        return false;
    const QByteArray chunk = m_source->read(m_chunkSize);
    if (chunk.isEmpty()) {
        m_sourceDone = true;
        convertChunk(chunk);
        return !m_out.isEmpty();
    }
    m_sourceBytesRead += chunk.size();
    convertChunk(chunk);
    return true;
}
