#pragma once

#include <QFile>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class ZipEntryDevice;

// One file inside a ZIP archive, as its central directory lists it.
struct ZipEntry
{
    QString name;
    quint16 method = 0;     // 0 stored, 8 deflated
    quint16 flags = 0;
    quint32 crc = 0;
    qint64 compressedSize = 0;
    qint64 size = 0;
    qint64 localOffset = 0;
};

// The table of contents of a ZIP archive, read from its central directory.
// Entries are read through ZipEntryDevice as streams, never whole. Every
// offset and length read from the file is checked against the file's size:
// a damaged or hostile archive raises std::runtime_error naming the archive
// and what is wrong, and is never read outside its bounds. ZIP64 archives,
// encrypted entries and methods other than stored and deflated are refused.
class ZipArchive
{
public:
    explicit ZipArchive(const QString &path);
    ~ZipArchive();

    const QString &path() const { return m_path; }
    // The entry named `name`, or null.
    const ZipEntry *entry(const QString &name) const;
    // A stream of the entry's bytes, open for reading.
    std::unique_ptr<ZipEntryDevice> open(const ZipEntry &entry) const;

private:
    QByteArray readAt(QFile &file, qint64 offset, qint64 size) const;
    void readCentralDirectory(QFile &file);
    [[noreturn]] void fail(const QString &what) const;

    QString m_path;
    std::vector<ZipEntry> m_entries;
    QHash<QString, qsizetype> m_byName;
};
