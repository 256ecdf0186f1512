#pragma once

#include "import/SmsBackupRecord.h"

#include <QJsonArray>
#include <QJsonObject>

#include <memory>

class ZipArchive;
class ZipEntryDevice;

// Reads the messages of an "SMS Import/Export" archive: a ZIP holding
// "messages.ndjson", one JSON object a line with the columns of the phone's
// message tables (an SMS: address, date in milliseconds, type, body; an MMS:
// date in seconds, msg_box, "__parts" and "__addresses"), and the MMS part
// files under "data/", named as the phone named them ("_data" of a part).
// Both are streamed: one line at a time, each part file copied in pieces into
// a temporary file.
//
// A line that is not such a message raises std::runtime_error
// "messages.ndjson, line N: <what is wrong>".
class ArchiveMessageReader
{
public:
    // Whether MMS parts are read (into temporary files) or left out.
    enum class Parts { Read, Skipped };

    // `archive` outlives the reader; raises when it has no messages.ndjson.
    explicit ArchiveMessageReader(const ZipArchive &archive, Parts parts = Parts::Read);
    ~ArchiveMessageReader();

    // The next message into `record`; false after the last one.
    bool next(SmsBackupRecord &record);

    // Bytes of messages.ndjson read so far, and its size (for progress).
    qint64 bytesRead() const;
    qint64 size() const;

private:
    void readSms(const QJsonObject &object, SmsBackupRecord &record) const;
    void readMms(const QJsonObject &object, SmsBackupRecord &record) const;
    void readPart(const QJsonObject &part, SmsBackupRecord &record) const;
    // Archives list an MMS's addresses in one "__addresses" array, or, from
    // later versions of the exporting app, the sender apart from the
    // recipients; both read the same.
    static QJsonArray addressesOf(const QJsonObject &object);
    std::unique_ptr<TemporaryPartFile> copiedPart(const QString &name, qint64 *bytes) const;
    [[noreturn]] void fail(const QString &what) const;

    const ZipArchive &m_archive;
    const Parts m_parts;
    std::unique_ptr<ZipEntryDevice> m_lines;
    qint64 m_line = 0;
};
