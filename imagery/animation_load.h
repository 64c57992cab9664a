#pragma once
// Loading an animation file whole, on a thread of its own: the whole load is measured against
// one load's share of memory before anything is decoded, then every frame is decoded and
// converted once, with the memory rule checked again before each, into a chain of frames that
// the window's thread links into the list when the load ends. The window's thread polls the
// progress and may cancel; nothing here touches the list.

#include "imagery/frame_list.h"
#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <thread>

namespace vantor {

struct AnimationResult {
    FrameChain frames;       // the frames decoded, in order, each with its duration
    int32_t count = 0;
    int64_t time_base_num = 0;
    int64_t time_base_den = 1;
    QString failure;         // nothing loaded: why, in a sentence
    QStringList notes;       // loaded, with something the operator should know
};

class AnimationLoad {
public:
    // The file is opened by `open`, on the loading thread, and read only through what it opened.
    AnimationLoad(QString path, MemoryGauge memory, FileOpener open = OpenRegularFile);
    AnimationLoad(const AnimationLoad&) = delete;
    AnimationLoad& operator=(const AnimationLoad&) = delete;
    ~AnimationLoad();  // cancels and waits

    bool done() const { return done_.load(std::memory_order_acquire); }
    int32_t decoded() const { return decoded_; }
    int32_t expected() const { return expected_; }
    // Stops the decoding after the frame at hand and waits for it; the frames so far stay.
    void Cancel();
    // The outcome, once done() or after Cancel().
    AnimationResult TakeResult() { return std::move(result_); }
    // Waits for the whole file to load, then its outcome.
    AnimationResult Wait();

private:
    void Run();
    void Append(std::unique_ptr<SequenceFrame> node, int64_t start);

    QString path_;
    MemoryGauge memory_;
    FileOpener open_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<int32_t> decoded_{0};
    std::atomic<int32_t> expected_{0};
    AnimationResult result_;          // the loading thread's until done_
    SequenceFrame* tail_ = nullptr;
    int64_t tail_start_ = 0;
    std::thread thread_;
};

class AnimationSource;

// Whether the machine can give what reading the next frame of `source` takes at its peak.
bool RoomForFrame(const AnimationSource& source, const MemoryGauge& memory);

// Messages of an animation load, written once.
inline constexpr char kAnimationNoMemory[] = "not enough memory for %1 frames of %2 x %3";
inline constexpr char kAnimationKeptFrames[] = "The first %1 frames are kept.";
inline constexpr char kAnimationOpaque[] = "The movie has no alpha channel: its pictures are opaque.";
inline constexpr char kAnimationEndsEarly[] = "The file ends after %1 of the %2 frames it announces: it is incomplete.";

}  // namespace vantor
