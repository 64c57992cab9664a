// The seven operations at their edges: start-up, version, and inputs that must be ignored.

#include "tcp_client.h"
#include "test_frames.h"
#include "test_source.h"

#include "ndi/source_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cctype>
#include <string>
#include <vector>

namespace vantor::test {
namespace {

TEST(RuntimeApi, InitializeSucceedsAndTheVersionEndsInItsNumber)
{
    EXPECT_TRUE(NDIlib_initialize());
    const std::string version = NDIlib_version();
    const std::string number = version.substr(version.rfind(' ') + 1);
    EXPECT_FALSE(number.empty());
    EXPECT_TRUE(number.find_first_not_of("0123456789.") == std::string::npos) << version;
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(number.front()))) << version;
    NDIlib_destroy();
}

TEST(RuntimeApi, NullHandlesAndNullRecordsAreIgnored)
{
    EXPECT_EQ(NDIlib_send_create(nullptr), nullptr);
    std::vector<uint8_t> pixels(32 * 18 * 4);
    const NDIlib_video_frame_v2_t frame = FrameRecord(32, 18, 30000, 1200, pixels.data());
    char text[] = "<x/>";
    NDIlib_metadata_frame_t metadata;
    metadata.length = 4;
    metadata.p_data = text;
    NDIlib_send_send_video_v2(nullptr, &frame);
    NDIlib_send_add_connection_metadata(nullptr, &metadata);
    NDIlib_send_destroy(nullptr);
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    NDIlib_send_send_video_v2(source.get(), nullptr);
    NDIlib_send_add_connection_metadata(source.get(), nullptr);
    metadata.p_data = nullptr;
    NDIlib_send_add_connection_metadata(source.get(), &metadata);
    EXPECT_EQ(NDIlib_send_get_port(nullptr), 0);
}

TEST(RuntimeApi, FramesThatCannotBeSentSendNothing)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd watching = ConnectTo(PortOf(source));
    ASSERT_TRUE(watching.valid());
    constexpr int32_t kW = 32, kH = 18;
    // Exactly as many bytes as the faulty stride claims: reading a whole row would overrun.
    std::vector<uint8_t> short_rows(size_t(kW * 4 - 4) * kH);
    std::vector<uint8_t> pixels(size_t(kW) * kH * 4);
    std::vector<NDIlib_video_frame_v2_t> faulty(9, FrameRecord(kW, kH, 30000, 1200, pixels.data()));
    faulty[0].p_data = nullptr;
    faulty[1].p_data = short_rows.data();
    faulty[1].line_stride_in_bytes = kW * 4 - 4;
    faulty[2].FourCC = NDIlib_FourCC_video_type_e(NDI_LIB_FOURCC('U', 'Y', 'V', 'Y'));
    faulty[3].xres = 0;
    faulty[4].yres = -kH;
    faulty[5].frame_rate_N = 0;
    faulty[6].frame_rate_D = -1200;
    faulty[7].frame_rate_N = -30000;
    faulty[8].line_stride_in_bytes = 0;
    for (const auto& frame : faulty)
        NDIlib_send_send_video_v2(source.get(), &frame);
    EXPECT_FALSE(Readable(watching.get(), 300)) << "a faulty frame was sent";

    const NDIlib_video_frame_v2_t good = FrameRecord(kW, kH, 30000, 1200, pixels.data());
    NDIlib_send_send_video_v2(source.get(), &good);
    EXPECT_TRUE(Readable(watching.get(), 5000)) << "the good frame was not sent";
}

TEST(RuntimeApi, WithClockVideoEachCallReturnsNoSoonerThanItsDeadline)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    std::vector<uint8_t> pixels(32 * 18 * 4);
    const NDIlib_video_frame_v2_t frame = FrameRecord(32, 18, 100, 1, pixels.data());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 11; ++i)
        NDIlib_send_send_video_v2(source.get(), &frame);
    // The first frame starts the grid; the eleventh is due ten periods (100 ms) later.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace vantor::test
