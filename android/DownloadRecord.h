#pragma once

#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>

class GroupConversation;

// One "$sms:" record of a download: "time,from_me,number,name,text,subject[,n]"
// with the four texts in Base64 of UTF-8 and the time in milliseconds since
// 1970 UTC.
struct DownloadRecord
{
    qint64 timeMs = 0;
    bool fromMe = false;        // field 1 equals 1; any other value is received
    QString number;
    QString contactName;
    QString text;
    QString subject;
    int attachmentCount = 0;    // field 6, 0 when absent or not a positive number

    // False for a record of fewer than six fields, which is ignored.
    static bool parse(const QString &argument, DownloadRecord &record);
    // Without decoding anything: -1 for a record that is ignored, else the
    // number of attachments it announces (what parse() puts in
    // attachmentCount).
    static int attachmentsAnnounced(QStringView argument);
    // Field 2 decoded alone (what parse() puts in number), for a record that
    // attachmentsAnnounced() accepts.
    static QString numberOf(QStringView argument);

    // Seconds since 2001-01-01 UTC.
    qint32 date() const;
    // The other parties: a group's numbers come joined by ";".
    QStringList parties() const;
};

// The header of an attachment, "$atta:" + "mime,name".
struct AttachmentHeader
{
    // What becomes of a part: application/ parts (layouts, documents) are
    // read and dropped, text/plain parts become text messages.
    enum class Use { Discarded, Text, Media };

    QString mime;
    QString name;  // as sent, not yet cleaned

    // False when the header has no comma. The name is everything after the
    // first comma, so a name holding commas stays whole; it is read as UTF-8.
    static bool parse(const QString &argument, AttachmentHeader &header);

    Use use() const;
    // The cleaned name, made unique among the record's parts in `used`
    // (attachmentFileName, then uniqueAttachmentName).
    QString storedName(QSet<QString> &used) const;
};

// The name an attachment is stored under: characters not allowed in file
// names and control characters dropped, trimmed, shortened to what a file
// name may hold (fileNameWithin); "Unknown2" when nothing (or only dots) is
// left.
QString attachmentFileName(const QString &sentName);
// `name`, or "stem(N).ext" with the first N that is not in `used`, so two parts
// of one record never share a stored name. Adds the result to `used`.
QString uniqueAttachmentName(const QString &name, QSet<QString> &used);

// The chat, handle and message a download record becomes, and the messages
// made from its parts. Every message returned refers to this object's chat
// and handle, so it must outlive them.
class RecordMessages
{
public:
    // `address` is the record's number as normalised for the phone's country.
    RecordMessages(const DownloadRecord &record, const QString &address);
    // A record of a conversation with several other parties (`members`,
    // normalised): its messages go to their GroupConversation, from the
    // member `sender`, or from no one (what the phone sent, or a sender the
    // source does not name). `address` still names the record: its hash and
    // the guids come from it as from a record of one party.
    RecordMessages(const DownloadRecord &record, const QString &address, const QStringList &members,
                   const QString &sender);
    ~RecordMessages();
    // What a download makes of `record`, its numbers put in their normal
    // form by `normalised`: a record of several numbers goes to their group,
    // from no one (the record does not say which member sent it).
    static std::unique_ptr<RecordMessages> downloaded(const DownloadRecord &record,
                                                      const std::function<QString(const QString &)> &normalised);
    RecordMessages(const RecordMessages &) = delete;
    RecordMessages &operator=(const RecordMessages &) = delete;

    // The record's message, its guid derived from the record hash (made only
    // when asked for: most records of a download are known and not written).
    _MsgMessage message() const;
    // logicHash of the record's message: the key of the bookkeeping tables.
    const QString &recordHash() const { return m_recordHash; }

    // Whether the record's text holds more than attachment markers.
    bool hasOwnText() const;
    // The record's own text (U+FFFC removed), without attachments.
    _MsgMessage textPart() const;
    // A text/plain part: the part's text as the whole message.
    _MsgMessage plainTextPart(const QString &text) const;
    // The attachment record of a media part whose bytes are in `localPath`.
    _MsgAttachment mediaAttachment(const QString &mime, const QString &name, const QString &localPath,
                                   qint64 bytes) const;
    // A media part: U+FFFC and exactly this attachment.
    _MsgMessage mediaPart(_MsgAttachment &attachment) const;

private:
    // Content hash and guid follow the message's current content.
    static void renameByContent(_MsgMessage &message);
    // The message moved to the group's chat, once its guid is made.
    _MsgMessage placed(_MsgMessage message) const;

    _MsgHandle m_handle;
    _MsgChat m_chat;
    _MsgMessage m_message;
    QString m_recordHash;
    std::unique_ptr<GroupConversation> m_group;
    _MsgHandle *m_sender = nullptr;  // a member of m_group
};
