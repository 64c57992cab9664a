// What FFmpeg's own clients see of a source: its description, and every frame, pixel for pixel.

#include "child_process.h"
#include "tcp_client.h"
#include "test_frames.h"
#include "test_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>
#include <chrono>
#include <sys/socket.h>

namespace vantor::test {
namespace {

struct FormatCase {
    int32_t width, height, rate_N, rate_D;
    const char* shown_rate;
};

class StreamDescription : public ::testing::TestWithParam<FormatCase> {};

TEST_P(StreamDescription, AReceiverSeesTheTitleTheMetadataTheSizeTheExactRateAndSixteenByNine)
{
    const FormatCase c = GetParam();
    SourceHandle source = MakeSource("Kelo Vantor 3");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), c.width, c.height, c.rate_N, c.rate_D, DrawMovingBox);
    TempDir dir;
    auto facts = Probe(PortOf(source), dir);
    EXPECT_EQ(facts["TAG:title"], "Kelo Vantor 3");
    EXPECT_EQ(facts["TAG:NDI_CONNECTION_METADATA"], kProductMetadata);
    EXPECT_EQ(facts["codec_name"], "qtrle");
    EXPECT_EQ(facts["pix_fmt"], "argb");
    EXPECT_EQ(facts["width"], std::to_string(c.width));
    EXPECT_EQ(facts["height"], std::to_string(c.height));
    EXPECT_EQ(facts["r_frame_rate"], c.shown_rate);
    EXPECT_EQ(facts["display_aspect_ratio"], "16:9");
}

INSTANTIATE_TEST_SUITE_P(Formats, StreamDescription,
                         ::testing::Values(FormatCase{64, 36, 30000, 1001, "30000/1001"},
                                           FormatCase{720, 576, 30000, 1200, "25/1"},
                                           FormatCase{720, 480, 60000, 1000, "60/1"}),
                         [](const auto& info) {
                             const FormatCase& c = info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) + "at" +
                                    std::to_string(c.rate_N) + "over" + std::to_string(c.rate_D);
                         });

// The given length, not the text's end; and every length where the header's EBML sizes take
// another byte (127 needs two, all ones being "unknown"; 16383 needs three).
TEST(SenderStream, TheConnectionMetadataIsExactlyTheGivenLengthOfText)
{
    std::vector<std::pair<std::string, int>> cases = {{"<a b=\"1\"/>NOT-PART-OF-IT", 10}};
    for (const int length : {126, 127, 128, 16382, 16383, 16384})
        cases.emplace_back(std::string(size_t(length), char('a' + length % 26)), length);
    for (auto& [text, length] : cases) {
        NDIlib_send_create_t settings;
        settings.p_ndi_name = "Kelo Vantor 1";
        SourceHandle source(NDIlib_send_create(&settings));
        ASSERT_TRUE(source);
        NDIlib_metadata_frame_t metadata;
        metadata.length = length;
        metadata.p_data = text.data();
        NDIlib_send_add_connection_metadata(source.get(), &metadata);
        FrameSender sending(source.get(), 32, 18, 30000, 1200, DrawMovingBox);
        TempDir dir;
        EXPECT_EQ(Probe(PortOf(source), dir)["TAG:NDI_CONNECTION_METADATA"], text.substr(0, size_t(length)))
            << length << " bytes";
    }
}

TEST(SenderStream, EveryDecodedPixelAlphaIncludedEqualsTheFrameSent)
{
    constexpr int32_t kW = 96, kH = 54;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 60000, 1200, DrawMovingBox);
    const auto decoded = ReceiveFrames(PortOf(source), 40, kW, kH);
    EXPECT_EQ(decoded.size(), 40u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox));
}

TEST(SenderStream, UnchangedFramesStillArriveAsFramesOfThePicture)
{
    constexpr int32_t kW = 64, kH = 36;
    const Draw still = [](int64_t, int32_t w, int32_t h, std::vector<uint8_t>& bgra) {
        DrawMovingBox(9, w, h, bgra);
    };
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 60000, 1200, still);
    const auto decoded = ReceiveFrames(PortOf(source), 20, kW, kH);
    ASSERT_EQ(decoded.size(), 20u);
    std::vector<uint8_t> sent(size_t(kW) * kH * 4);
    still(0, kW, kH, sent);
    for (const auto& frame : decoded)
        EXPECT_TRUE(frame == sent);
}

TEST(SenderStream, TwoReceiversAtOnceEachGetEveryFrame)
{
    constexpr int32_t kW = 80, kH = 45;
    SourceHandle source = MakeSource("Kelo Vantor 2");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 60000, 1200, DrawMovingBox);
    TempDir dir;
    ChildProcess first(FfmpegReceiver(PortOf(source), 30, dir.Path("a.raw")), dir.Path("a"));
    ChildProcess second(FfmpegReceiver(PortOf(source), 30, dir.Path("b.raw")), dir.Path("b"));
    ASSERT_EQ(first.Wait(kClientTimeoutMs), 0) << first.Errors();
    ASSERT_EQ(second.Wait(kClientTimeoutMs), 0) << second.Errors();
    for (const char* name : {"a.raw", "b.raw"}) {
        const auto decoded = SplitFrames(ReadFile(dir.Path(name)), kW, kH);
        EXPECT_EQ(decoded.size(), 30u) << name;
        EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox)) << name;
    }
}

// Occurrences of the EBML magic that opens every stream header.
size_t StreamHeadersIn(const std::string& bytes)
{
    const std::string magic = "\x1A\x45\xDF\xA3";
    size_t count = 0;
    for (size_t at = bytes.find(magic); at != std::string::npos; at = bytes.find(magic, at + 1))
        ++count;
    return count;
}

// What a receiver connected on `fd` is sent over `ms`, appended to `seen`; a pause in the stream
// does not end it.
void RecordFor(int fd, int ms, std::string& seen)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buffer[65536];
    while (std::chrono::steady_clock::now() < until) {
        if (!Readable(fd, 50))
            continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        seen.append(buffer, size_t(got));
    }
}

TEST(SenderStream, ASizeOrRateChangeStartsTheStreamAfreshForEveryReceiver)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd watching = ConnectTo(PortOf(source));
    ASSERT_TRUE(watching.valid());
    std::string seen;
    {
        FrameSender sending(source.get(), 64, 36, 30000, 1200, DrawMovingBox);
        RecordFor(watching.get(), 400, seen);
    }
    EXPECT_EQ(StreamHeadersIn(seen), 1u);
    FrameSender sending(source.get(), 32, 18, 30000, 1000, DrawMovingBox);
    RecordFor(watching.get(), 400, seen);
    EXPECT_EQ(StreamHeadersIn(seen), 2u);
    TempDir dir;
    auto facts = Probe(PortOf(source), dir);
    EXPECT_EQ(facts["width"], "32");
    EXPECT_EQ(facts["height"], "18");
    EXPECT_EQ(facts["r_frame_rate"], "30/1");
}

// Where the Matroska clusters of a recording open: each frame is one.
std::vector<size_t> ClusterStarts(const std::string& bytes)
{
    const std::string id = "\x1F\x43\xB6\x75";
    std::vector<size_t> starts;
    for (size_t at = bytes.find(id); at != std::string::npos; at = bytes.find(id, at + 1))
        starts.push_back(at);
    return starts;
}

// A still logo's deltas draw nothing, so a decoder that missed the key frame a receiver joins
// with (one that drops its first packets, a recording cut mid-stream) shows the picture only
// from the next key frame on: that must come within two seconds.
TEST(SenderStream, AReceiverThatMissedItsJoiningKeyFrameShowsTheWholePictureWithinTwoSeconds)
{
    constexpr int32_t kW = 64, kH = 36;
    const Draw still = [](int64_t, int32_t w, int32_t h, std::vector<uint8_t>& bgra) { DrawMovingBox(9, w, h, bgra); };
    std::vector<uint8_t> sent(size_t(kW) * kH * 4);
    still(0, kW, kH, sent);
    const struct {
        int32_t rate_N, rate_D;
    } rates[] = {{30000, 1200}, {60000, 1001}};
    for (const auto& rate : rates) {
        SCOPED_TRACE(std::to_string(rate.rate_N) + "/" + std::to_string(rate.rate_D));
        SourceHandle source = MakeSource("Kelo Vantor 1");
        ASSERT_TRUE(source);
        FrameSender sending(source.get(), kW, kH, rate.rate_N, rate.rate_D, still);
        const ndi::UniqueFd watching = ConnectTo(PortOf(source));
        ASSERT_TRUE(watching.valid());
        std::string recording;
        RecordFor(watching.get(), 3000, recording);
        const auto clusters = ClusterStarts(recording);
        ASSERT_GE(clusters.size(), 2u);
        // The header and the filler, then everything after the first cluster: the joining key frame.
        const auto decoded =
            DecodeRecording(recording.substr(0, clusters[0]) + recording.substr(clusters[1]), kW, kH);
        const size_t two_seconds = size_t(2 * rate.rate_N / rate.rate_D);
        ASSERT_GT(decoded.size(), two_seconds);
        const auto whole = std::find(decoded.begin(), decoded.end(), sent);
        ASSERT_NE(whole, decoded.end()) << "no decoded frame shows the picture";
        EXPECT_LT(size_t(whole - decoded.begin()), two_seconds);
        EXPECT_TRUE(std::all_of(whole, decoded.end(), [&](const auto& frame) { return frame == sent; }));
    }
}

}  // namespace
}  // namespace vantor::test
