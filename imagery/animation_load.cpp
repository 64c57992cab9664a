#include "imagery/animation_load.h"

#include "imagery/animation_source.h"
#include "imagery/load_measure.h"
#include "imagery/sequence_loader.h"

#include <algorithm>

namespace vantor {
namespace {

// No frame shows longer than an hour: it keeps the stepper's sums far from overflowing.
constexpr int64_t kLongestFrameSeconds = 3600;

}  // namespace

// A frame's pixels kept, the decoder's picture and the conversion's, counted as if all lived at once.
bool RoomForFrame(const AnimationSource& source, const MemoryGauge& memory)
{
    return RoomFor(memory, int64_t{source.Width()} * source.Height() * 4 * 3);
}

AnimationLoad::AnimationLoad(QString path, MemoryGauge memory, FileOpener open)
    : path_(std::move(path)), memory_(std::move(memory)), open_(std::move(open)), thread_([this] { Run(); })
{
}

AnimationLoad::~AnimationLoad()
{
    Cancel();
}

void AnimationLoad::Cancel()
{
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

AnimationResult AnimationLoad::Wait()
{
    if (thread_.joinable())
        thread_.join();
    return TakeResult();
}

void AnimationLoad::Run()
{
    QString why;
    const std::unique_ptr<AnimationSource> source = OpenAnimationSource(path_, open_(path_), why);
    if (!source) {
        result_.failure = why;
        done_.store(true, std::memory_order_release);
        return;
    }
    // The whole load is measured before the first frame is decoded; a file whose header says
    // less than it holds is held to the same share as it goes.
    const std::optional<int64_t> share = LoadShareBytes(memory_);
    const LoadMeasure measure = MeasureAnimation(*source);
    result_.failure = ShareRefusal(measure, share);
    if (!result_.failure.isEmpty()) {
        done_.store(true, std::memory_order_release);
        return;
    }
    const int64_t frame_bytes = int64_t{measure.width} * measure.height * 4;
    result_.time_base_num = source->TimeBaseNum();
    result_.time_base_den = source->TimeBaseDen();
    expected_ = source->ExpectedFrames();
    QString stopped_by;
    while (!cancel_) {
        const int64_t taken = source->DecoderBytes() + result_.count * frame_bytes;
        const bool within_share = !share || taken + frame_bytes <= *share;
        // Other copies may have taken memory meanwhile: the next frame must fit what is free now.
        const bool room_now = RoomFor(memory_, source->DecoderBytes() + frame_bytes);
        std::unique_ptr<SequenceFrame> node = within_share && room_now ? AllocateNode() : nullptr;
        if (!node) {
            stopped_by = QString::fromLatin1(kAnimationNoMemory)
                             .arg(std::max(expected_.load(), result_.count + 1))
                             .arg(source->Width())
                             .arg(source->Height());
            break;
        }
        int64_t start = 0;
        const FrameRead read = source->ReadFrame(node->image, start, node->duration);
        if (read == FrameRead::kEnd) {
            if (result_.count < expected_)
                stopped_by = QString::fromLatin1(kAnimationEndsEarly).arg(result_.count).arg(expected_.load());
            break;
        }
        if (read == FrameRead::kFailed) {
            stopped_by = source->Problem();
            break;
        }
        Append(std::move(node), start);
    }
    if (result_.count == 0)
        result_.failure = stopped_by.isEmpty() ? QStringLiteral("The file holds no picture.") : stopped_by;
    else if (!stopped_by.isEmpty())
        result_.notes << stopped_by + QStringLiteral("\n\n") +
                             QString::fromLatin1(kAnimationKeptFrames).arg(result_.count);
    if (result_.count > 0 && !source->HasAlpha())
        result_.notes << QString::fromLatin1(kAnimationOpaque);
    done_.store(true, std::memory_order_release);
}

// The frame before ends where this one starts, when the file's times say so.
void AnimationLoad::Append(std::unique_ptr<SequenceFrame> node, int64_t start)
{
    const int64_t longest =
        std::max<int64_t>(kLongestFrameSeconds * result_.time_base_den / result_.time_base_num, 1);
    if (tail_ && start > tail_start_)
        tail_->duration = std::min(start - tail_start_, longest);
    node->duration = std::clamp<int64_t>(node->duration, 1, longest);
    node->number = ++result_.count;
    SequenceFrame* linked = node.release();
    if (tail_) {
        tail_->next = linked;
        linked->prev = tail_;
    } else {
        result_.frames.reset(linked);
    }
    tail_ = linked;
    tail_start_ = start;
    decoded_ = result_.count;
}

}  // namespace vantor
