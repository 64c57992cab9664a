#pragma once
// One receiver's connection: a bounded queue of whole stream packets, written as fast as the
// receiver reads them and never waited for. Used by the network thread only.

#include "ndi/packet_pool.h"
#include "ndi/unique_fd.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantor::ndi {

class Receiver {
public:
    static constexpr size_t kQueuePackets = 8;
    static constexpr size_t kQueueBytes = 64u << 20;  // a few whole 4096 x 2160 frames

    Receiver(UniqueFd socket, int64_t now_ns);

    int fd() const { return socket_.get(); }

    // True until the receiver has been given a key frame of the current stream.
    bool needs_key_frame = true;

    // Queues a packet; false when the queue is full, the receiver being that far behind.
    bool Enqueue(Packet packet, int64_t now_ns);
    // Forgets every queued packet but one already partly sent, whose rest must still go out so
    // that the stream stays whole.
    void DropBacklog();
    bool HasOutput() const { return count_ > 0; }

    // Writes what the connection takes now. False when the connection has failed.
    bool WriteSome(int64_t now_ns);
    // Reads and forgets whatever the receiver sent. False when it has gone.
    bool DiscardInput();
    // Output has been waiting for longer than `limit_ns` without a byte going out.
    bool StalledLongerThan(int64_t limit_ns, int64_t now_ns) const;

private:
    void PopFront();

    UniqueFd socket_;
    std::array<Packet, kQueuePackets> queue_;
    size_t front_ = 0;
    size_t count_ = 0;
    size_t queued_bytes_ = 0;
    size_t front_sent_bytes_ = 0;
    int64_t last_progress_ns_;  // last byte out, or when output began to wait
};

}  // namespace vantor::ndi
