// Places for receivers: with all sixteen taken, whatever the connections holding them do, a new
// receiver gets the stream, in the place of a connection of the peer that holds the most
// places, the one that has taken the least of it lately (on equal terms, the latest connected);
// and a flood of connections holds up no frame of a receiver already watching, nor, once its
// connections stall, takes the place of a receiver on the flood's own machine.

#include "child_process.h"
#include "tcp_client.h"
#include "test_frames.h"
#include "test_source.h"

#include "ndi/source_port.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <thread>
#include <vector>

namespace vantor::test {
namespace {

constexpr int kPlaces = 16;

// Reads what has arrived; false once the sender has closed the connection.
bool StillOpen(int fd)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

std::vector<ndi::UniqueFd> ConnectEach(uint16_t port, int count)
{
    std::vector<ndi::UniqueFd> connections;
    for (int i = 0; i < count; ++i) {
        connections.push_back(ConnectTo(port));
        EXPECT_TRUE(Readable(connections.back().get(), 5000)) << "connection " << i << " got nothing";
    }
    return connections;
}

// Reads every one of the connections as fast as the stream comes, as real receivers do.
class Readers {
public:
    explicit Readers(const std::vector<ndi::UniqueFd>& connections)
    {
        for (const ndi::UniqueFd& c : connections)
            polled_.push_back({c.get(), POLLIN, 0});
        thread_ = std::thread([this] {
            while (!stop_) {
                ::poll(polled_.data(), polled_.size(), 20);
                for (const pollfd& p : polled_)
                    if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && !StillOpen(p.fd))
                        closed_ = true;
            }
        });
    }
    ~Readers() { Stop(); }
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    bool any_closed() const { return closed_; }

private:
    std::vector<pollfd> polled_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

// Waits until nothing more arrives at a connection that does not read: its buffers are full.
void WaitUntilFull(int fd)
{
    int before = -1, now = 0;
    for (int looks = 0; looks < 100 && now != before; ++looks) {
        before = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::ioctl(fd, FIONREAD, &now);
    }
}

TEST(ReceiverPlaces, SixteenConnectionsThatNeverReadStallAtTheirJoinAndKeepNoReceiverFromTheStream)
{
    constexpr int32_t kW = 96, kH = 54;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    // A small moving box, whose frames alone would take minutes to fill a connection's buffers:
    // the filler of each join fills them at once.
    FrameSender sending(source.get(), kW, kH, 30000, 1200, DrawMovingBox);
    const std::vector<ndi::UniqueFd> never_read = ConnectEach(PortOf(source), kPlaces);

    const auto decoded = ReceiveFrames(PortOf(source), 25, kW, kH);
    EXPECT_EQ(decoded.size(), 25u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawMovingBox));
    // Read only once every one of them should have been dropped: reading earlier would revive it.
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    for (size_t i = 0; i < never_read.size(); ++i)
        EXPECT_TRUE(ReadUntilClosed(never_read[i].get(), 3000).has_value()) << "connection " << i << " was kept";
}

TEST(ReceiverPlaces, AConnectionThatStopsReadingMakesWayBeforeLaterConnectedOnesThatRead)
{
    constexpr int32_t kW = 384, kH = 216;  // noise: a connection that does not read fills at once
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 30000, 1200, DrawNoise);
    std::vector<ndi::UniqueFd> readers = ConnectEach(PortOf(source), kPlaces / 2);
    const ndi::UniqueFd stops_reading = ConnectTo(PortOf(source));
    for (ndi::UniqueFd& later : ConnectEach(PortOf(source), kPlaces / 2 - 1))
        readers.push_back(std::move(later));
    Readers reading(readers);
    WaitUntilFull(stops_reading.get());
    // The readers that joined after it take more than it took before it stopped (still short
    // of the two seconds after which a stalled connection is dropped anyway).
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const ndi::UniqueFd newcomer = ConnectTo(PortOf(source));
    ASSERT_TRUE(Readable(newcomer.get(), 5000));
    EXPECT_TRUE(StillOpen(newcomer.get()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a wrong choice shows by now
    reading.Stop();
    EXPECT_FALSE(reading.any_closed()) << "a receiver that reads lost its place";
    for (size_t i = 0; i < readers.size(); ++i)
        EXPECT_TRUE(StillOpen(readers[i].get())) << "receiver " << i << " was closed";
}

// Connects again and again from a few threads (from one peer address when given, a connection
// every `interval` each), each holding its latest connections open without reading, so that
// every place keeps turning over.
class ConnectionFlood {
public:
    explicit ConnectionFlood(uint16_t port, int threads = 2, size_t held_each = kPlaces, const char* from = nullptr,
                             std::chrono::milliseconds interval = {})
    {
        for (int t = 0; t < threads; ++t)
            threads_.emplace_back([=, this] {
                std::deque<ndi::UniqueFd> held;
                while (!stop_) {
                    if (ndi::UniqueFd c = ConnectTo(port, from); c.valid()) {
                        held.push_back(std::move(c));
                        ++made_;
                    }
                    if (held.size() > held_each)
                        held.pop_front();
                    std::this_thread::sleep_for(interval);
                }
            });
    }
    ~ConnectionFlood()
    {
        stop_ = true;
        for (std::thread& t : threads_)
            t.join();
    }
    int made() const { return made_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> made_{0};
    std::vector<std::thread> threads_;
};

TEST(ReceiverPlaces, AFloodOfConnectionsHoldsUpNoFrameOfAReceiverWatching)
{
    constexpr int32_t kW = 256, kH = 144;
    constexpr int kFrames = 75;
    SourceHandle source = MakeSource("Kelo Vantor 1");
    ASSERT_TRUE(source);
    FrameSender sending(source.get(), kW, kH, 30000, 1200, DrawNoise);
    TempDir dir;
    const std::string raw = dir.Path("frames.raw");
    ChildProcess receiver(FfmpegReceiver(PortOf(source), kFrames, raw), dir.Path("out"));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientTimeoutMs);
    while (!(std::filesystem::exists(raw) && std::filesystem::file_size(raw) > 0) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    int made = 0;
    {
        ConnectionFlood flood(PortOf(source));
        ASSERT_EQ(receiver.Wait(kClientTimeoutMs), 0) << receiver.Errors();
        made = flood.made();
    }
    EXPECT_GT(made, 10 * kPlaces) << "no flood came about";
    const auto decoded = SplitFrames(ReadFile(raw), kW, kH);
    EXPECT_EQ(decoded.size(), size_t(kFrames));
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, kW, kH, DrawNoise)) << "frames were held up";
}

// A source at 25p sending `draw`'s frames while one peer address floods it with connections
// (a connection every 40 ms, `held` of them kept open), and what a real receiver that joins
// once the flood runs decodes of `frames` frames; empty when the receiver failed.
std::vector<std::vector<uint8_t>> ReceivedDuringAFlood(int32_t width, int32_t height, int frames, Draw draw,
                                                       const char* flood_from, size_t held)
{
    SourceHandle source = MakeSource("Kelo Vantor 1");
    EXPECT_TRUE(source);
    if (!source)
        return {};
    FrameSender sending(source.get(), width, height, 30000, 1200, draw);
    ConnectionFlood flood(PortOf(source), 1, held, flood_from, std::chrono::milliseconds(40));
    while (flood.made() < 2 * kPlaces)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    TempDir dir;
    ChildProcess receiver(FfmpegReceiver(PortOf(source), frames, dir.Path("frames.raw")), dir.Path("out"));
    EXPECT_EQ(receiver.Wait(kClientTimeoutMs), 0) << receiver.Errors();
    return SplitFrames(ReadFile(dir.Path("frames.raw")), width, height);
}

// A peer that opens a connection every frame interval would, were a newcomer's join not
// counted, displace each newcomer before its first frame: its own connections make way instead.
TEST(ReceiverPlaces, ANewcomerGetsTheStreamWhileAnotherPeerOpensAConnectionEveryFrame)
{
    const auto decoded = ReceivedDuringAFlood(96, 54, 50, DrawMovingBox, "127.0.0.2", 4 * kPlaces);
    EXPECT_EQ(decoded.size(), 50u);
    EXPECT_TRUE(AreConsecutiveSentFrames(decoded, 96, 54, DrawMovingBox));
}

// Station logos that never move: every frame after the first differs only in its number, a
// few bytes, which a connection that never reads goes on taking into its kernel buffers. The
// detailed one's key frame alone is more than those buffers take; the plain one's is a few
// hundred bytes.
void DrawStillLogo(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)
{
    DrawNoise(0, width, height, bgra);
    bgra[0] = uint8_t(n);
    bgra[1] = uint8_t(n >> 8);
    bgra[2] = uint8_t(n >> 16);
}

void DrawPlainStillLogo(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)
{
    std::fill(bgra.begin(), bgra.end(), 0);
    for (size_t p = size_t(width) * 4; p < bgra.size() / 2; p += 4)
        bgra[p] = bgra[p + 3] = 0xC0;  // a plain band
    bgra[0] = uint8_t(n);
    bgra[1] = uint8_t(n >> 8);
    bgra[2] = uint8_t(n >> 16);
    bgra[3] = 255;
}

struct StillLogo {
    const char* name;
    Draw draw;
    friend void PrintTo(const StillLogo& logo, std::ostream* out) { *out << logo.name; }
};

class OwnAddressFlood : public testing::TestWithParam<StillLogo> {};

// A peer on the receiver's own machine (the same address) opening a connection every frame and
// never reading, every connection held open so that places come free only by making way: its
// connections stall and make way, the receiver keeps its place.
TEST_P(OwnAddressFlood, AReceiverKeepsItsPlaceWhileItsOwnAddressFloodsEveryPlaceWithConnectionsThatNeverRead)
{
    const auto decoded = ReceivedDuringAFlood(320, 180, 150, GetParam().draw, "127.0.0.1", 100 * kPlaces);
    EXPECT_EQ(decoded.size(), 150u) << "the receiver lost its place";
    EXPECT_TRUE(AreSentFramesInOrder(decoded, 320, 180, GetParam().draw));
}

INSTANTIATE_TEST_SUITE_P(ReceiverPlaces, OwnAddressFlood,
                         testing::Values(StillLogo{"Detailed", DrawStillLogo}, StillLogo{"Plain", DrawPlainStillLogo}),
                         [](const testing::TestParamInfo<StillLogo>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor::test
