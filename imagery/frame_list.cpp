#include "imagery/frame_list.h"

#include "imagery/picture_scale.h"

#include <utility>

namespace vantor {

// Iterative, so a long sequence cannot exhaust the stack.
void FreeFrames(SequenceFrame* frame)
{
    while (frame) {
        std::unique_ptr<SequenceFrame> owned(frame);
        frame = owned->next;
    }
}

FrameChain DetachAfterFirst(FrameList& frames)
{
    FrameChain chain(frames.first.next);
    frames.first.next = nullptr;
    frames.last = &frames.first;
    ++frames.picture_changes;
    if (chain)
        chain->prev = nullptr;
    return chain;
}

void ReplaceFirstPicture(FrameList& frames, RgbaImage& picture, RgbaImage& scaled, bool keep_replaced)
{
    std::swap(frames.first.image, picture);
    std::swap(frames.first.scaled, scaled);
    if (keep_replaced)
        std::swap(frames.leaving, scaled.pixels ? scaled : picture);
    ++frames.picture_changes;
}

SequenceFrame* AppendFrame(FrameList& frames, std::unique_ptr<SequenceFrame> frame)
{
    SequenceFrame* linked = frame.release();
    linked->prev = frames.last;
    linked->next = nullptr;
    frames.last->next = linked;
    frames.last = linked;
    return linked;
}

void ApplyRunRate(FrameList& frames)
{
    if (frames.timed_by_file)
        return;
    frames.time_base_num = frames.run_rate > 0 ? 1 : 0;
    frames.time_base_den = frames.run_rate > 0 ? frames.run_rate : 1;
}

bool MakeFirstPictureSolid(FrameList& frames)
{
    if (!frames.first.image.pixels)
        return true;
    RgbaImage solid;
    if (!frames.first.image.CopyTo(solid))
        return false;
    solid.MakeSolid();
    RgbaImage scaled = ScaledForList(frames, solid);
    {
        std::lock_guard lock(frames.guard);
        ReplaceFirstPicture(frames, solid, scaled, false);  // the same picture, opaque: no cross-fade to it
    }
    return true;  // the pictures replaced go with `solid` and `scaled`, outside the guard
}

}  // namespace vantor
