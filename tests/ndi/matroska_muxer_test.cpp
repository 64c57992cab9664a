// The stream's Matroska against FFmpeg, the reference its receivers use: the header read back by
// FFmpeg's own demuxer, with a title and metadata of every length at the edges of the EBML size
// encoding, and each cluster's timecode as FFmpeg rescales the frame's time.

#include "ndi/matroska_muxer.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cstring>
#include <string>

namespace vantor::ndi {
namespace {

struct Bytes {
    std::span<const uint8_t> all;
    size_t at = 0;
};

int ReadBytes(void* opaque, uint8_t* into, int size)
{
    auto* bytes = static_cast<Bytes*>(opaque);
    const size_t count = std::min(size_t(size), bytes->all.size() - bytes->at);
    if (count == 0)
        return AVERROR_EOF;
    std::memcpy(into, bytes->all.data() + bytes->at, count);
    bytes->at += count;
    return int(count);
}

// The stream's header and one key frame's cluster, opened by FFmpeg's Matroska demuxer: the
// title and the connection metadata it found, or "refused".
std::pair<std::string, std::string> TitleAndMetadataAsFfmpegReadsThem(const StreamDescription& description)
{
    MatroskaMuxer muxer;
    ByteBuffer stream, cluster;
    EXPECT_TRUE(muxer.Start(description, stream));
    BeginCluster(cluster);
    const uint8_t frame[] = {0, 0, 0, 7, 0, 0, 0};  // an empty QuickTime Animation chunk
    cluster.Append(frame);
    EXPECT_TRUE(muxer.CompleteCluster(0, true, cluster));
    stream.Append(cluster.bytes());

    Bytes bytes{stream.bytes()};
    constexpr int kBufferBytes = 4096;
    AVIOContext* io = avio_alloc_context(static_cast<uint8_t*>(av_malloc(kBufferBytes)), kBufferBytes, 0, &bytes,
                                         &ReadBytes, nullptr, nullptr);
    AVFormatContext* format = avformat_alloc_context();
    format->pb = io;
    std::pair<std::string, std::string> found{"refused", "refused"};
    if (avformat_open_input(&format, nullptr, av_find_input_format("matroska"), nullptr) == 0) {
        const auto tag = [&](const char* key) {
            const AVDictionaryEntry* entry = av_dict_get(format->metadata, key, nullptr, 0);
            return entry ? std::string(entry->value) : std::string("absent");
        };
        found = {tag("title"), tag(kConnectionMetadataTag)};
        avformat_close_input(&format);
    } else {
        avformat_free_context(format);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return found;
}

// An EBML size takes one byte up to 126, two from 127 (all ones is kept for "unknown") up to
// 16382, and so on: texts of those lengths, alone and within their masters.
TEST(MatroskaHeader, FfmpegReadsTheTitleAndMetadataBackWhateverTheirLength)
{
    for (const size_t length : {size_t{1}, size_t{100}, size_t{126}, size_t{127}, size_t{128}, size_t{16382},
                                size_t{16383}, size_t{16384}, size_t{70000}}) {
        std::string text(length, 'x');
        for (size_t i = 0; i < length; ++i)
            text[i] = char('a' + i % 26);
        const auto [title, metadata] = TitleAndMetadataAsFfmpegReadsThem({{64, 36, 25, 1, 16, 9}, text, text});
        EXPECT_EQ(title, text) << length << " characters";
        EXPECT_EQ(metadata, text) << length << " characters";
    }
    EXPECT_EQ(TitleAndMetadataAsFfmpegReadsThem({{64, 36, 25, 1, 16, 9}, "Kelo Vantor 1", ""}),
              (std::pair<std::string, std::string>{"Kelo Vantor 1", "absent"}));
}

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
