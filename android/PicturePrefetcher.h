#pragma once

#include "store/MsgMessageList.h"

#include <QByteArray>
#include <QHash>
#include <QThreadPool>

#include <functional>
#include <future>

class _MsgAttachment;

// Re-encodes the pictures a transfer sends next on other threads, so decoding
// and encoding them overlaps with the sending instead of stalling it.
class PicturePrefetcher
{
public:
    PicturePrefetcher();
    // Drops what is queued and waits for the pictures being encoded.
    ~PicturePrefetcher();
    PicturePrefetcher(const PicturePrefetcher &) = delete;
    PicturePrefetcher &operator=(const PicturePrefetcher &) = delete;

    // Queues every picture attachment of `messages` that is not queued yet.
    void prepare(const MsgMessageList &messages);
    // The picture's bytes for sending (UploadPicture::reencode), encoded here
    // when it was not queued. While it waits it calls `poll` a few times a
    // second; what `poll` throws ends the wait.
    QByteArray take(const _MsgAttachment &attachment, const std::function<void()> &poll);
    // Forgets everything queued.
    void clear();

private:
    QThreadPool m_pool;
    QHash<const _MsgAttachment *, std::shared_future<QByteArray>> m_pending;
};
