#include "ndi/video_format.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/rational.h>
}

#include <functional>
#include <vector>

namespace vantor::ndi {
namespace {

NDIlib_video_frame_v2_t Frame1080(uint8_t* pixels)
{
    NDIlib_video_frame_v2_t f;
    f.xres = 1920;
    f.yres = 1080;
    f.frame_rate_N = 30000;
    f.frame_rate_D = 1001;
    f.p_data = pixels;
    f.line_stride_in_bytes = 1920 * 4;
    return f;
}

TEST(SendableFormat, AFrameOfTheOutputFormatIsSentWithItsSizeRateAndAspect)
{
    uint8_t pixel = 0;
    const auto format = SendableFormat(Frame1080(&pixel));
    ASSERT_TRUE(format);
    EXPECT_EQ(*format, (VideoFormat{1920, 1080, 30000, 1001, 16, 9}));
}

TEST(SendableFormat, AFrameWithSomethingMissingOrOutOfRangeIsNotSent)
{
    uint8_t pixel = 0;
    const std::vector<std::function<void(NDIlib_video_frame_v2_t&)>> faults = {
        [](auto& f) { f.p_data = nullptr; },
        [](auto& f) { f.line_stride_in_bytes = f.xres * 4 - 1; },
        [](auto& f) { f.line_stride_in_bytes = 0; },
        [](auto& f) { f.FourCC = NDIlib_FourCC_video_type_e(NDI_LIB_FOURCC('U', 'Y', 'V', 'Y')); },
        [](auto& f) { f.xres = 0; },
        [](auto& f) { f.yres = -1080; },
        [](auto& f) { f.xres = kMaxFrameDimension + 1; f.line_stride_in_bytes = f.xres * 4; },
        [](auto& f) { f.frame_rate_N = 0; },
        [](auto& f) { f.frame_rate_D = -1001; },
    };
    for (size_t i = 0; i < faults.size(); ++i) {
        NDIlib_video_frame_v2_t f = Frame1080(&pixel);
        faults[i](f);
        EXPECT_FALSE(SendableFormat(f)) << "fault " << i;
    }
}

TEST(SendableFormat, TheDisplayAspectIsTheFramesOrSquarePixelsWhenItGivesNone)
{
    uint8_t pixel = 0;
    NDIlib_video_frame_v2_t f = Frame1080(&pixel);
    f.xres = 720;
    f.yres = 576;
    f.line_stride_in_bytes = 720 * 4;
    f.picture_aspect_ratio = 16.0f / 9.0f;
    EXPECT_EQ(SendableFormat(f)->aspect_num, 16);
    EXPECT_EQ(SendableFormat(f)->aspect_den, 9);
    f.picture_aspect_ratio = 0.0f;
    EXPECT_EQ(SendableFormat(f)->aspect_num, 5);
    EXPECT_EQ(SendableFormat(f)->aspect_den, 4);
}

// FFmpeg's own reduction is the reference: the cinema and television aspects, then a sweep with
// a step that is no simple fraction, so that most values end between two convergents.
TEST(SendableFormat, AnAspectGivenAsANumberIsTheFractionFfmpegWouldMakeOfIt)
{
    std::vector<float> ratios = {1.0f, 4.0f / 3, 16.0f / 9, 1.85f, 2.0f, 2.35f, 2.39f, 2.4f, 9.0f / 16, 1.375f, 1.66f};
    for (float r = 0.01f; r < 100.0f; r += 0.0377f)
        ratios.push_back(r);
    uint8_t pixel = 0;
    NDIlib_video_frame_v2_t f = Frame1080(&pixel);
    for (const float ratio : ratios) {
        f.picture_aspect_ratio = ratio;
        const AVRational expected = av_d2q(ratio, 1000);
        const auto format = SendableFormat(f);
        ASSERT_TRUE(format);
        EXPECT_EQ(format->aspect_num, expected.num) << ratio;
        EXPECT_EQ(format->aspect_den, expected.den) << ratio;
    }
}

}  // namespace
}  // namespace vantor::ndi
