#pragma once

// Writes small ZIP archives in code: entries stored or deflated, with the
// local headers and the central directory the format describes.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <zlib.h>

namespace ziptest {

inline void put16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

inline void put32(QByteArray &out, quint32 value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

inline QByteArray rawDeflate(const QByteArray &data)
{
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

class ZipWriter
{
public:
    void add(const QString &name, const QByteArray &data, bool deflated = true)
    {
        const QByteArray utf8 = name.toUtf8();
        const QByteArray stored = deflated ? rawDeflate(data) : data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        const quint32 offset = quint32(m_body.size());
        const quint16 method = deflated ? 8 : 0;
        m_body += QByteArray("PK\x03\x04", 4);
        put16(m_body, 20);
        put16(m_body, 0);
        put16(m_body, method);
        put32(m_body, 0);
        put32(m_body, crc);
        put32(m_body, quint32(stored.size()));
        put32(m_body, quint32(data.size()));
        put16(m_body, quint16(utf8.size()));
        put16(m_body, 0);
        m_body += utf8 + stored;

        m_directory += QByteArray("PK\x01\x02", 4);
        put16(m_directory, 20);
        put16(m_directory, 20);
        put16(m_directory, 0);
        put16(m_directory, method);
        put32(m_directory, 0);
        put32(m_directory, crc);
        put32(m_directory, quint32(stored.size()));
        put32(m_directory, quint32(data.size()));
        put16(m_directory, quint16(utf8.size()));
        put16(m_directory, 0);
        put16(m_directory, 0);
        put16(m_directory, 0);
        put16(m_directory, 0);
        put32(m_directory, 0);
        put32(m_directory, offset);
        m_directory += utf8;
        ++m_count;
    }

    QByteArray bytes() const
    {
        QByteArray out = m_body + m_directory;
        out += QByteArray("PK\x05\x06", 4);
        put16(out, 0);
        put16(out, 0);
        put16(out, m_count);
        put16(out, m_count);
        put32(out, quint32(m_directory.size()));
        put32(out, quint32(m_body.size()));
        put16(out, 0);
        return out;
    }

    void save(const QString &path) const
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes());
    }

private:
    QByteArray m_body;
    QByteArray m_directory;
    quint16 m_count = 0;
};

} // namespace ziptest
