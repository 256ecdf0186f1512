#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "store/MsgMessageList.h"

class _MsgAttachment;

// The conversation as XHTML pages of 50 messages: page links, anchors
// ("start", "end", "sms_<rowid>"), date lines, bubbles left and right.
// Relative addresses (bubble/..., emoji/...) resolve in the folder the
// program's data files are installed in.

constexpr int kBubblePageSize = 50;

// The anchors a page carries.
QString messageAnchorName(const _MsgMessage &message);

// Who wrote the message and when, as a screen reader announces its bubbles.
QString spokenLabel(const _MsgMessage &message);
// What a picture or contact card of the message shows, for those who cannot see it.
QString attachmentAltText(const _MsgAttachment &attachment);

// Pages needed for `messageCount` messages; 0 for none.
int bubblePageCount(qsizetype messageCount);

// The 1-based page holding list position `position`.
int bubblePageOfPosition(qsizetype position);

// Page `page` (1-based) of `messages`; empty when there is no such page. A
// non-empty `baseHref` adds a <base> element, for pages loaded from a file
// outside the data folder.
QString bubblePageHtml(const MsgMessageList &messages, int page, const QString &baseHref = QString());

// The markup of one message: its anchor, a date line when it is more than a
// minute after `lastShownDate` (Unix seconds, updated), its bubbles or its
// system line.
QString messageBubblesHtml(const _MsgMessage &message, qint64 &lastShownDate);

// The bubble content of one attachment; nothing when it gets no bubble (a
// missing text/plain file).
std::optional<QString> attachmentBubbleContent(const _MsgAttachment &attachment);

// What a page shows for an attachment (nothing: no bubble); the view links
// the files where they are, the HTML export links its own copies.
using AttachmentContentFn = std::function<std::optional<QString>(const _MsgAttachment &)>;

// messageBubblesHtml without the anchor, with the attachments' bubble
// content given by `content`.
QString messageBodyHtml(const _MsgMessage &message, qint64 &lastShownDate, const AttachmentContentFn &content);
