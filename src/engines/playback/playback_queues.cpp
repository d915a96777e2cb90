#include "engines/playback/playback_internal.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace rm::playback::detail {

void FreePacketItem(PacketItem& item)
{
    av_packet_free(&item.packet);
    avcodec_parameters_free(&item.params);
}

void FreeVideoItem(VideoItem& item)
{
    av_frame_free(&item.raw);
    av_frame_free(&item.previous);
    item.source.reset();
    item.output.reset();
}

void PacketQueue::put(PacketItem item)
{
    {
        std::lock_guard lock(m_mu);
        if (!m_aborted) {
            m_bytes += item.bytes;
            m_items.push_back(item);
            item = PacketItem{};
        }
    }
    FreePacketItem(item);  // only when the queue was aborted
    m_cv.notify_all();
}

bool PacketQueue::get(PacketItem& item, std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mu);
    m_cv.wait_for(lock, wait, [&] { return m_aborted || !m_items.empty(); });
    if (m_aborted || m_items.empty())
        return false;
    item = m_items.front();
    m_items.pop_front();
    m_bytes -= item.bytes;
    return true;
}

void PacketQueue::clear()
{
    std::deque<PacketItem> old;
    {
        std::lock_guard lock(m_mu);
        old.swap(m_items);
        m_bytes = 0;
    }
    for (auto& it : old)
        FreePacketItem(it);
}

void PacketQueue::abort()
{
    {
        std::lock_guard lock(m_mu);
        m_aborted = true;
    }
    m_cv.notify_all();
    clear();
}

void PacketQueue::reset()
{
    clear();
    std::lock_guard lock(m_mu);
    m_aborted = false;
}

int PacketQueue::count() const
{
    std::lock_guard lock(m_mu);
    return int(m_items.size());
}

int64_t PacketQueue::bytes() const
{
    std::lock_guard lock(m_mu);
    return m_bytes;
}

} // namespace rm::playback::detail
