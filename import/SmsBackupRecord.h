#pragma once

#include "android/TemporaryPartFile.h"

#include <QString>

#include <memory>
#include <vector>

// One part of an MMS read from a backup. Media parts have their bytes in a
// temporary file (removed with the part) or in a file of the backup (left
// alone); text parts carry their text.
struct SmsBackupPart
{
    QString mime;   // as written ("ct"), e.g. "image/jpeg"
    QString name;   // "name", else "cl", else "fn"; may be empty
    QString text;   // text/plain parts
    std::unique_ptr<TemporaryPartFile> file;  // media parts decoded from the backup
    QString sourcePath;                       // media parts stored as files in the backup
    qint64 bytes = 0;

    // Where a media part's bytes are; empty for a part without any.
    QString filePath() const { return file ? file->path() : sourcePath; }
    bool isPlainText() const { return mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0; }
};

// An address of an MMS ("addr" element).
struct SmsBackupAddress
{
    // "type" values: who the address is to the message.
    enum Role { From = 137, To = 151, Cc = 130, Bcc = 129 };

    QString address;
    int role = 0;
};

// One "sms" or "mms" element of a backup file, with what is needed to store
// it; the raw attributes are left behind.
struct SmsBackupRecord
{
    enum Kind { Sms, Mms };

    Kind kind = Sms;
    qint64 dateMs = 0;     // milliseconds since 1970 UTC
    bool fromMe = false;   // sent, or on its way out (draft, outbox, failed, queued)
    QString address;       // the other party; MMS groups: several joined by "~"
    QString contactName;
    QString body;          // SMS text
    QString subject;
    std::vector<SmsBackupPart> parts;          // MMS, SMIL left out
    std::vector<SmsBackupAddress> addresses;   // MMS
    qint64 line = 0;       // where the element starts, for messages
};
