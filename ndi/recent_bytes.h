#pragma once
// Bytes counted over the last two seconds: kept per half second, so the count forgets what is
// older without keeping every event. Used to tell how much of the stream a receiver has taken
// lately.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantor::ndi {

class RecentBytes {
public:
    static constexpr int64_t kPeriodNs = 500'000'000;
    static constexpr size_t kPeriods = 4;

    void Add(uint64_t bytes, int64_t now_ns)
    {
        Advance(now_ns / kPeriodNs);
        periods_[size_t(latest_ % int64_t{kPeriods})] += bytes;
    }

    // What was added in this period and the kPeriods - 1 before it.
    uint64_t Total(int64_t now_ns) const
    {
        const int64_t now = now_ns / kPeriodNs;
        uint64_t total = 0;
        for (int64_t p = now - int64_t{kPeriods} + 1; p <= now; ++p)
            if (p >= 0 && p > latest_ - int64_t{kPeriods} && p <= latest_)
                total += periods_[size_t(p % int64_t{kPeriods})];
        return total;
    }

private:
    void Advance(int64_t period)
    {
        for (int64_t p = latest_ + 1; p <= period && p <= latest_ + int64_t{kPeriods}; ++p)
            periods_[size_t(p % int64_t{kPeriods})] = 0;
        if (period > latest_)
            latest_ = period;
    }

    std::array<uint64_t, kPeriods> periods_{};  // by period number modulo kPeriods
    int64_t latest_ = 0;                        // the latest period added to
};

}  // namespace vantor::ndi
