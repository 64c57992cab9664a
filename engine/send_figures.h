#pragma once
// What the send loop has done, for monitoring: frames sent, frames late and how late. Written
// by the send thread alone with relaxed atomics (no lock, no allocation), read from any thread;
// a reader may see one frame counted in one figure and not yet in another.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vantor {

class SendFigures {
public:
    // The lateness histogram's upper bounds, in seconds; a last bucket takes the rest.
    static constexpr std::array<double, 9> kLatenessBounds_s{0.0005, 0.001, 0.002, 0.005, 0.01,
                                                            0.02,   0.05,  0.1,   0.5};

    // Send thread: one frame sent, `lateness_ns` after its time; late once a whole frame
    // period has passed. True when it went out on time.
    bool CountFrame(int64_t lateness_ns, int64_t period_ns)
    {
        Add(frames_sent_, 1);
        Add(lateness_sum_ns_, uint64_t(lateness_ns));
        size_t bucket = 0;
        while (bucket < kLatenessBounds_s.size() && double(lateness_ns) > kLatenessBounds_s[bucket] * 1e9)
            ++bucket;
        Add(lateness_buckets_[bucket], 1);
        const bool late = lateness_ns > period_ns;
        if (late)
            Add(frames_late_, 1);
        return !late;
    }

    uint64_t frames_sent() const { return frames_sent_.load(std::memory_order_relaxed); }
    uint64_t frames_late() const { return frames_late_.load(std::memory_order_relaxed); }
    double lateness_sum_s() const { return double(lateness_sum_ns_.load(std::memory_order_relaxed)) / 1e9; }
    // Frames whose lateness fell in the bucket (above the bound before, up to its own);
    // kLatenessBounds_s.size() for the rest.
    uint64_t lateness_bucket(size_t bucket) const { return lateness_buckets_[bucket].load(std::memory_order_relaxed); }

private:
    // A single writer: no read-modify-write needed beyond it.
    static void Add(std::atomic<uint64_t>& figure, uint64_t amount)
    {
        figure.store(figure.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
    }

    std::atomic<uint64_t> frames_sent_{0};
    std::atomic<uint64_t> frames_late_{0};
    std::atomic<uint64_t> lateness_sum_ns_{0};
    std::array<std::atomic<uint64_t>, kLatenessBounds_s.size() + 1> lateness_buckets_{};
};

}  // namespace vantor
