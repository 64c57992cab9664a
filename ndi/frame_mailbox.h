#pragma once
// Frames on their way from the sender's caller to the network thread: a ring of a fixed number
// of entries with one writer and one reader, neither of which ever waits for the other. Its
// memory is bounded: the bytes in flight have a budget, and the writer fills each entry with
// the storage of the entry handed back last, so only as many entries hold large storage as
// large changes are in flight at once; what others still hold beyond a little is given back.

#include "ndi/byte_buffer.h"
#include "ndi/matroska_muxer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <utility>

namespace vantor::ndi {

struct FrameEvent {
    bool restart = false;           // the stream starts afresh with `description`
    StreamDescription description;  // meaningful with `restart`; the reader may take it away
    bool whole = false;             // the frame draws every line: a whole picture
    bool changed = false;           // the frame draws something
    int64_t index = 0;              // the frame's slot in the stream
    // The frame's cluster: a head the network side completes, then the QuickTime Animation frame
    // over the previous picture. The network side may take its storage away.
    ByteBuffer cluster;
    size_t in_flight_bytes = 0;     // the cluster's size when published
};

class FrameMailbox {
public:
    static constexpr uint32_t kCapacity = 32;
    // No entry is written while this much is in flight: with whole-picture changes at
    // 4096 x 2160, one frame at a time; with a logo's changes, the whole ring.
    static constexpr size_t kInFlightBytes = 16u << 20;
    // What an entry other than the one handed back last keeps of its storage.
    static constexpr size_t kKeptBytes = 256u << 10;

    // Caller's side: the entry to fill, or null when the network thread is that far behind.
    FrameEvent* WriteSlot()
    {
        const uint32_t written = written_.load(std::memory_order_relaxed);
        const uint32_t read = read_.load(std::memory_order_acquire);
        if (written - read == kCapacity || in_flight_bytes_.load(std::memory_order_acquire) >= kInFlightBytes)
            return nullptr;
        // Not full, so the entry before `read` is handed back and not in flight.
        FrameEvent& event = events_[written % kCapacity];
        FrameEvent& last_handed_back = events_[(read - 1) % kCapacity];
        if (&event != &last_handed_back) {
            std::swap(event.cluster, last_handed_back.cluster);
            if (last_handed_back.cluster.capacity() > kKeptBytes)
                last_handed_back.cluster.Release();
        }
        return &event;
    }
    void Publish()
    {
        const uint32_t written = written_.load(std::memory_order_relaxed);
        FrameEvent& event = events_[written % kCapacity];
        event.in_flight_bytes = event.cluster.size();
        in_flight_bytes_.fetch_add(event.in_flight_bytes, std::memory_order_relaxed);
        written_.store(written + 1, std::memory_order_release);
    }

    // Network thread's side: the oldest entry not yet handled, or null.
    FrameEvent* ReadSlot()
    {
        const uint32_t read = read_.load(std::memory_order_relaxed);
        if (read == written_.load(std::memory_order_acquire))
            return nullptr;
        return &events_[read % kCapacity];
    }
    // Entries published and not yet handed back; the reader's side.
    uint32_t Pending() const
    {
        return written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed);
    }
    void Release()
    {
        const uint32_t read = read_.load(std::memory_order_relaxed);
        in_flight_bytes_.fetch_sub(events_[read % kCapacity].in_flight_bytes, std::memory_order_relaxed);
        read_.store(read + 1, std::memory_order_release);
    }

    // The network thread has lost the picture (it could not keep up with a restart): the next
    // frame published must be whole. Asked by the reader, answered by the writer.
    void AskForWholeFrame() { whole_frame_wanted_.store(true, std::memory_order_relaxed); }
    bool TakeWholeFrameRequest() { return whole_frame_wanted_.exchange(false, std::memory_order_relaxed); }

private:
    std::array<FrameEvent, kCapacity> events_;
    std::atomic<uint32_t> written_{0};  // written by the caller, read by the network thread
    std::atomic<uint32_t> read_{0};     // written by the network thread, read by the caller
    std::atomic<size_t> in_flight_bytes_{0};        // published and not yet handed back
    std::atomic<bool> whole_frame_wanted_{false};   // set by the network thread, taken by the caller
};

}  // namespace vantor::ndi
