#include "ndi/source.h"

#include "ndi/frame_taker.h"
#include "ndi/out_of_memory.h"
#include "ndi/qtrle_writer.h"

#include <new>

namespace vantor::ndi {

Source::Source(std::string name, bool clock_video)
    : name_(std::move(name)),
      clock_video_(clock_video),
      network_(mailbox_, [this](ByteBuffer& cluster) { return WriteIdlePicture(cluster); })
{
}

void Source::AddConnectionMetadata(std::string_view text)
{
    std::lock_guard lock(metadata_mutex_);
    metadata_text_.append(text);
    metadata_changed_ = true;
}

std::string Source::MetadataText()
{
    std::lock_guard lock(metadata_mutex_);
    return metadata_text_;
}

void Source::SetChangedRects(std::span<const NDIlib_changed_rect_t> rects)
{
    std::lock_guard lock(send_mutex_);
    changed_.Add(rects);
}

void Source::SendVideo(const NDIlib_video_frame_v2_t& frame, const VideoFormat& format)
{
    const int64_t entry_ns = PacingClock::NowNs();  // a new grid starts when its first call does
    int64_t deadline_ns = 0;
    {
        std::lock_guard lock(send_mutex_);
        if (metadata_changed_.exchange(false) || format != format_)
            Restart(format);
        const int64_t slot = clock_video_ ? clock_.SlotFor(entry_ns) : next_unpaced_slot_++;
        if (PictureReady())
            Take(frame, slot);
        deadline_ns = clock_.DeadlineNs(slot);
    }
    if (clock_video_)
        PacingClock::SleepUntil(deadline_ns);
}

void Source::Restart(const VideoFormat& format)
{
    format_ = format;
    picture_ready_ = false;
    changed_.Forget();  // a hint says nothing about a picture that starts afresh
    sweep_.Restart(format.height, format.rate_N, format.rate_D);
    clock_.Restart(format.rate_N, format.rate_D);
    next_unpaced_slot_ = 0;
    restart_pending_ = true;
    resend_whole_ = true;  // a stream starts with a whole picture
    key_frame_.Release();
    key_frame_current_ = false;
}

bool Source::PictureReady()
{
    if (picture_ready_)
        return true;
    try {
        taken_.Reset(format_->width, format_->height);
        picture_ready_ = true;
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();  // the frame is skipped; the next one tries again
    }
    return picture_ready_;
}

void Source::Take(const NDIlib_video_frame_v2_t& frame, int64_t slot)
{
    if (mailbox_.TakeWholeFrameRequest())
        resend_whole_ = true;
    const RowBand whole_rows = sweep_.Next(slot);
    FrameEvent* event = mailbox_.WriteSlot();
    if (!event || !TryPublish(frame, slot, whole_rows, *event)) {
        // Kept all the same (this cannot fail), so that the next hint holds; it goes whole next.
        TakeFrame(frame.p_data, frame.line_stride_in_bytes, taken_, nullptr, changed_, whole_rows);
        resend_whole_ = true;
    }
    changed_.Forget();
}

bool Source::TryPublish(const NDIlib_video_frame_v2_t& frame, int64_t slot, RowBand whole_rows, FrameEvent& event)
{
    try {
        event.restart = restart_pending_;
        if (restart_pending_)
            event.description = StreamDescription{*format_, name_, MetadataText()};
        event.index = slot;
        event.whole = resend_whole_;
        BeginCluster(event.cluster);
        ByteBuffer* delta = resend_whole_ ? nullptr : &event.cluster;
        event.changed =
            TakeFrame(frame.p_data, frame.line_stride_in_bytes, taken_, delta, changed_, whole_rows);
        if (event.changed)
            key_frame_current_ = false;
        if (resend_whole_) {
            WriteWholeFrame(event.cluster);
            event.changed = true;
        }
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();
        return false;
    }
    restart_pending_ = resend_whole_ = false;
    mailbox_.Publish();
    network_.Deliver();
    return true;
}

bool Source::WriteIdlePicture(ByteBuffer& cluster)
{
    // Under the lock no frame is published: with none waiting, the network side's stream is
    // the one taken_ belongs to.
    std::unique_lock lock(send_mutex_, std::try_to_lock);
    if (!lock.owns_lock() || !picture_ready_ || restart_pending_ || mailbox_.Pending() != 0)
        return false;
    BeginCluster(cluster);
    WriteWholeFrame(cluster);
    return true;
}

void Source::WriteWholeFrame(ByteBuffer& cluster)
{
    if (key_frame_current_)
        return cluster.Append(key_frame_.bytes());
    const size_t start = cluster.size();
    WriteKeyFrame(taken_, cluster);
    if (cluster.size() - start > kKeptKeyFrameBytes)
        return;
    key_frame_.Clear();
    key_frame_.Append(cluster.bytes().subspan(start));
    key_frame_current_ = true;
}

}  // namespace vantor::ndi
