#include "imagery/frame_list.h"

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
    if (chain)
        chain->prev = nullptr;
    return chain;
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

}  // namespace vantor
