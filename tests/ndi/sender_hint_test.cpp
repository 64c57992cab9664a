// A caller that says where each frame changed: what a real ffmpeg receiver decodes stays exact,
// and a change the caller left out reaches the receiver within a second all the same.

#include "test_frames.h"
#include "test_source.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantor::test {
namespace {

constexpr NDIlib_changed_rect_t kFrameNumberPixel{0, 0, 1, 1};

// The moving box's changes: the frame number always, the box only when it moved and redrew.
std::vector<NDIlib_changed_rect_t> MovingBoxChanges(int64_t n, int32_t width, int32_t height)
{
    if (n % 4 != 0)
        return {kFrameNumberPixel};
    return {kFrameNumberPixel, MovingBoxPlace(n - 1, width, height), MovingBoxPlace(n, width, height)};
}

TEST(SenderHints, FramesSentWithTrueHintsDecodeExactlyHeldOrMoving)
{
    constexpr int32_t kW = 96, kH = 54;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 60000, 1200, DrawMovingBox, MovingBoxChanges);
    const auto decoded = ReceiveFrames(PortOf(source), 40, kW, kH);
    EXPECT_EQ(decoded.size(), 40u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox));
}

TEST(SenderHints, AChangeTheHintsLeaveOutIsShownWithinASecondAndStaysShown)
{
    constexpr int32_t kW = 64, kH = 36, kFramesPerSecond = 60;
    constexpr int64_t kSecretFrom = 30;
    constexpr size_t kSecretAt = (size_t(kH - 5) * kW + 40) * 4;  // far from the first rows
    const Draw with_secret = [](int64_t n, int32_t w, int32_t h, std::vector<uint8_t>& bgra) {
        DrawMovingBox(0, w, h, bgra);
        bgra[0] = uint8_t(n);
        bgra[1] = uint8_t(n >> 8);
        if (n >= kSecretFrom)
            std::fill_n(&bgra[kSecretAt], 4, uint8_t(0xC8));
    };
    const Hint frame_number_only = [](int64_t, int32_t, int32_t) {
        return std::vector<NDIlib_changed_rect_t>{kFrameNumberPixel};
    };
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, kFramesPerSecond * 1000, 1000, with_secret, frame_number_only);
    const auto decoded = ReceiveFrames(PortOf(source), 150, kW, kH);
    ASSERT_EQ(decoded.size(), 150u);

    std::vector<uint8_t> sent(size_t(kW) * kH * 4);
    bool repaired = false;
    for (const auto& frame : decoded) {
        const int64_t n = FrameNumber(frame.data());
        with_secret(n, kW, kH, sent);
        const bool right = std::equal(&frame[kSecretAt], &frame[kSecretAt] + 4, &sent[kSecretAt]);
        if (n < kSecretFrom || n >= kSecretFrom + kFramesPerSecond) {
            EXPECT_TRUE(right) << "frame " << n << " shows the wrong pixel";
        }
        EXPECT_FALSE(repaired && !right) << "frame " << n << " lost the repaired pixel";
        repaired = n >= kSecretFrom && right;
        std::copy_n(&frame[kSecretAt], 4, &sent[kSecretAt]);
        EXPECT_TRUE(frame == sent) << "frame " << n << " differs elsewhere";
    }
    EXPECT_GE(FrameNumber(decoded.back().data()), kSecretFrom + kFramesPerSecond) << "ended too early to tell";
}

}  // namespace
}  // namespace vantor::test
