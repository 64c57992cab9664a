// The send thread's draw against the user-interface thread's loads, drops, resets and Make
// solid of the overlay's pictures. Built with AddressSanitizer (CI) or ThreadSanitizer
// (VANTOR_TSAN), a draw that touches a frame or pixels being freed or replaced is reported.

#include "engine/playback_state.h"
#include "imagery/sequence_loader.h"
#include "recording_loader_host.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vantor {
namespace {

constexpr int32_t kFrameWidth = 64;
constexpr int32_t kFrameHeight = 36;
constexpr int kRunLength = 12;
constexpr int kRounds = 60;

// Draws frame after frame as the send loop does: the tick and the composite under the list's
// guard. Every picture of the run has the blue byte of its frame's number, so a frame
// composited from another frame's pixels is counted.
class DrawingThread {
public:
    DrawingThread(OverlayState& overlay, PlaybackState& playback)
        : thread_([this, &overlay, &playback](std::stop_token stop) { Loop(stop, overlay, playback); })
    {
    }

    std::atomic<int64_t> draws{0};
    std::atomic<int64_t> sequence_draws{0};  // draws of a frame after the first
    std::atomic<int64_t> mismatches{0};

private:
    void Loop(const std::stop_token& stop, OverlayState& overlay, PlaybackState& playback)
    {
        std::vector<uint8_t> frame(size_t{kFrameWidth} * kFrameHeight * 4);
        while (!stop.stop_requested()) {
            {
                std::lock_guard lock(overlay.frames.guard);
                const TickResult r = playback.Tick(overlay);
                if (r.draw)
                    Draw(*r.node, &overlay.frames.first, frame);
            }
            std::this_thread::yield();
        }
    }

    void Draw(const SequenceFrame& node, const SequenceFrame* first, std::vector<uint8_t>& frame)
    {
        node.image.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, frame.data(), kFrameWidth, kFrameHeight);
        ++draws;
        if (&node == first)
            return;  // its number is set after its picture, so only later frames are checked
        ++sequence_draws;
        if (frame[0] != node.number)
            ++mismatches;
    }

    std::jthread thread_;
};

class FrameGuard : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int n = 1; n <= kRunLength; ++n)
            WritePicture(QString::asprintf("run%02d.png", n), n, 16 + n, 9);
        WritePicture(QStringLiteral("drop.png"), 1, 30, 20);  // replaces frame 1's picture
        WritePicture(QStringLiteral("logo.png"), 0, 8, 8);
        overlay_.overlay_on = 1;
    }

    void WritePicture(const QString& file, int number, int w, int h)
    {
        QImage picture(w, h, QImage::Format_ARGB32);
        picture.fill(qRgba(0, 0, number, 255));
        ASSERT_TRUE(picture.save(dir_.filePath(file), "PNG"));
    }

    void Pick(const char* file)
    {
        host_.pick_path = dir_.filePath(QString::fromLatin1(file));
        loader_.LoadOverlay();
    }

    // Lets the drawing thread walk the sequence for a while.
    void WaitForSequenceDraws(DrawingThread& drawing, int64_t count)
    {
        const int64_t target = drawing.sequence_draws + count;
        for (int i = 0; i < 2000 && drawing.sequence_draws < target; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    QTemporaryDir dir_;
    OverlayState overlay_;
    PlaybackState playback_;
    std::atomic<const SequenceFrame*> preview_current_{nullptr};
    test::RecordingLoaderHost host_;
    SequenceLoader loader_{overlay_, {playback_.is_sequence, playback_.current, preview_current_}, host_};
};

TEST_F(FrameGuard, DrawsNeverMeetFramesOrPixelsBeingFreedOrReplaced)
{
    DrawingThread drawing(overlay_, playback_);
    for (int round = 0; round < kRounds; ++round) {
        host_.log.clear();
        Pick("run01.png");
        if (round % 3 == 1)
            Pick("run01.png");  // ends the pending load and resets the list under the draws
        if (round % 3 == 2)
            overlay_.frames.loading = false;  // Stop
        test::RunPendingSteps(loader_, host_);
        playback_.SetPlayMode(round % 4);
        WaitForSequenceDraws(drawing, 20);
        loader_.DropFile(dir_.filePath(QStringLiteral("drop.png")));
        ASSERT_TRUE(MakeFirstPictureSolid(overlay_.frames));
        WaitForSequenceDraws(drawing, 5);
        loader_.DropFile(dir_.filePath(QStringLiteral("run01.png")));
    }
    Pick("logo.png");
    overlay_.overlay_on = 1;
    const int64_t before = drawing.draws;
    for (int i = 0; i < 2000 && drawing.draws < before + 10; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    EXPECT_GT(drawing.sequence_draws, 0);
    EXPECT_GT(drawing.draws, drawing.sequence_draws);
    EXPECT_EQ(drawing.mismatches, 0);
    std::lock_guard lock(overlay_.frames.guard);
    EXPECT_EQ(overlay_.frames.first.next, nullptr);
    EXPECT_EQ(playback_.current, &overlay_.frames.first);
}

}  // namespace
}  // namespace vantor
