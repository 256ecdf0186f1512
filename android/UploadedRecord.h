#pragma once

#include "store/MsgAttachment.h"
#include "store/MsgMessage.h"
#include "store/MsgMessageList.h"

#include <QList>
#include <QStringList>

#include <list>
#include <memory>

class RecordMessages;

// What the phone's next download makes of one upload record: the messages a
// phone's cache records for what was sent to it. Recorded in this form, the
// transferred messages sit in the conversations, under the names and with the
// attachment identities the download uses, so a later download of the phone
// matches them instead of adding them a second time.
class UploadedRecord
{
public:
    // `record`: the messages sent as one record (the first gives time,
    // direction, text and subject); `address`: the record's number as the
    // phone's download normalises it.
    UploadedRecord(const MsgMessageList &record, const QString &address);
    ~UploadedRecord();
    UploadedRecord(const UploadedRecord &) = delete;
    UploadedRecord &operator=(const UploadedRecord &) = delete;

    // The messages, in the download's order; they point into this object.
    // Empty when the download would store nothing (only layout parts).
    const QList<_MsgMessage> &messages() const { return m_messages; }
    // Their content hashes.
    QStringList hashes() const;
    // The hash the phone's download files the record under.
    QString recordHash() const;

private:
    void addPart(const _MsgAttachment &sent, const QString &name);

    std::unique_ptr<RecordMessages> m_record;
    std::list<_MsgAttachment> m_attachments;  // stable addresses for the messages
    QList<_MsgMessage> m_messages;
};
