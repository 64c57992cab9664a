#include "ndi/source_network.h"

#include "ndi/pacing_clock.h"
#include "ndi/qtrle_reader.h"
#include "ndi/qtrle_writer.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace vantor::ndi {
namespace {

constexpr int kPollIntervalMs = 100;  // how often stalls are checked while nothing happens

}  // namespace

SourceNetwork::SourceNetwork(FrameMailbox& mailbox)
    : mailbox_(mailbox), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
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

void SourceNetwork::Run()
{
    while (!stopping_) {
        poll_set_.clear();
        poll_set_.push_back({wake_.get(), POLLIN, 0});
        poll_set_.push_back({listener_.fd(), POLLIN, 0});
        for (const Receiver& r : receivers_)
            poll_set_.push_back({r.fd(), short(POLLIN | (r.HasOutput() ? POLLOUT : 0)), 0});
        ::poll(poll_set_.data(), poll_set_.size(), kPollIntervalMs);
        if (stopping_)
            return;
        uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t got = ::read(wake_.get(), &wakes, sizeof wakes);
        const int64_t now_ns = PacingClock::NowNs();
        TakeFrames(now_ns);
        ServiceReceivers(std::span(poll_set_).subspan(2), now_ns);
        if (poll_set_[1].revents & POLLIN)
            AcceptReceivers(now_ns);
    }
}

void SourceNetwork::AcceptReceivers(int64_t now_ns)
{
    for (UniqueFd connection = listener_.Accept(); connection.valid(); connection = listener_.Accept()) {
        if (receivers_.size() == kMaxReceivers)
            continue;  // refused: closed at once
        Receiver& receiver = receivers_.emplace_back(std::move(connection), now_ns);
        if (header_)
            receiver.Enqueue(header_, now_ns);
        if (have_frame_)
            GiveKeyFrame(receiver, now_ns);
        receiver.WriteSome(now_ns);
    }
}

void SourceNetwork::TakeFrames(int64_t now_ns)
{
    while (FrameEvent* frame = mailbox_.ReadSlot()) {
        if (frame->restart)
            StartStream(frame->description, now_ns);
        if (header_) {
            DrawQtrleFrame(frame->delta.bytes(), shown_);
            if (frame->changed)
                key_frame_current_ = false;
            have_frame_ = true;
            latest_index_ = frame->index;
            Distribute(*frame, now_ns);
        }
        mailbox_.Release();
    }
}

void SourceNetwork::StartStream(const StreamDescription& description, int64_t now_ns)
{
    shown_.Reset(description.format.width, description.format.height);
    have_frame_ = false;
    key_frame_current_ = false;
    key_cluster_.reset();
    key_cluster_index_ = -1;
    const auto header = pool_.Acquire();
    header_ = muxer_.Start(description, *header) ? header : nullptr;
    for (Receiver& receiver : receivers_) {
        receiver.DropBacklog();
        receiver.needs_key_frame = true;
        if (header_)
            receiver.Enqueue(header_, now_ns);
    }
}

void SourceNetwork::Distribute(const FrameEvent& frame, int64_t now_ns)
{
    Packet cluster;
    for (Receiver& receiver : receivers_) {
        if (receiver.needs_key_frame) {
            GiveKeyFrame(receiver, now_ns);
            continue;
        }
        if (!cluster) {
            const auto muxed = pool_.Acquire();
            if (!muxer_.WriteFrame(frame.delta.bytes(), frame.index, false, *muxed)) {
                for (Receiver& r : receivers_)
                    r.needs_key_frame = true;
                return;
            }
            cluster = muxed;
        }
        if (!receiver.Enqueue(cluster, now_ns)) {
            // Fallen behind: skip what it has not got to and go on from a key frame.
            receiver.DropBacklog();
            GiveKeyFrame(receiver, now_ns);
        }
    }
}

Packet SourceNetwork::KeyFrameCluster()
{
    if (!key_frame_current_) {
        WriteKeyFrame(shown_, key_frame_);
        key_frame_current_ = true;
        key_cluster_.reset();
    }
    if (!key_cluster_ || key_cluster_index_ != latest_index_) {
        const auto muxed = pool_.Acquire();
        if (!muxer_.WriteFrame(key_frame_.bytes(), latest_index_, true, *muxed))
            return nullptr;
        key_cluster_ = muxed;
        key_cluster_index_ = latest_index_;
    }
    return key_cluster_;
}

void SourceNetwork::GiveKeyFrame(Receiver& receiver, int64_t now_ns)
{
    Packet key = KeyFrameCluster();
    receiver.needs_key_frame = !(key && receiver.Enqueue(std::move(key), now_ns));
}

void SourceNetwork::ServiceReceivers(std::span<const pollfd> polled, int64_t now_ns)
{
    // Backwards, so that removing a receiver leaves the ones still to visit where they were.
    for (size_t i = receivers_.size(); i-- > 0;) {
        Receiver& r = receivers_[i];
        const short events = i < polled.size() ? polled[i].revents : 0;
        const bool alive = (!(events & (POLLIN | POLLHUP | POLLERR)) || r.DiscardInput()) &&
                           r.WriteSome(now_ns) && !r.StalledLongerThan(kStallLimitNs, now_ns);
        if (!alive)
            receivers_.erase(receivers_.begin() + std::ptrdiff_t(i));
    }
}

}  // namespace vantor::ndi
