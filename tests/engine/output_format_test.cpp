#include "engine/output_format.h"
#include "engine/output_frame.h"
#include "engine/sender.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vantor {
namespace {

OutputFormat Format(int32_t w, int32_t h, int32_t n, int32_t d) { return {w, h, n, d}; }

TEST(OutputFormatInfoText, RatesAreDividedInSinglePrecisionAndPrintedWithTwoDecimals)
{
    EXPECT_EQ(InfoText(OutputFormat{}), "1280 x 720 - 25.00 fps");
    EXPECT_EQ(InfoText(Format(1920, 1080, 30000, 1001)), "1920 x 1080 - 29.97 fps");
    EXPECT_EQ(InfoText(Format(640, 360, 60000, 1200)), "640 x 360 - 50.00 fps");
    EXPECT_EQ(InfoText(Format(4096, 2160, 60000, 1000)), "4096 x 2160 - 60.00 fps");
}

TEST(OutputFormatTables, MenuIdsFindTheirRowsAndOthersFindNothing)
{
    ASSERT_NE(FindResolution(32785), nullptr);
    EXPECT_EQ(FindResolution(32785)->width, 4096);
    EXPECT_STREQ(FindResolution(32774)->label, "720 x 576");
    EXPECT_EQ(FindResolution(32776)->height, 360);
    EXPECT_EQ(FindResolution(32777), nullptr);  // a frame-rate id
    ASSERT_NE(FindFrameRate(32780), nullptr);
    EXPECT_EQ(FindFrameRate(32780)->frame_rate_D, 1001);
    EXPECT_EQ(FindFrameRate(32781)->frame_rate_N, 60000);
    EXPECT_EQ(FindFrameRate(32781)->frame_rate_D, 1200);
    EXPECT_EQ(FindFrameRate(0), nullptr);
    // Every rate is over 30000 or 60000.
    for (const FrameRateRow& row : kFrameRates)
        EXPECT_TRUE(row.frame_rate_N == 30000 || row.frame_rate_N == 60000) << row.label;
}

TEST(OutputFrameRecord, DescribesEveryFormatAs16By9ProgressiveBgraWithoutRowGaps)
{
    OutputFrame frame;
    ASSERT_TRUE(frame.Allocate());
    for (const ResolutionRow& row : kResolutions) {
        frame.Describe(Format(row.width, row.height, 30000, 1001));
        const NDIlib_video_frame_v2_t& r = frame.record();
        EXPECT_EQ(r.xres, row.width);
        EXPECT_EQ(r.yres, row.height);
        EXPECT_EQ(uint32_t(r.FourCC), 0x41524742u);
        EXPECT_EQ(r.frame_rate_N, 30000);
        EXPECT_EQ(r.frame_rate_D, 1001);
        EXPECT_EQ(r.picture_aspect_ratio, 16.0f / 9.0f) << row.label;  // 720 x 576 included
        EXPECT_EQ(r.frame_format_type, NDIlib_frame_format_type_progressive);
        EXPECT_EQ(r.timecode, NDIlib_send_timecode_synthesize);
        EXPECT_EQ(r.line_stride_in_bytes, row.width * 4);
        EXPECT_EQ(r.p_data, frame.pixels());
        EXPECT_EQ(r.p_metadata, nullptr);
        EXPECT_EQ(r.timestamp, 0);
        EXPECT_LE(frame.used_bytes(), OutputFrame::kBufferBytes);
    }
}

TEST(OutputFrameRecord, ClearTouchesOnlyTheFormatsShareOfTheBuffer)
{
    OutputFrame frame;
    ASSERT_TRUE(frame.Allocate());
    frame.Describe(Format(4096, 2160, 30000, 1200));
    EXPECT_EQ(frame.used_bytes(), OutputFrame::kBufferBytes);
    std::memset(frame.pixels(), 0x55, OutputFrame::kBufferBytes);
    frame.Describe(Format(640, 360, 30000, 1200));
    frame.Clear();
    EXPECT_EQ(frame.pixels()[921'599], 0);
    EXPECT_EQ(frame.pixels()[921'600], 0x55);
}

TEST(SenderIdentity, SourceNamesCountFromOneAndStayWithin31Characters)
{
    EXPECT_STREQ(SourceName(0).data(), "Kelo Vantor 1");
    EXPECT_STREQ(SourceName(2).data(), "Kelo Vantor 3");
    EXPECT_STREQ(SourceName(7).data(), "Kelo Vantor 8");
    EXPECT_LE(std::strlen(SourceName(-2147483647).data()), 31u);
}

TEST(SenderIdentity, MetadataIsOneEmptyElementWithFourteenBlanksBetweenAttributes)
{
    const std::string blanks(14, ' ');
    const std::string expected = "<ndi_product long_name=\"Kelo Vantor - signal generator\"" + blanks +
                                 "short_name=\"Kelo Vantor\"" + blanks + "manufacturer=\"Kelo\"" + blanks +
                                 "version=\"1.0.2\"" + blanks + "session=\"default\"" + blanks +
                                 "model_name=\"K1\"" + blanks + "serial=\"00001\"/>";
    EXPECT_EQ(ProductMetadata(), expected);
}

}  // namespace
}  // namespace vantor
