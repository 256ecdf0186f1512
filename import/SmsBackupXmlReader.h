#pragma once

#include "import/SmsBackupRecord.h"
#include "import/XmlCharRefFilter.h"
#include "import/XmlPartDataDiverter.h"

#include <QXmlStreamReader>

class QIODevice;

// Reads the messages of an "SMS Backup & Restore" XML file one element at a
// time:
//   <smses count=".."> <sms .../> <mms ...><parts><part .../></parts>
//   <addrs><addr .../></addrs></mms> ... </smses>
// Memory does not grow with the file nor with its parts: each MMS part's
// Base64 "data" is decoded into a temporary file on its way to the XML reader.
//
// A file that is not well formed, or not such a backup, raises
// std::runtime_error "Line N: <what is wrong>".
class SmsBackupXmlReader
{
public:
    // `file` is open for reading and outlives the reader.
    explicit SmsBackupXmlReader(QIODevice *file);

    // The next message into `record`; false after the last one.
    bool next(SmsBackupRecord &record);

    // Bytes of the file consumed so far (for progress).
    qint64 bytesRead() const { return m_filter.sourceBytesRead(); }
    // Lets tests put the read chunk boundaries anywhere.
    void setChunkSize(qint64 bytes)
    {
        m_filter.setChunkSize(bytes);
        m_diverter.setChunkSize(bytes);
    }

private:
    void readRoot();
    void readSms(SmsBackupRecord &record);
    void readMms(SmsBackupRecord &record);
    void readParts(SmsBackupRecord &record);
    void readPart(SmsBackupRecord &record);
    void readAddresses(SmsBackupRecord &record);
    // The file of a part's "data" attribute, with its size.
    std::unique_ptr<TemporaryPartFile> partFile(QStringView data, qint64 *bytes);
    // "date" in milliseconds; a missing or unreadable one is an error.
    qint64 dateAttribute();
    [[noreturn]] void fail(const QString &what) const;
    void failOnReaderError() const;

    XmlCharRefFilter m_filter;
    XmlPartDataDiverter m_diverter;
    QXmlStreamReader m_xml;
    bool m_rootSeen = false;
};
