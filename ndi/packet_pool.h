#pragma once
// Stream packets (the header, one cluster per frame) shared by every receiver's queue. A packet
// goes back to the pool when the last queue lets go of it, and its storage is used again, so
// a running stream allocates nothing. Used by the network thread only.

#include "ndi/byte_buffer.h"

#include <memory>
#include <vector>

namespace vantor::ndi {

using Packet = std::shared_ptr<const ByteBuffer>;

class PacketPool {
public:
    // An empty buffer that nobody else holds; a new one only when every buffer is in use.
    std::shared_ptr<ByteBuffer> Acquire()
    {
        for (const auto& buffer : buffers_)
            if (buffer.use_count() == 1) {
                buffer->Clear();
                return buffer;
            }
        return buffers_.emplace_back(std::make_shared<ByteBuffer>());
    }

private:
    std::vector<std::shared_ptr<ByteBuffer>> buffers_;
};

}  // namespace vantor::ndi
