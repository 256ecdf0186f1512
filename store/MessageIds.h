#pragma once

#include <QByteArray>
#include <QString>

class _MsgMessage;

// A random UUID, upper case, 8-4-4-4-12 without braces (36 characters).
QString newGuid();

// MD5 of `bytes` as upper-case hex in the 8-4-4-4-12 GUID form; the same input
// always gives the same GUID.
QString guidFromBytes(const QByteArray &bytes);

// Content hash that de-duplicates messages: MD5 (32 lower-case hex digits) of
//  - item_type != 0: the UTF-8 guid only;
//  - else: UTF-8 handle id (when there is a handle; without one, in a group
//    chat, its chat_identifier, so that what the phone sent to two groups at
//    one moment stays two messages), date as 4 bytes
//    little-endian, the low byte of is_from_me, UTF-8 hashText(), then the
//    lower-cased file names (last component of `filename` after '/' or '\')
//    of the attachments with a non-empty filename, sorted ascending, UTF-8,
//    without separators.
QString logicHash(const _MsgMessage &message);

// An attachment's file name as it enters the content hash: the last
// component of its stored `filename`, lower case.
QString attachmentHashName(const QString &filename);

// The bytes logicHash() digests; exposed so the hash can be checked by hand.
QByteArray logicHashInput(const _MsgMessage &message);
