#include "ndi/receiver.h"

#include <sys/socket.h>

#include <cerrno>

namespace vantor::ndi {

Receiver::Receiver(UniqueFd socket, int64_t now_ns)
    : socket_(std::move(socket)), last_progress_ns_(now_ns)
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
}

bool Receiver::WriteSome(int64_t now_ns)
{
    while (count_ > 0) {
        const auto bytes = queue_[front_]->bytes().subspan(front_sent_bytes_);
        const ssize_t sent = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        last_progress_ns_ = now_ns;
        if (joined_)
            taken_.Add(uint64_t(sent), now_ns);
        front_sent_bytes_ += size_t(sent);
        if (front_sent_bytes_ == queue_[front_]->size())
            PopFront();
    }
    joined_ = true;
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
    }
    return true;
}

bool Receiver::StalledLongerThan(int64_t limit_ns, int64_t now_ns) const
{
    return count_ > 0 && now_ns - last_progress_ns_ > limit_ns;
}

}  // namespace vantor::ndi
