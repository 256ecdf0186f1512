#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class _MsgAttachment;
class _MsgChat;
class _MsgHandle;

// One message; fields are the columns of table "message", in their order,
// plus the references resolved when loading. Dates are seconds since
// 2001-01-01 UTC; flags are 0 or 1. The referenced records are owned by the
// MsgDataSet holding the message.
class _MsgMessage
{
public:
    // What a non-ordinary message records (column item_type).
    enum ItemType {
        ItemOrdinary = 0,
        ItemParticipantAdded = 1,
        ItemConversationNamed = 2,
        ItemParticipantLeft = 3,
        ItemLocationSharing = 4,
    };

    qint64 rowid = 0;
    QString guid;
    QString text;                // U+FFFC marks each attachment's place
    qint32 replace = 0;
    QString service_center;
    qint64 handle_id = 0;
    QString subject;
    QString country;
    QByteArray attributedBody;
    qint32 version = 10;
    qint32 type = 0;
    QString service;             // "SMS" or "iMessage"
    QString account;
    QString account_guid;
    qint32 error = 0;
    qint32 date = 0;
    qint32 date_read = 0;
    qint32 date_delivered = 0;
    qint32 is_delivered = 0;
    qint32 is_finished = 0;
    qint32 is_emote = 0;
    qint32 is_from_me = 0;
    qint32 is_empty = 0;
    qint32 is_delayed = 0;
    qint32 is_auto_reply = 0;
    qint32 is_prepared = 0;
    qint32 is_read = 0;
    qint32 is_system_message = 0;
    qint32 is_sent = 0;
    qint32 has_dd_results = 0;
    qint32 is_service_message = 0;
    qint32 is_forward = 0;
    qint32 was_downgraded = 0;
    qint32 is_archive = 0;
    qint32 cache_has_attachments = 0;
    QString cache_roomnames;
    qint32 was_data_detected = 0;
    qint32 was_deduplicated = 0;
    qint64 sortKey = 0;          // store order; equals rowid when read from a local database
    qint32 is_audio_message = 0;
    qint32 is_played = 0;
    qint32 date_played = 0;
    qint32 item_type = ItemOrdinary;
    qint32 other_handle = -1;    // row id of the second handle of a group event
    QString group_title;
    qint32 group_action_type = 0;
    qint32 share_status = 0;     // non-zero: location sharing stopped
    qint32 share_direction = 0;
    qint32 is_expirable = 0;
    qint32 expire_state = 0;
    qint32 message_action_type = 0;

    // Only the columns the views show were read (IOS6MessageDb::
    // shownChatMessages); IOS6MessageDb::completeMessages reads the rest
    // before an operation gets the record.
    bool partial = false;

    _MsgHandle *handle = nullptr;
    _MsgChat *chat = nullptr;
    // Keyed by the decimal text of the attachment row id.
    QMap<QString, _MsgAttachment *> attachments;
    _MsgHandle *otherHandle = nullptr;
};
