#pragma once

#include "import/ZipArchive.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>

#include <memory>

struct z_stream_s;

// The bytes of one ZIP entry, read (and inflated) piece by piece as they are
// asked for. A damaged entry (bad header, deflate data that does not inflate,
// a size or checksum other than the directory says) makes the read fail with
// -1 and errorString() saying what is wrong; callers check damaged().
class ZipEntryDevice : public QIODevice
{
public:
    // Raises std::runtime_error when the entry's local header is damaged.
    ZipEntryDevice(const QString &archivePath, const ZipEntry &entry);
    ~ZipEntryDevice() override;

    bool isSequential() const override { return true; }
    bool atEnd() const override;
    qint64 bytesAvailable() const override;
    bool damaged() const { return !m_problem.isEmpty(); }
    // Bytes of the entry handed out so far.
    qint64 position() const { return m_produced; }
    qint64 size() const override { return m_entry.size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 readStored(char *data, qint64 maxSize);
    qint64 readDeflated(char *data, qint64 maxSize);
    // Checks size and checksum once the last byte is out; false when damaged.
    bool checkEnd();
    qint64 setProblem(const QString &what);

    QFile m_file;
    ZipEntry m_entry;
    qint64 m_compressedLeft = 0;
    qint64 m_produced = 0;
    quint32 m_crc = 0;
    bool m_finished = false;
    QString m_problem;
    std::unique_ptr<z_stream_s> m_stream;
    QByteArray m_input;
};
