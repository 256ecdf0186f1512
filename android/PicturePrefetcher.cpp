#include "android/PicturePrefetcher.h"

#include "android/UploadPicture.h"
#include "store/MsgAttachment.h"
#include "store/MsgMessage.h"

#include <QThread>

#include <chrono>
#include <memory>

namespace {

const std::chrono::milliseconds PollInterval(200);

} // namespace

PicturePrefetcher::PicturePrefetcher()
{
    // Decoding a photo takes far longer than sending it: every core helps.
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

PicturePrefetcher::~PicturePrefetcher()
{
    clear();
    m_pool.waitForDone();
}

void PicturePrefetcher::prepare(const MsgMessageList &messages)
{
    for (const _MsgMessage *message : messages) {
        for (const _MsgAttachment *attachment : message->attachments) {
            if (!UploadPicture::isPicture(attachment->mime_type) || m_pending.contains(attachment))
                continue;
            auto task = std::make_shared<std::packaged_task<QByteArray()>>(
                [path = attachment->localPath, mime = attachment->mime_type] {
                    return UploadPicture::reencode(path, mime);
                });
            m_pending.insert(attachment, task->get_future().share());
            m_pool.start([task] { (*task)(); });
        }
    }
}

QByteArray PicturePrefetcher::take(const _MsgAttachment &attachment, const std::function<void()> &poll)
{
    const auto found = m_pending.constFind(&attachment);
    if (found == m_pending.constEnd())
        return UploadPicture::reencode(attachment.localPath, attachment.mime_type);
    const std::shared_future<QByteArray> result = *found;
    m_pending.erase(found);
    while (result.wait_for(PollInterval) != std::future_status::ready)
        poll();
    return result.get();
}

void PicturePrefetcher::clear()
{
    // Tasks not started yet are dropped; their futures are never waited for.
    m_pool.clear();
    m_pending.clear();
}
