// Receivers that misbehave, many sources, and the end of a source.

#include "child_process.h"
#include "tcp_client.h"
#include "test_frames.h"
#include "test_source.h"

#include "ndi/source_port.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <set>
#include <thread>
#include <vector>

namespace vantor::test {
namespace {

// Large enough, and changing enough, that socket buffers fill within a fraction of a second.
constexpr int32_t kNoiseW = 384, kNoiseH = 216;

TEST(SenderConnections, AReceiverThatNeverReadsHoldsBackNoOtherReceiver)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd never_reads = ConnectTo(PortOf(source));
    ASSERT_TRUE(never_reads.valid());
    FrameSender sending(source.get(), kNoiseW, kNoiseH, 60000, 1200, DrawNoise);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // its buffers are full by now
    const auto decoded = ReceiveFrames(PortOf(source), 50, kNoiseW, kNoiseH);
    EXPECT_EQ(decoded.size(), 50u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kNoiseW, kNoiseH, DrawNoise));
}

// Reads what arrives for `duration_ms` and appends it to `into`.
void ReadFor(int fd, int duration_ms, std::string& into)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(duration_ms);
    char buffer[65536];
    while (std::chrono::steady_clock::now() < until) {
        if (!Readable(fd, 20))
            continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        into.append(buffer, size_t(got));
    }
}

TEST(SenderConnections, AReceiverThatFallsBehindSkipsAheadToAKeyFrameAndStillDecodesExactly)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd slow = ConnectTo(PortOf(source));
    ASSERT_TRUE(slow.valid());
    FrameSender sending(source.get(), kNoiseW, kNoiseH, 60000, 1200, DrawNoise);
    std::string received;
    ReadFor(slow.get(), 300, received);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // far behind by now
    ReadFor(slow.get(), 700, received);

    const auto decoded = DecodeRecording(received, kNoiseW, kNoiseH);
    ASSERT_GT(decoded.size(), 20u);
    EXPECT_TRUE(AreSentFramesInOrder(decoded, kNoiseW, kNoiseH, DrawNoise));
    const int64_t skipped = FrameNumber(decoded.back().data()) - FrameNumber(decoded.front().data()) + 1 -
                            int64_t(decoded.size());
    EXPECT_GT(skipped, 0) << "the receiver never fell behind";
}

// The frames' own thread writes to receivers whose sockets take everything; what a full socket
// leaves is finished by the network thread. A receiver that reads in small sips keeps its socket
// full: the frames that went out partly must arrive whole and in order, and the receiver that
// reads at once must miss nothing while the other is handed over again and again.
TEST(SenderConnections, WhatAFullSocketLeavesOfAFrameArrivesWholeAndNoOtherReceiverWaits)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd sipping = ConnectTo(PortOf(source));
    ASSERT_TRUE(sipping.valid());
    const int small = 16384;
    ::setsockopt(sipping.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    FrameSender sending(source.get(), kNoiseW, kNoiseH, 30000, 1200, DrawNoise);
    std::string sipped;
    std::thread sipper([&] {
        for (int sip = 0; sip < 150; ++sip) {
            ReadFor(sipping.get(), 10, sipped);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto decoded = ReceiveFrames(PortOf(source), 50, kNoiseW, kNoiseH);
    sipper.join();
    EXPECT_EQ(decoded.size(), 50u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kNoiseW, kNoiseH, DrawNoise));
    const auto sipped_frames = DecodeRecording(sipped, kNoiseW, kNoiseH);
    ASSERT_GT(sipped_frames.size(), 5u);
    EXPECT_TRUE(AreSentFramesInOrder(sipped_frames, kNoiseW, kNoiseH, DrawNoise));
}

// Receivers joining one after another while small changes go out from the frames' own thread:
// each gets the stream's header, then the filler, then a key frame, and from it every frame.
TEST(SenderConnections, ANewcomerBetweenTwoFramesGetsItsHeaderFillerAndKeyFrameInOrder)
{
    constexpr int32_t kW = 96, kH = 54;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd watching = ConnectTo(PortOf(source));
    FrameSender sending(source.get(), kW, kH, 60000, 1200, DrawMovingBox);
    std::string watched;
    for (int join = 0; join < 4; ++join) {
        SCOPED_TRACE("newcomer " + std::to_string(join));
        ReadFor(watching.get(), 37 + 13 * join, watched);  // joins at different points of a frame
        const ndi::UniqueFd newcomer = ConnectTo(PortOf(source));
        ASSERT_TRUE(newcomer.valid());
        std::string seen;
        ReadFor(newcomer.get(), 600, seen);
        ASSERT_EQ(seen.rfind("\x1A\x45\xDF\xA3", 0), 0u) << "the stream's header comes first";
        const size_t filler = seen.find(std::string("\xEC\x01\x00\x00\x00\x00\x0F\xFF\xF7", 9));  // 1 MiB of Void
        const size_t first_cluster = seen.find("\x1F\x43\xB6\x75");
        ASSERT_NE(filler, std::string::npos);
        EXPECT_LT(filler, first_cluster);
        const auto decoded = DecodeRecording(seen, kW, kH);
        ASSERT_GT(decoded.size(), 20u);
        EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox));
    }
    ReadFor(watching.get(), 300, watched);
    EXPECT_TRUE(AreConsecutiveSentFrames(DecodeRecording(watched, kW, kH), kW, kH, DrawMovingBox));
}

// A newcomer sees the picture on air: after a still picture changed, though a key frame of the
// old one was kept (and before the next key frame's turn), and from a source that no longer
// sends (a copy stopped, holding its last picture).
TEST(SenderConnections, ANewcomerSeesThePictureOnAirAfterAStillChangedOrOnceTheSourceStopped)
{
    constexpr int32_t kW = 64, kH = 36;
    constexpr int64_t kChangeAt = 25;  // a second in, a second before the next key frame's turn
    const Draw still_then_another = [](int64_t n, int32_t w, int32_t h, std::vector<uint8_t>& bgra) {
        DrawMovingBox(n < kChangeAt ? 9 : 20, w, h, bgra);
    };
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "source stopped" : "still changed");
        SourceHandle source = MakeSource("Kelo Vantor 1");
        ASSERT_TRUE(source);
        auto sending = std::make_unique<FrameSender>(source.get(), kW, kH, 30000, 1200, still_then_another);
        while (sending->frames_sent() < kChangeAt + 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (stopped)
            sending.reset();
        const auto decoded = ReceiveFrames(PortOf(source), 1, kW, kH);
        ASSERT_EQ(decoded.size(), 1u);
        EXPECT_EQ(FrameNumber(decoded.front().data()), 20);
    }
}

TEST(SenderConnections, AReceiverThatStaysStalledIsDropped)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const ndi::UniqueFd never_reads = ConnectTo(PortOf(source));
    ASSERT_TRUE(never_reads.valid());
    FrameSender sending(source.get(), kNoiseW, kNoiseH, 60000, 1200, DrawNoise);
    // Buffers fill within about half a second; two seconds without progress after that drop it.
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    EXPECT_TRUE(ReadUntilClosed(never_reads.get(), 10000).has_value());
}

TEST(SenderConnections, PeersThatSendGarbageAreDroppedAndTheyOrReceiversLeavingMidFrameDisturbNoOne)
{
    constexpr int32_t kW = 96, kH = 54;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 60000, 1200, DrawMovingBox);
    TempDir dir;
    ChildProcess receiver(FfmpegReceiver(PortOf(source), 40, dir.Path("frames.raw")), dir.Path("out"));
    const std::vector<char> garbage(1 << 20, 'x');
    for (int i = 0; i < 5; ++i) {
        ndi::UniqueFd talker = ConnectTo(PortOf(source));
        ::send(talker.get(), garbage.data(), garbage.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        EXPECT_TRUE(ReadUntilClosed(talker.get(), 3000).has_value()) << "a peer that talks is no receiver";
        ndi::UniqueFd leaver = ConnectTo(PortOf(source));
        char some[100];
        ASSERT_TRUE(Readable(leaver.get(), 5000));
        ASSERT_GT(::recv(leaver.get(), some, sizeof some, 0), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }  // both leave, the leaver in the middle of the stream
    ASSERT_EQ(receiver.Wait(kClientTimeoutMs), 0) << receiver.Errors();
    const auto decoded = SplitFrames(ReadFile(dir.Path("frames.raw")), kW, kH);
    EXPECT_EQ(decoded.size(), 40u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox));
}

TEST(SenderConnections, DestroyClosesTheListenerAndEveryConnectionAtOnce)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    const uint16_t port = PortOf(source);
    const ndi::UniqueFd watching = ConnectTo(port);
    {
        FrameSender sending(source.get(), 32, 18, 60000, 1200, DrawMovingBox);
        ASSERT_TRUE(Readable(watching.get(), 5000));
    }
    source.reset();
    EXPECT_TRUE(ReadUntilClosed(watching.get(), 2000).has_value());
    EXPECT_FALSE(ConnectTo(port).valid());
}

TEST(SenderConnections, EightSourcesTakeEightPortsAndEachServesItsOwnStream)
{
    std::vector<SourceHandle> sources;
    std::vector<std::unique_ptr<FrameSender>> senders;
    std::vector<std::string> names;
    std::set<uint16_t> ports;
    for (int i = 1; i <= 8; ++i) {
        names.push_back("Kelo Vantor " + std::to_string(i));
        sources.push_back(MakeSource(names.back().c_str()));
        ASSERT_TRUE(sources.back());
        const uint16_t port = PortOf(sources.back());
        EXPECT_GE(port, 5960);
        EXPECT_LE(port, 5999);
        ports.insert(port);
        senders.push_back(std::make_unique<FrameSender>(sources.back().get(), 32, 18, 30000, 1200,
                                                        DrawMovingBox));
    }
    EXPECT_EQ(ports.size(), 8u);
    TempDir dir;
    for (size_t i = 0; i < sources.size(); ++i)
        EXPECT_EQ(Probe(PortOf(sources[i]), dir)["TAG:title"], names[i]);
    senders.clear();
}

}  // namespace
}  // namespace vantor::test
