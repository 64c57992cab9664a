#pragma once
// Stream packets (one cluster per frame) shared by every receiver's queue. A packet goes back to
// the pool when the last queue lets go of it, and its storage is used again, so a running
// stream allocates nothing; but storage that a burst left idle is given back, so that what a
// queue once held does not stay with the program. Used by the network thread only.

#include "ndi/byte_buffer.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace vantor::ndi {

using Packet = std::shared_ptr<const ByteBuffer>;

class PacketPool {
public:
    // Idle buffers kept besides the one handed out: a few small ones, no large one.
    static constexpr size_t kKeptIdle = 4;
    static constexpr size_t kKeptBytes = 256u << 10;

    // An empty buffer that nobody else holds: the largest idle one, a new one only when every
    // buffer is in use. The other idle ones give their storage back but for the few kept.
    std::shared_ptr<ByteBuffer> Acquire()
    {
        auto largest = buffers_.end();
        for (auto b = buffers_.begin(); b != buffers_.end(); ++b)
            if (Idle(*b) && (largest == buffers_.end() || (*b)->capacity() > (*largest)->capacity()))
                largest = b;
        std::shared_ptr<ByteBuffer> taken =
            largest != buffers_.end() ? *largest : buffers_.emplace_back(std::make_shared<ByteBuffer>());
        size_t kept = 0;
        std::erase_if(buffers_, [&](const std::shared_ptr<ByteBuffer>& b) {
            return Idle(b) && (b->capacity() > kKeptBytes || ++kept > kKeptIdle);
        });
        taken->Clear();
        return taken;
    }

private:
    // Held by the pool alone (`taken` above counts as a holder).
    static bool Idle(const std::shared_ptr<ByteBuffer>& buffer) { return buffer.use_count() == 1; }

    std::vector<std::shared_ptr<ByteBuffer>> buffers_;
};

}  // namespace vantor::ndi
