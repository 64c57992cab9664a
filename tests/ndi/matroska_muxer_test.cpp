// Each cluster's timecode against FFmpeg, the reference the stream's receivers use: the frame's
// time as FFmpeg rescales it. (The header is read back by ffprobe in the stream tests.)

#include "ndi/matroska_muxer.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>

namespace vantor::ndi {
namespace {

uint64_t TimecodeOf(const ByteBuffer& cluster)
{
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = value << 8 | cluster.bytes()[14 + i];
    return value;
}

// Frame k is at k x D / N seconds in microseconds, then in the stream's milliseconds, each
// rounded as FFmpeg rounds; a new stream starts where the last frame of the one before ended.
TEST(MatroskaClusters, EachTimecodeIsTheFramesTimeAsFfmpegRoundsItThroughARestart)
{
    const AVRational kMicroseconds{1, 1000000}, kMilliseconds{1, 1000};
    const int32_t rates[][2] = {{30000, 1001}, {60000, 1001}, {25, 1}, {24000, 1001}, {60000, 1000}};
    MatroskaMuxer muxer;
    ByteBuffer header, cluster;
    int64_t stream_start_us = 0, end_us = 0;
    for (const auto& [rate_N, rate_D] : rates) {
        ASSERT_TRUE(muxer.Start({{64, 36, rate_N, rate_D, 16, 9}, "t", ""}, header));
        stream_start_us = end_us;
        for (int64_t k : {0, 1, 2, 3, 29, 30, 1000, 1001, 5003, 107892, 107893}) {
            BeginCluster(cluster);
            ASSERT_TRUE(muxer.CompleteCluster(k, false, cluster));
            const int64_t start_us = stream_start_us + av_rescale_q(k, {rate_D, rate_N}, kMicroseconds);
            end_us = std::max(end_us, stream_start_us + av_rescale_q(k + 1, {rate_D, rate_N}, kMicroseconds));
            EXPECT_EQ(TimecodeOf(cluster), uint64_t(av_rescale_q(start_us, kMicroseconds, kMilliseconds)))
                << rate_N << "/" << rate_D << " frame " << k;
        }
    }
}

}  // namespace
}  // namespace vantor::ndi
