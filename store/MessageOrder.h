#pragma once

#include <QList>

class _MsgAttachment;
class _MsgMessage;

// Ascending display order, usable with std::sort on MsgMessageList: when the
// sortKeys are more than 20 apart, or the dates more than 120 seconds apart,
// the earlier date comes first; otherwise the smaller sortKey does. Keeps the
// stored order of messages close both in store order and in time.
bool messageLessThan(const _MsgMessage *a, const _MsgMessage *b);
// The descending counterpart: messageLessThan(b, a). (Negating the test
// instead would call equal messages "greater" and break sorting.)
bool messageGreaterThan(const _MsgMessage *a, const _MsgMessage *b);

// Sorts in place with messageLessThan (or its descending counterpart). The
// order is not transitive for every input, so this uses std::stable_sort,
// which stays within bounds whatever the comparator says; prefer it to
// std::sort.
void sortMessages(QList<_MsgMessage *> &messages, bool descending = false);

// The message's attachments by ascending rowid.
QList<_MsgAttachment *> sortedAttachments(const _MsgMessage &message);
