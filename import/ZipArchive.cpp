#include "import/ZipArchive.h"

#include "import/ZipEntryDevice.h"

#include <QObject>

#include <stdexcept>

namespace {

const qint64 EndRecordSize = 22;
const qint64 MaxCommentSize = 0xFFFF;
const qint64 DirectoryEntrySize = 46;
// A directory larger than this is no archive of messages this program made
// sense of: it would only cost memory.
const qint64 MaxDirectorySize = 64 * 1024 * 1024;
const quint32 Zip64Marker = 0xFFFFFFFF;

quint16 le16(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    return quint32(le16(bytes, at)) | quint32(le16(bytes, at + 2)) << 16;
}

} // namespace

ZipArchive::ZipArchive(const QString &path)
    : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(file.errorString());
    readCentralDirectory(file);
}

ZipArchive::~ZipArchive() = default;

const ZipEntry *ZipArchive::entry(const QString &name) const
{
    const auto index = m_byName.constFind(name);
    return index == m_byName.constEnd() ? nullptr : &m_entries[size_t(*index)];
}

std::unique_ptr<ZipEntryDevice> ZipArchive::open(const ZipEntry &entry) const
{
    return std::make_unique<ZipEntryDevice>(m_path, entry);
}

QByteArray ZipArchive::readAt(QFile &file, qint64 offset, qint64 size) const
{
    if (offset < 0 || size < 0 || offset > file.size() || size > file.size() - offset)
        fail(QObject::tr("it ends before its table of contents does"));
    QByteArray bytes;
    if (!file.seek(offset) || (bytes = file.read(size)).size() != size)
        fail(file.errorString());
    return bytes;
}

void ZipArchive::readCentralDirectory(QFile &file)
{
    const qint64 fileSize = file.size();
    if (fileSize < EndRecordSize)
        fail(QObject::tr("it is too short to be a ZIP archive"));
    const qint64 tailSize = qMin(fileSize, EndRecordSize + MaxCommentSize);
    const QByteArray tail = readAt(file, fileSize - tailSize, tailSize);
    const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || tail.size() - end < EndRecordSize)
        fail(QObject::tr("it has no ZIP table of contents"));
    const quint16 count = le16(tail, end + 10);
    const quint32 directorySize = le32(tail, end + 12);
    const quint32 directoryOffset = le32(tail, end + 16);
    if (count == 0xFFFF || directorySize == Zip64Marker || directoryOffset == Zip64Marker)
        fail(QObject::tr("ZIP64 archives are not supported"));
    if (directorySize > MaxDirectorySize)
        fail(QObject::tr("its table of contents is too large"));
    const QByteArray directory = readAt(file, directoryOffset, directorySize);

    qsizetype at = 0;
    for (int i = 0; i < count; ++i) {
        if (directory.size() - at < DirectoryEntrySize || !directory.sliced(at).startsWith("PK\x01\x02"))
            fail(QObject::tr("entry %1 of its table of contents is damaged").arg(i + 1));
        ZipEntry entry;
        entry.flags = le16(directory, at + 8);
        entry.method = le16(directory, at + 10);
        entry.crc = le32(directory, at + 16);
        const quint32 compressed = le32(directory, at + 20);
        const quint32 size = le32(directory, at + 24);
        const qsizetype nameLength = le16(directory, at + 28);
        const qsizetype rest = nameLength + le16(directory, at + 30) + le16(directory, at + 32);
        const quint32 offset = le32(directory, at + 42);
        if (compressed == Zip64Marker || size == Zip64Marker || offset == Zip64Marker)
            fail(QObject::tr("ZIP64 archives are not supported"));
        if (directory.size() - at - DirectoryEntrySize < rest)
            fail(QObject::tr("entry %1 of its table of contents is damaged").arg(i + 1));
        entry.name = QString::fromUtf8(directory.sliced(at + DirectoryEntrySize, nameLength));
        entry.compressedSize = compressed;
        entry.size = size;
        entry.localOffset = offset;
        m_byName.insert(entry.name, qsizetype(m_entries.size()));
        m_entries.push_back(entry);
        at += DirectoryEntrySize + rest;
    }
}

void ZipArchive::fail(const QString &what) const
{
    throw std::runtime_error(QObject::tr("%1 cannot be read: %2.").arg(m_path, what).toStdString());
}
