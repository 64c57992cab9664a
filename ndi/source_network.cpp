#include "ndi/source_network.h"

#include "ndi/out_of_memory.h"
#include "ndi/pacing_clock.h"
#include "ndi/qtrle_writer.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>

namespace vantor::ndi {
namespace {

constexpr int kPollIntervalMs = 100;  // how often stalls are checked while output waits
// While no output waits, the peers are looked at by the frames' own thread: the network
// thread's look is then only for a source that no longer sends.
constexpr int kIdlePollMs = 1000;
constexpr int64_t kPeerLookIntervalNs = int64_t{kPollIntervalMs} * 1'000'000;
// How long the listener is left alone after an accept failed for want of descriptors or
// memory: the connection still waits, and would wake every poll at once.
constexpr int64_t kListenerRestNs = 250'000'000;

bool LacksResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

Packet MakeJoinFiller()
{
    auto filler = std::make_shared<ByteBuffer>();
    WriteVoid(kJoinFillerBytes, *filler);
    return filler;
}

}  // namespace

int64_t KeyFrameIntervalFrames(const VideoFormat& format)
{
    constexpr int64_t kNsPerSecond = 1'000'000'000;
    return std::max<int64_t>(1, kKeyFrameIntervalNs * format.rate_N / (int64_t{format.rate_D} * kNsPerSecond));
}

SourceNetwork::SourceNetwork(FrameMailbox& mailbox, WholePicture whole_picture)
    : mailbox_(mailbox), whole_picture_(std::move(whole_picture)), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), join_filler_(MakeJoinFiller())
{
    if (!listener_.valid() || !wake_.valid())
        return;
    receivers_.reserve(kMaxReceivers);
    poll_set_.reserve(kMaxReceivers + 2);
    thread_ = std::thread([this] { Run(); });
}

SourceNetwork::~SourceNetwork()
{
    if (!thread_.joinable())
        return;
    stopping_ = true;
    Wake();
    thread_.join();
}

void SourceNetwork::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
}

void SourceNetwork::Deliver()
{
    if (!thread_.joinable())
        return;
    std::unique_lock lock(mutex_, std::try_to_lock);
    const bool needs_thread = !lock.owns_lock() || !FrameGoesAtOnce() || SendFrameAtOnce(PacingClock::NowNs());
    if (lock.owns_lock())
        lock.unlock();
    if (needs_thread)
        Wake();
}

bool SourceNetwork::FrameGoesAtOnce()
{
    if (!header_ || mailbox_.Pending() != 1)
        return false;
    const FrameEvent& frame = *mailbox_.ReadSlot();
    if (frame.restart || frame.whole)
        return false;
    return std::none_of(receivers_.begin(), receivers_.end(),
                        [](const Receiver& r) { return r.needs_key_frame || r.HasOutput(); });
}

bool SourceNetwork::SendFrameAtOnce(int64_t now_ns)
{
    bool needs_thread = false;
    // Before this frame goes: the last one has had a frame's time to be accepted.
    if (now_ns >= next_peer_look_ns_) {
        next_peer_look_ns_ = now_ns + kPeerLookIntervalNs;
        for (Receiver& r : receivers_) {
            r.LookAtPeer(now_ns);
            needs_thread |= r.PeerStillFor(kStallLimitNs, now_ns);
        }
    }
    TakeFrames(now_ns);
    for (Receiver& r : receivers_) {
        needs_thread |= !r.WriteSome(now_ns) || r.HasOutput();
        CountSentBytes(r);
    }
    return needs_thread;
}

int SourceNetwork::BuildPollSet()
{
    const bool listener_resting = PacingClock::NowNs() < listener_rest_until_ns_;
    bool output_waits = false;
    poll_set_.clear();
    poll_set_.push_back({wake_.get(), POLLIN, 0});
    poll_set_.push_back({listener_resting ? -1 : listener_.fd(), POLLIN, 0});  // -1: left out
    for (const Receiver& r : receivers_) {
        poll_set_.push_back({r.fd(), short(POLLIN | (r.HasOutput() ? POLLOUT : 0)), 0});
        output_waits |= r.HasOutput() || r.needs_key_frame;
    }
    return output_waits || listener_resting ? kPollIntervalMs : kIdlePollMs;
}

void SourceNetwork::Run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const int timeout_ms = BuildPollSet();
        lock.unlock();
        ::poll(poll_set_.data(), poll_set_.size(), timeout_ms);
        lock.lock();
        if (stopping_)
            return;
        uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t got = ::read(wake_.get(), &wakes, sizeof wakes);
        const int64_t now_ns = PacingClock::NowNs();
        TakeFrames(now_ns);
        ServiceReceivers(std::span(poll_set_).subspan(2), now_ns);
        if (poll_set_[1].revents & POLLIN)
            AcceptReceivers(now_ns);
        GiveIdleSourcesPicture(now_ns);
        receiver_count_.store(int32_t(receivers_.size()), std::memory_order_relaxed);
    }
}

void SourceNetwork::AcceptReceivers(int64_t now_ns)
{
    for (int accepted = 0; accepted < kAcceptsPerPass; ++accepted) {
        Connection connection = listener_.Accept();
        if (!connection.socket.valid()) {
            if (LacksResources(connection.error))
                listener_rest_until_ns_ = now_ns + kListenerRestNs;
            return;
        }
        if (receivers_.size() == kMaxReceivers) {
            for (Receiver& r : receivers_)
                r.LookAtPeer(now_ns);  // the frames' thread looks only now and then
            const auto making_way = MakingWay(connection.peer, now_ns);
            CountSentBytes(*making_way);
            receivers_.erase(making_way);
        }
        Receiver& receiver = receivers_.emplace_back(std::move(connection.socket), connection.peer, now_ns);
        if (header_)
            GiveHeader(receiver, now_ns);
        receiver.WriteSome(now_ns);
        AskForWholeFrameIfWanted();
    }
}

std::vector<Receiver>::iterator SourceNetwork::MakingWay(const PeerAddress& newcomer, int64_t now_ns)
{
    if (const auto stalled = LongestStalled(now_ns); stalled != receivers_.end())
        return stalled;
    const auto places_of = [&](const PeerAddress& peer) {
        const auto of_peer = [&](const Receiver& r) { return r.peer() == peer; };
        return std::count_if(receivers_.begin(), receivers_.end(), of_peer) + (peer == newcomer ? 1 : 0);
    };
    std::ptrdiff_t most = 0;
    for (const Receiver& r : receivers_)
        most = std::max(most, places_of(r.peer()));
    // The least taken goes; on equal terms the one whose peer has accepted nothing for the
    // longest (one still taking in its join accepts at every look, one that does not read stopped
    // when its buffers were full); then, from the back, as receivers_ is in the order they
    // connected, the latest.
    const auto rank = [now_ns](const Receiver& r) { return std::pair(r.TakenRecently(now_ns), r.peer_still_since_ns()); };
    auto making_way = receivers_.end();
    for (auto it = receivers_.end(); it-- != receivers_.begin();) {
        if (places_of(it->peer()) == most && (making_way == receivers_.end() || rank(*it) < rank(*making_way)))
            making_way = it;
    }
    return making_way;
}

std::vector<Receiver>::iterator SourceNetwork::LongestStalled(int64_t now_ns)
{
    auto stalled = receivers_.end();
    for (auto it = receivers_.begin(); it != receivers_.end(); ++it)
        if (it->PeerStillFor(kPeerStillLimitNs, now_ns) &&
            (stalled == receivers_.end() || it->peer_still_since_ns() < stalled->peer_still_since_ns()))
            stalled = it;
    return stalled;
}

void SourceNetwork::TakeFrames(int64_t now_ns)
{
    while (FrameEvent* frame = mailbox_.ReadSlot()) {
        try {
            TakeFrame(*frame, now_ns);
        } catch (const std::bad_alloc&) {
            ReportOutOfMemory();
            LoseFrame(false);
        }
        mailbox_.Release();
    }
}

void SourceNetwork::TakeFrame(FrameEvent& frame, int64_t now_ns)
{
    if (frame.restart) {
        std::swap(description_, frame.description);
        header_.reset();
    }
    latest_index_ = frame.index;
    latest_frame_ns_ = now_ns;
    if (header_ || StartMuxing(now_ns))
        Distribute(frame, now_ns);
    AskForWholeFrameIfWanted();
}

void SourceNetwork::AskForWholeFrameIfWanted()
{
    if (!receivers_.empty() && (latest_index_ + 1 >= next_key_index_ || WholePictureWaitedFor()))
        mailbox_.AskForWholeFrame();
}

bool SourceNetwork::WholePictureWaitedFor() const
{
    // One waiting only for room is not counted: the picture would be made for nobody.
    const size_t key_bytes = KeyFrameBytesAtMost(description_.format.width, description_.format.height);
    return std::any_of(receivers_.begin(), receivers_.end(),
                       [&](const Receiver& r) { return r.needs_key_frame && r.HasRoomFor(key_bytes); });
}

void SourceNetwork::GiveIdleSourcesPicture(int64_t now_ns)
{
    if (!header_ || now_ns - latest_frame_ns_ < kIdleSourceNs || !WholePictureWaitedFor())
        return;
    try {
        const auto muxed = pool_.Acquire();
        if (!whole_picture_(*muxed) || !muxer_.CompleteCluster(latest_index_, true, *muxed))
            return;
        const Packet key = muxed;
        for (Receiver& r : receivers_)
            if (r.needs_key_frame && r.HasRoomFor(key->size()) && r.Enqueue(key, now_ns)) {
                r.needs_key_frame = false;
                r.EndJoin();
                r.WriteSome(now_ns);
            }
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();  // they go on waiting; the next pass tries again
    }
}

bool SourceNetwork::StartMuxing(int64_t now_ns)
{
    // Not from the pool: a header lives as long as its stream and would keep a cluster's storage.
    auto header = std::make_shared<ByteBuffer>();
    if (!muxer_.Start(description_, *header)) {
        ReportOutOfMemory();  // a header fails only for want of memory
        return false;
    }
    header_ = std::move(header);
    for (Receiver& receiver : receivers_) {
        receiver.DropBacklog();
        receiver.needs_key_frame = true;
        GiveHeader(receiver, now_ns);
    }
    return true;
}

void SourceNetwork::GiveHeader(Receiver& receiver, int64_t now_ns)
{
    receiver.Enqueue(header_, now_ns);
    if (!receiver.join_queued())
        receiver.Enqueue(join_filler_, now_ns);
}

void SourceNetwork::LoseFrame(bool muxer_broken)
{
    if (muxer_broken)
        header_.reset();
    for (Receiver& receiver : receivers_)
        receiver.needs_key_frame = true;
    mailbox_.AskForWholeFrame();
}

void SourceNetwork::Distribute(FrameEvent& frame, int64_t now_ns)
{
    if (frame.whole)
        next_key_index_ = frame.index + KeyFrameIntervalFrames(description_.format);
    Packet cluster;
    for (Receiver& receiver : receivers_) {
        if (receiver.needs_key_frame && !frame.whole)
            continue;  // it waits for a whole picture
        if (receiver.HasRoomFor(frame.in_flight_bytes)) {
            if (!cluster) {
                // The frame's own bytes become the packet; the entry keeps an idle packet's storage.
                const auto muxed = pool_.Acquire();
                std::swap(*muxed, frame.cluster);
                if (!muxer_.CompleteCluster(frame.index, frame.whole, *muxed))
                    return LoseFrame(true);
                cluster = muxed;
            }
            if (receiver.Enqueue(cluster, now_ns)) {
                if (std::exchange(receiver.needs_key_frame, false))
                    receiver.EndJoin();
                continue;
            }
        }
        // Fallen behind, or without room for the whole picture it waits for: it skips what it
        // has not got to and goes on from a whole picture. Nothing is muxed for receivers that
        // cannot take it.
        if (!receiver.needs_key_frame)
            receiver.DropBacklog();
        receiver.needs_key_frame = true;
    }
}

void SourceNetwork::CountSentBytes(Receiver& receiver)
{
    bytes_sent_.store(bytes_sent_.load(std::memory_order_relaxed) + receiver.TakeSentBytes(), std::memory_order_relaxed);
}

void SourceNetwork::ServiceReceivers(std::span<const pollfd> polled, int64_t now_ns)
{
    // Backwards, so that removing a receiver leaves the ones still to visit where they were.
    for (size_t i = receivers_.size(); i-- > 0;) {
        Receiver& r = receivers_[i];
        const short events = i < polled.size() ? polled[i].revents : 0;
        const bool alive = (!(events & (POLLIN | POLLHUP | POLLERR)) || r.DiscardInput()) &&
                           r.WriteSome(now_ns) && !r.StalledLongerThan(kStallLimitNs, now_ns) &&
                           !r.PeerStillFor(kStallLimitNs, now_ns);
        CountSentBytes(r);
        if (!alive)
            receivers_.erase(receivers_.begin() + std::ptrdiff_t(i));
        else
            r.LookAtPeer(now_ns);
    }
}

}  // namespace vantor::ndi
