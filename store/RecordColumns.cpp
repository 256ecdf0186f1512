#include "store/RecordColumns.h"

#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

int columnPosition(const QStringList &names, const QString &name)
{
    const int exact = names.indexOf(name);
    if (exact >= 0)
        return exact;
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

ColumnBinding<_MsgChat> chatColumns()
{
    using C = _MsgChat;
    ColumnBinding<C> b;
    b.text("guid", &C::guid)
        .int32("style", &C::style)
        .int32("state", &C::state)
        .text("account_id", &C::account_id)
        .blob("properties", &C::properties)
        .text("chat_identifier", &C::chat_identifier)
        .text("service_name", &C::service_name)
        .text("room_name", &C::room_name)
        .text("account_login", &C::account_login)
        .int32("is_archived", &C::is_archived)
        .text("last_addressed_handle", &C::last_addressed_handle)
        .text("display_name", &C::display_name)
        .int32("_last", &C::_last)
        .text("group_id", &C::group_id);
    return b;
}

ColumnBinding<_MsgHandle> handleColumns()
{
    using H = _MsgHandle;
    ColumnBinding<H> b;
    b.text("id", &H::id)
        .text("country", &H::country)
        .text("service", &H::service)
        .text("uncanonicalized_id", &H::uncanonicalized_id)
        .text("_ct_name", &H::_ct_name)
        .blob("_photo", &H::_photo);
    return b;
}

ColumnBinding<_MsgMessage> messageColumns()
{
    using M = _MsgMessage;
    ColumnBinding<M> b;
    b.text("guid", &M::guid)
        .text("text", &M::text)
        .int32("replace", &M::replace)
        .text("service_center", &M::service_center)
        .int64("handle_id", &M::handle_id)
        .text("subject", &M::subject)
        .text("country", &M::country)
        .blob("attributedBody", &M::attributedBody)
        .int32("version", &M::version)
        .int32("type", &M::type)
        .text("service", &M::service)
        .text("account", &M::account)
        .text("account_guid", &M::account_guid)
        .int32("error", &M::error)
        .int32("date", &M::date)
        .int32("date_read", &M::date_read)
        .int32("date_delivered", &M::date_delivered)
        .int32("is_delivered", &M::is_delivered)
        .int32("is_finished", &M::is_finished)
        .int32("is_emote", &M::is_emote)
        .int32("is_from_me", &M::is_from_me)
        .int32("is_empty", &M::is_empty)
        .int32("is_delayed", &M::is_delayed)
        .int32("is_auto_reply", &M::is_auto_reply)
        .int32("is_prepared", &M::is_prepared)
        .int32("is_read", &M::is_read)
        .int32("is_system_message", &M::is_system_message)
        .int32("is_sent", &M::is_sent)
        .int32("has_dd_results", &M::has_dd_results)
        .int32("is_service_message", &M::is_service_message)
        .int32("is_forward", &M::is_forward)
        .int32("was_downgraded", &M::was_downgraded)
        .int32("is_archive", &M::is_archive)
        .int32("cache_has_attachments", &M::cache_has_attachments)
        .text("cache_roomnames", &M::cache_roomnames)
        .int32("was_data_detected", &M::was_data_detected)
        .int32("was_deduplicated", &M::was_deduplicated)
        .int32("is_audio_message", &M::is_audio_message)
        .int32("is_played", &M::is_played)
        .int32("date_played", &M::date_played)
        .int32("item_type", &M::item_type)
        .int32("other_handle", &M::other_handle)
        .text("group_title", &M::group_title)
        .int32("group_action_type", &M::group_action_type)
        .int32("share_status", &M::share_status)
        .int32("share_direction", &M::share_direction)
        .int32("is_expirable", &M::is_expirable)
        .int32("expire_state", &M::expire_state)
        .int32("message_action_type", &M::message_action_type);
    return b;
}

ColumnBinding<_MsgMessage> shownMessageColumns()
{
    return messageColumns().only({QStringLiteral("text"), QStringLiteral("handle_id"), QStringLiteral("subject"),
                                  QStringLiteral("country"), QStringLiteral("service"), QStringLiteral("date"),
                                  QStringLiteral("is_from_me"), QStringLiteral("item_type"),
                                  QStringLiteral("other_handle"), QStringLiteral("group_title"),
                                  QStringLiteral("share_status")});
}

ColumnBinding<_MsgAttachment> attachmentColumns()
{
    using A = _MsgAttachment;
    ColumnBinding<A> b;
    b.text("guid", &A::guid)
        .int32("created_date", &A::created_date)
        .int32("start_date", &A::start_date)
        .text("filename", &A::filename)
        .text("uti", &A::uti)
        .text("mime_type", &A::mime_type)
        .int32("transfer_state", &A::transfer_state)
        .int32("is_outgoing", &A::is_outgoing)
        .blob("user_info", &A::user_info)
        .text("transfer_name", &A::transfer_name)
        .int64("total_bytes", &A::total_bytes);
    return b;
}
