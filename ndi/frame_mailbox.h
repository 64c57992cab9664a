#pragma once
// Frames on their way from the sender's caller to the network thread: a ring of a fixed number
// of entries with one writer and one reader, neither of which ever waits for the other.

#include "ndi/byte_buffer.h"
#include "ndi/matroska_muxer.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace vantor::ndi {

struct FrameEvent {
    bool restart = false;           // the stream starts afresh with `description`
    StreamDescription description;  // meaningful with `restart`
    bool changed = false;           // the delta draws something
    int64_t index = 0;              // the frame's slot in the stream
    ByteBuffer delta;               // QuickTime Animation frame over the previous picture
};

class FrameMailbox {
public:
    static constexpr uint32_t kCapacity = 32;

    // Caller's side: the entry to fill, or null when the network thread is that far behind.
    FrameEvent* WriteSlot()
    {
        const uint32_t written = written_.load(std::memory_order_relaxed);
        if (written - read_.load(std::memory_order_acquire) == kCapacity)
            return nullptr;
        return &events_[written % kCapacity];
    }
    void Publish() { written_.fetch_add(1, std::memory_order_release); }

    // Network thread's side: the oldest entry not yet handled, or null.
    FrameEvent* ReadSlot()
    {
        const uint32_t read = read_.load(std::memory_order_relaxed);
        if (read == written_.load(std::memory_order_acquire))
            return nullptr;
        return &events_[read % kCapacity];
    }
    void Release() { read_.fetch_add(1, std::memory_order_release); }

private:
    std::array<FrameEvent, kCapacity> events_;
    std::atomic<uint32_t> written_{0};  // written by the caller, read by the network thread
    std::atomic<uint32_t> read_{0};     // written by the network thread, read by the caller
};

}  // namespace vantor::ndi
