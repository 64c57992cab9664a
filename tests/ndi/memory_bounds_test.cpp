// What bounds the runtime's memory: buffers grow by an eighth, never by doubling; packets a
// burst left idle give their storage back; the hand-over ring has a budget of bytes in flight
// and only the entry handed back last keeps large storage; a receiver's share of the stream
// is counted over the last two seconds only, and its queue waits no longer than the stall limit.

#include "ndi/byte_buffer.h"
#include "ndi/frame_mailbox.h"
#include "ndi/packet_pool.h"
#include "ndi/receiver.h"
#include "ndi/recent_bytes.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <memory>
#include <set>
#include <vector>

namespace vantor::ndi {
namespace {

struct GrowthCase {
    const char* name;
    size_t piece_bytes;  // appended again and again
    size_t total_bytes;
};

class BufferGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(BufferGrowth, HoldsAtMostAnEighthMoreThanItCarriedAndKeepsEveryByte)
{
    const GrowthCase& c = GetParam();
    ByteBuffer buffer;
    std::vector<uint8_t> piece(c.piece_bytes);
    for (size_t written = 0; written < c.total_bytes; written += piece.size()) {
        std::fill(piece.begin(), piece.end(), uint8_t(written / piece.size()));
        buffer.Append(piece);
    }
    ASSERT_EQ(buffer.size(), c.total_bytes);
    EXPECT_LE(buffer.capacity(), std::max<size_t>(c.total_bytes + c.total_bytes / 8, 4096));
    for (size_t at = 0; at < c.total_bytes; at += c.piece_bytes)
        ASSERT_EQ(buffer.bytes()[at], uint8_t(at / c.piece_bytes)) << "byte " << at;
    buffer.Release();
    EXPECT_EQ(buffer.capacity(), 0u);
    buffer.Append(piece);  // usable again
    EXPECT_EQ(buffer.size(), piece.size());
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferGrowth,
                         ::testing::Values(GrowthCase{"SmallPieces", 100, 3000},
                                           GrowthCase{"LinesPastWhereItIsMapped", 16 << 10, 3 << 20},
                                           GrowthCase{"AFrameOf4096x2160InRows", 4096 * 4, 4096 * 4 * 2160},
                                           GrowthCase{"OneLargePiece", 5 << 20, 5 << 20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PacketPool, StorageABurstLeftIdleIsGivenBackButForAFewSmallBuffers)
{
    PacketPool pool;
    std::vector<std::weak_ptr<ByteBuffer>> large, small;
    {
        std::vector<std::shared_ptr<ByteBuffer>> held;  // queued to a receiver that fell behind
        for (int i = 0; i < 8; ++i) {
            held.push_back(pool.Acquire());
            held.back()->Append(std::vector<uint8_t>(i < 6 ? 2u << 20 : 1000u));
            (i < 6 ? large : small).push_back(held.back());
        }
    }
    const auto next = pool.Acquire();
    size_t large_kept = 0, small_kept = 0;
    for (const auto& w : large)
        large_kept += !w.expired();
    for (const auto& w : small)
        small_kept += !w.expired();
    EXPECT_EQ(large_kept, 1u) << "only the one handed out again";
    EXPECT_EQ(small_kept, 2u);
    EXPECT_GE(next->capacity(), 2u << 20) << "the largest idle one is used again";
}

void Fill(FrameEvent& event, size_t bytes)
{
    event.cluster.Clear();
    event.cluster.Reserve(bytes);
    event.cluster.Commit(bytes);
}

// The reader may take a frame's storage away (it becomes the packet receivers are sent): what
// was published is handed back all the same, round after round.
TEST(FrameMailbox, NoEntryIsWrittenWhileItsBudgetIsInFlightWhateverTheReaderDoesWithTheStorage)
{
    constexpr size_t kChange = 3 << 20;
    constexpr size_t kFit = (FrameMailbox::kInFlightBytes + kChange - 1) / kChange;
    for (const bool taken_away : {false, true}) {
        SCOPED_TRACE(taken_away ? "storage taken away" : "storage left");
        FrameMailbox mailbox;
        for (int round = 0; round < 3; ++round) {
            size_t published = 0;
            while (FrameEvent* event = mailbox.WriteSlot()) {
                Fill(*event, kChange);
                mailbox.Publish();
                ++published;
            }
            EXPECT_EQ(published, kFit);
            for (size_t handed_back = 0; FrameEvent* event = mailbox.ReadSlot(); ++handed_back) {
                if (taken_away)
                    ByteBuffer(std::move(event->cluster)).Release();
                mailbox.Release();
                if (handed_back == 0)
                    EXPECT_NE(mailbox.WriteSlot(), nullptr) << "room again once one is handed back";
            }
        }
    }
}

TEST(FrameMailbox, OnlyTheEntryHandedBackLastKeepsLargeStorageOnceABurstHasPassed)
{
    FrameMailbox mailbox;
    constexpr size_t kLarge = 5 << 20, kSmall = 100;
    std::set<FrameEvent*> entries;
    auto pass = [&](size_t in_flight, size_t bytes) {
        for (size_t i = 0; i < in_flight; ++i) {
            FrameEvent* event = mailbox.WriteSlot();
            ASSERT_NE(event, nullptr);
            const size_t capacity_before = event->cluster.capacity();
            Fill(*event, bytes);
            if (bytes == kLarge && in_flight == 1 && !entries.empty())
                EXPECT_GE(capacity_before, kLarge) << "a large change one at a time reuses the storage";
            entries.insert(event);
            mailbox.Publish();
        }
        while (mailbox.ReadSlot())
            mailbox.Release();
    };
    for (int frame = 0; frame < 10; ++frame)
        pass(1, kLarge);
    pass(3, kLarge);  // the network thread fell behind for a moment
    for (uint32_t frame = 0; frame < FrameMailbox::kCapacity; ++frame)
        pass(1, kSmall);
    size_t large = 0;
    for (FrameEvent* event : entries)
        large += event->cluster.capacity() > FrameMailbox::kKeptBytes;
    EXPECT_EQ(entries.size(), size_t(FrameMailbox::kCapacity));
    EXPECT_EQ(large, 1u);
}

TEST(RecentBytes, CountsTheLastTwoSecondsOnly)
{
    constexpr int64_t kSecond = 1'000'000'000;
    const int64_t start = 1000 * kSecond;
    RecentBytes taken;
    taken.Add(100, start);
    taken.Add(10, start + kSecond);
    EXPECT_EQ(taken.Total(start + kSecond), 110u);
    EXPECT_EQ(taken.Total(start + 2 * kSecond - 1), 110u);
    EXPECT_EQ(taken.Total(start + 2 * kSecond), 10u) << "two seconds on, the first is forgotten";
    taken.Add(1, start + 2 * kSecond + kSecond / 2);
    EXPECT_EQ(taken.Total(start + 2 * kSecond + kSecond / 2), 11u);
    EXPECT_EQ(taken.Total(start + 10 * kSecond), 0u);
    taken.Add(5, start + 10 * kSecond);
    EXPECT_EQ(taken.Total(start + 10 * kSecond), 5u) << "nothing older comes back after a long pause";
}

// After an idle spell, the stall limit counts from when output began to wait again: a receiver
// whose socket is full (the test filled it) is not dropped the moment a packet is queued.
TEST(ReceiverQueue, AQueueStartedAfterAnIdleSpellIsGivenTheWholeStallLimit)
{
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    const UniqueFd peer(fds[1]);
    Receiver receiver(UniqueFd(fds[0]), {}, 0);
    const std::vector<uint8_t> filler(1 << 16);
    while (::send(receiver.fd(), filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
    }
    constexpr int64_t kLater = 5'000'000'000, kLimit = 2'000'000'000;
    auto packet = std::make_shared<ByteBuffer>();
    packet->Append(filler);
    receiver.Enqueue(packet, kLater);
    ASSERT_TRUE(receiver.WriteSome(kLater));
    EXPECT_FALSE(receiver.StalledLongerThan(kLimit, kLater + kLimit));
    EXPECT_TRUE(receiver.StalledLongerThan(kLimit, kLater + kLimit + 1));
}

}  // namespace
}  // namespace vantor::ndi
