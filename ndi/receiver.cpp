#include "ndi/receiver.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace vantor::ndi {

Receiver::Receiver(UniqueFd socket, const PeerAddress& peer, int64_t now_ns)
    : socket_(std::move(socket)), peer_(peer), last_progress_ns_(now_ns), last_accepted_ns_(now_ns)
{
}

bool Receiver::HasRoomFor(size_t bytes) const
{
    return count_ < kQueuePackets && (count_ == 0 || queued_bytes_ + bytes <= kQueueBytes);
}

bool Receiver::Enqueue(Packet packet, int64_t now_ns)
{
    if (!HasRoomFor(packet->size()))
        return false;
    if (count_ == 0)
        last_progress_ns_ = now_ns;
    queued_bytes_ += packet->size();
    queue_[(front_ + count_) % kQueuePackets] = std::move(packet);
    ++count_;
    return true;
}

void Receiver::PopFront()
{
    queued_bytes_ -= queue_[front_]->size();
    queue_[front_].reset();
    front_ = (front_ + 1) % kQueuePackets;
    --count_;
    front_sent_bytes_ = 0;
}

void Receiver::DropBacklog()
{
    const size_t keep = front_sent_bytes_ > 0 ? 1 : 0;
    while (count_ > keep) {
        const size_t back = (front_ + count_ - 1) % kQueuePackets;
        queued_bytes_ -= queue_[back]->size();
        queue_[back].reset();
        --count_;
    }
    join_left_bytes_ = std::min(join_left_bytes_, queued_bytes_ - front_sent_bytes_);
    CountJoinOut(0);
}

void Receiver::EndJoin()
{
    if (join_queued_)
        return;
    join_queued_ = true;
    join_left_bytes_ = queued_bytes_ - front_sent_bytes_;
    CountJoinOut(0);
}

void Receiver::CountJoinOut(size_t sent)
{
    const size_t of_join = std::min(sent, join_left_bytes_);
    join_left_bytes_ -= of_join;
    if (join_queued_ && join_left_bytes_ == 0 && join_end_bytes_ == kJoinNotOut)
        join_end_bytes_ = written_bytes_ + of_join;
}

void Receiver::LookAtPeer(int64_t now_ns)
{
    int waiting = 0;
    if (::ioctl(socket_.get(), SIOCOUTQ, &waiting) != 0)
        return;
    const uint64_t accepted = written_bytes_ - uint64_t(std::max(waiting, 0));
    if (accepted > accepted_bytes_ && join_end_bytes_ != kJoinNotOut)
        taken_.Add(accepted - std::max(accepted_bytes_, std::min(accepted, join_end_bytes_)), now_ns);
    peer_behind_ = waiting > 0;
    if (accepted > accepted_bytes_ || !peer_behind_)
        last_accepted_ns_ = now_ns;
    accepted_bytes_ = std::max(accepted, accepted_bytes_);
}

bool Receiver::PeerStillFor(int64_t limit_ns, int64_t now_ns) const
{
    return peer_behind_ && now_ns - last_accepted_ns_ > limit_ns;
}

bool Receiver::WriteSome(int64_t now_ns)
{
    while (count_ > 0) {
        const auto bytes = queue_[front_]->bytes().subspan(front_sent_bytes_);
        const ssize_t sent = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        last_progress_ns_ = now_ns;
        CountJoinOut(size_t(sent));
        written_bytes_ += uint64_t(sent);
        sent_bytes_ += size_t(sent);
        front_sent_bytes_ += size_t(sent);
        if (front_sent_bytes_ == queue_[front_]->size())
            PopFront();
    }
    return true;
}

bool Receiver::DiscardInput()
{
    char scrap[4096];
    for (int reads = 0; reads < 4; ++reads) {
        const ssize_t got = ::recv(socket_.get(), scrap, sizeof scrap, MSG_DONTWAIT);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        input_bytes_ += size_t(got);
        if (input_bytes_ > kInputLimitBytes)
            return false;
    }
    return true;
}

bool Receiver::StalledLongerThan(int64_t limit_ns, int64_t now_ns) const
{
    return count_ > 0 && now_ns - last_progress_ns_ > limit_ns;
}

}  // namespace vantor::ndi
