#pragma once

#include <QByteArray>
#include <QIODevice>

// A read-only device that passes a source device through a conversion one
// chunk at a time, so only a chunk (and what a subclass carries over) is ever
// held. Subclasses convert each chunk into m_out.
class ByteFilterDevice : public QIODevice
{
    Q_OBJECT
public:
    bool isSequential() const override { return true; }
    bool atEnd() const override;
    qint64 bytesAvailable() const override;

    // Bytes taken from the source so far.
    qint64 sourceBytesRead() const { return m_sourceBytesRead; }
    // Chunk size of the source reads; small values let tests put chunk
    // boundaries anywhere.
    void setChunkSize(qint64 bytes) { m_chunkSize = bytes; }

protected:
    // `source` must be open for reading and outlive the device. Opens itself.
    ByteFilterDevice(QIODevice *source, QObject *parent);

    // Converts the next chunk of the source, appending to m_out; called once
    // more with an empty chunk when the source is exhausted.
    virtual void convertChunk(const QByteArray &chunk) = 0;

    qint64 readData(char *data, qint64 maxSize) final;
    qint64 writeData(const char *data, qint64 maxSize) final;

    QByteArray m_out;  // converted bytes not yet read

private:
    // Converts the next chunk; false once the source is exhausted and
    // nothing more came out of it.
    bool fill();

    QIODevice *m_source;
    qsizetype m_outPos = 0;
    bool m_sourceDone = false;
    qint64 m_sourceBytesRead = 0;
    qint64 m_chunkSize = 256 * 1024;
};
