#pragma once

#include <QString>

class QDateTime;
class _MsgChat;
class _MsgHandle;
class _MsgMessage;

// A date as people read it in date lines and events: day, month name and
// year in the user's language, then the time as the user's locale writes it
// ("14 May 2023 9:30 AM", "14 Mai 2023 09:30"). Files that programs read
// back keep fixed formats instead.
QString readableDateTime(const QDateTime &when);

// The message text without the U+FFFC attachment markers.
QString hashText(const _MsgMessage &message);

// "Name (id)" when withId and a contact name exist; else the contact name, else the id.
QString handleDisplayName(const _MsgHandle &handle, bool withId);

// display_name, else the handles' names joined by ", " (map order), else "Unknown".
QString chatDisplayName(const _MsgChat &chat, bool withId);

// "unknown" without chat; else the chat name with ids, and for a group chat
// with a message handle " (<contact name or id>)" appended.
QString messageSenderLabel(const _MsgMessage &message);

// Ordinary messages: hashText plus " [IMAGE]", " [VIDEO]", " [AUDIO]",
// " [VCARD]" or " [ATTA]" per attachment, trimmed. Group events (item types
// 1-4 and others): an English sentence with the date "dd MMM yyyy h:m AP".
QString messageDisplayText(const _MsgMessage &message);

// messageDisplayText with every emoji replaced by "[EMOJI]".
QString messagePlainText(const _MsgMessage &message);

// The name shown above a received message of a group chat (its sender's);
// empty for every other message.
QString groupSenderName(const _MsgMessage &message);
// What a bubble says: "<Subject:...>" on a line of its own when there is a
// subject, then the text without attachment marks, trimmed.
QString bubbleText(const _MsgMessage &message);

// `text` on one line, for names and the columns of a text file: line feeds,
// carriage returns (a CR LF pair as one), VT, FF, NEL and the Unicode line
// and paragraph separators become blanks; NUL and the other control
// characters but tab go.
QString oneLineText(const QString &text);

// `text` for a quoted field that other programs read: VT, FF, NEL and the
// Unicode line and paragraph separators become line feeds, carriage returns
// and line feeds stay, NUL and the other control characters but tab go.
QString lineFeedText(const QString &text);
