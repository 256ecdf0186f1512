#include "store/MessageOrder.h"

#include "store/MsgAttachment.h"
#include "store/MsgMessage.h"

#include <algorithm>

namespace {

// Messages this close in store order and in time keep their store order.
constexpr qint64 kSortKeyWindow = 20;
constexpr qint64 kDateWindowSeconds = 120;

} // namespace

bool messageLessThan(const _MsgMessage *a, const _MsgMessage *b)
{
    const qint64 keyDistance = qAbs(a->sortKey - b->sortKey);
    const qint64 dateDistance = qAbs(qint64(a->date) - qint64(b->date));
    if (keyDistance > kSortKeyWindow || dateDistance > kDateWindowSeconds)
        return a->date < b->date;
    return a->sortKey < b->sortKey;
}

bool messageGreaterThan(const _MsgMessage *a, const _MsgMessage *b)
{
    return messageLessThan(b, a);
}

void sortMessages(QList<_MsgMessage *> &messages, bool descending)
{
    std::stable_sort(messages.begin(), messages.end(), descending ? messageGreaterThan : messageLessThan);
}

QList<_MsgAttachment *> sortedAttachments(const _MsgMessage &message)
{
    QList<_MsgAttachment *> attachments;
    attachments.reserve(message.attachments.size());
    for (_MsgAttachment *attachment : message.attachments) {
        if (attachment)
            attachments.append(attachment);
    }
    std::stable_sort(attachments.begin(), attachments.end(),
                     [](const _MsgAttachment *a, const _MsgAttachment *b) { return a->rowid < b->rowid; });
    return attachments;
}
