#include "ndi/receiver.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace vantor::ndi {

Receiver::Receiver(UniqueFd socket, const PeerAddress& peer, int64_t now_ns)
    : socket_(std::move(socket)), peer_(peer), last_progress_ns_(now_ns)
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
}

void Receiver::EndJoin()
{
    if (join_queued_)
        return;
    join_queued_ = true;
    join_left_bytes_ = queued_bytes_ - front_sent_bytes_;
}

bool Receiver::WriteSome(int64_t now_ns)
{
    while (count_ > 0) {
        const auto bytes = queue_[front_]->bytes().subspan(front_sent_bytes_);
        const ssize_t sent = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        last_progress_ns_ = now_ns;
        sent_bytes_ += size_t(sent);
        if (join_queued_) {
            const size_t of_join = std::min(size_t(sent), join_left_bytes_);
            join_left_bytes_ -= of_join;
            taken_.Add(uint64_t(size_t(sent) - of_join), now_ns);
        }
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
