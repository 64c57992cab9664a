// Memory running short while a source sends: on the caller's thread a change that cannot be
// written, on the network thread a key frame for a receiver that joins; neither ends the
// program, the receivers go on exactly once memory is back, and it is said once.

#include "refusing_operator_new.h"
#include "tcp_client.h"
#include "test_frames.h"
#include "test_source.h"

#include "ndi/out_of_memory.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace vantor::test {
namespace {

constexpr int32_t kW = 320, kH = 180;  // a whole picture of noise is 230 KB
constexpr size_t kCeiling = 64 << 10;
// Frame numbers: a small box; noise in the upper half; (memory short) noise everywhere; a box.
// Only the box was ever a key frame before memory runs short, and the changes of the upper half
// have been written: what needs more storage than ever is a change of the whole picture on the
// caller's side, and a key frame of half noise on the network side.
constexpr int64_t kHalfFrom = 10, kShortFrom = 30, kShortUntil = 90, kLast = 130;

void DrawPhase(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)
{
    if (n < kHalfFrom || n >= kShortUntil)
        return DrawMovingBox(n, width, height, bgra);
    DrawNoise(n, width, height, bgra);
    if (n < kShortFrom)
        std::fill(bgra.begin() + std::ptrdiff_t(bgra.size() / 2), bgra.end(), 0);
}

// The same pictures, memory short while the frames from kShortFrom to kShortUntil are sent.
void DrawPhaseShortOfMemory(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)
{
    if (n == kShortFrom)
        RefuseAllocationsAbove(kCeiling);
    if (n == kShortUntil)
        RefuseAllocationsAbove(kNoCeiling);
    DrawPhase(n, width, height, bgra);
}

struct CeilingLifted {
    ~CeilingLifted() { RefuseAllocationsAbove(kNoCeiling); }
};

// Everything a receiver gets, kept in storage taken beforehand (memory is short meanwhile).
class Recorder {
public:
    explicit Recorder(uint16_t port) : connection_(ConnectTo(port))
    {
        stream_.reserve(64 << 20);
        thread_ = std::thread([this] {
            for (char* at = stream_.data(); !stop_ && at < stream_.data() + stream_.capacity();) {
                if (!Readable(connection_.get(), 20))
                    continue;
                const ssize_t got = ::recv(connection_.get(), at, size_t(stream_.data() + stream_.capacity() - at), 0);
                if (got <= 0)
                    return;
                at += got;
                recorded_ = size_t(at - stream_.data());
            }
        });
    }
    std::string Stop()
    {
        stop_ = true;
        thread_.join();
        return std::string(stream_.data(), recorded_);
    }

private:
    ndi::UniqueFd connection_;
    std::string stream_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> recorded_{0};
    std::thread thread_;
};

void WaitForFrames(const FrameSender& sending, int64_t count)
{
    while (sending.frames_sent() < count)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(MemoryShortage, NeitherThreadEndsTheProgramAndEveryReceiverGoesOnExactlyOnceMemoryIsBack)
{
    CeilingLifted lifted_at_the_end;
    ::testing::internal::CaptureStderr();
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    Recorder watching(PortOf(source));
    TempDir dir;
    std::vector<std::vector<uint8_t>> joined;
    {
        FrameSender sending(source.get(), kW, kH, 30000, 1200, DrawPhaseShortOfMemory);
        WaitForFrames(sending, kShortFrom + 10);
        // Joins while memory is short: its key frame of a half noise picture cannot be made.
        ChildProcess joining(FfmpegReceiver(PortOf(source), 20, dir.Path("joined.raw")), dir.Path("out"));
        WaitForFrames(sending, kLast);
        ASSERT_EQ(joining.Wait(kClientTimeoutMs), 0) << joining.Errors();
        joined = SplitFrames(ReadFile(dir.Path("joined.raw")), kW, kH);
    }
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const auto watched = DecodeRecording(watching.Stop(), kW, kH);

    ASSERT_EQ(joined.size(), 20u);
    EXPECT_GE(FrameNumber(joined.front().data()), kShortUntil) << "a key frame was made while memory was short";
    EXPECT_TRUE(AreConsecutiveSentFrames(joined, kW, kH, DrawPhase));
    ASSERT_FALSE(watched.empty());
    EXPECT_TRUE(AreSentFramesInOrder(watched, kW, kH, DrawPhase));
    EXPECT_LT(FrameNumber(watched.front().data()), kShortFrom);
    EXPECT_GE(FrameNumber(watched.back().data()), kShortUntil) << "the receiver watching did not go on";
    size_t said = 0;
    for (size_t at = errors.find(ndi::kOutOfMemoryLine); at != std::string::npos;
         at = errors.find(ndi::kOutOfMemoryLine, at + 1))
        ++said;
    EXPECT_EQ(said, 1u) << errors;
}

}  // namespace
}  // namespace vantor::test
