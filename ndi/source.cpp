#include "ndi/source.h"

#include "ndi/frame_taker.h"
#include "ndi/qtrle_writer.h"

namespace vantor::ndi {

Source::Source(std::string name, bool clock_video)
    : name_(std::move(name)), clock_video_(clock_video), network_(mailbox_)
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
        const bool metadata_changed = metadata_changed_.exchange(false);
        if (format != format_ || metadata_changed)
            Restart(format);
        const int64_t slot = clock_video_ ? clock_.SlotFor(entry_ns) : next_unpaced_slot_++;
        Take(frame, slot);
        deadline_ns = clock_.DeadlineNs(slot);
    }
    if (clock_video_)
        PacingClock::SleepUntil(deadline_ns);
}

void Source::Restart(const VideoFormat& format)
{
    format_ = format;
    taken_.Reset(format.width, format.height);
    changed_.Forget();  // a hint says nothing about a picture that starts afresh
    sweep_.Restart(format.height, format.rate_N, format.rate_D);
    clock_.Restart(format.rate_N, format.rate_D);
    next_unpaced_slot_ = 0;
    restart_pending_ = true;
}

bool Source::TakeInto(const NDIlib_video_frame_v2_t& frame, ByteBuffer& delta)
{
    const bool changed =
        TakeFrame(frame.p_data, frame.line_stride_in_bytes, taken_, delta, changed_, sweep_.Next());
    changed_.Forget();
    return changed;
}

void Source::Take(const NDIlib_video_frame_v2_t& frame, int64_t slot)
{
    FrameEvent* event = mailbox_.WriteSlot();
    if (!event) {
        // The network thread is that far behind: keep the picture, publish it whole next time.
        TakeInto(frame, unpublished_delta_);
        resend_whole_ = true;
        return;
    }
    event->restart = restart_pending_;
    if (restart_pending_)
        event->description = StreamDescription{*format_, name_, MetadataText()};
    event->index = slot;
    event->changed = TakeInto(frame, event->delta);
    if (resend_whole_) {
        WriteKeyFrame(taken_, event->delta);
        event->changed = true;
    }
    restart_pending_ = resend_whole_ = false;
    mailbox_.Publish();
    network_.Wake();
}

}  // namespace vantor::ndi
