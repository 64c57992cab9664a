// One instruction set's build of the line encoder: qtrle_line.cpp includes this once per set,
// after defining VANTOR_QTRLE_TARGET, Pixels (its vector of pixels) and RunEndsOf64 for it.
//
// The line is first marked where each run of equal pixels ends, 64 pixels to a word, a word
// just before its pixels are encoded (they are then still in the nearest cache). The codes then
// step from mark to mark with a count of trailing zeros, so a line of short runs (a gradient,
// a cross-fade of two) costs no mispredicted branch per run.

// A pixel of the caller's row, which may be any buffer of bytes.
VANTOR_QTRLE_TARGET VANTOR_INLINE uint32_t PixelAt(const uint32_t* pixels, int32_t k)
{
    uint32_t pixel;
    std::memcpy(&pixel, pixels + k, sizeof pixel);
    return pixel;
}

VANTOR_QTRLE_TARGET VANTOR_INLINE void PutPixels(uint8_t*& p, const uint32_t* pixels, int32_t count)
{
    constexpr int32_t kLanes = sizeof(Pixels) / sizeof(uint32_t);
    int32_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        Pixels v;
        std::memcpy(&v, pixels + i, sizeof v);
        const Pixels big_endian = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
        std::memcpy(p + size_t(i) * 4, &big_endian, sizeof big_endian);
    }
    for (; i < count; ++i)
        PutBE32(p + size_t(i) * 4, PixelAt(pixels, i));
    p += size_t(count) * 4;
}

// Bit k of word v: pixel 64v + k is the last of its run (the next one differs, or the line
// ends there). A word is made when asked for and kept until another one is: the encoder asks
// for the same word many times, then moves on.
class RunEnds {
public:
    VANTOR_QTRLE_TARGET RunEnds(const uint32_t* pixels, int32_t count)
        : pixels_(pixels), count_(count), last_word_((count - 1) / 64)
    {
    }

    VANTOR_QTRLE_TARGET VANTOR_INLINE int32_t LastWord() const { return last_word_; }

    VANTOR_QTRLE_TARGET VANTOR_INLINE uint64_t Word(int32_t v)
    {
        if (v != made_) {
            word_ = Make(v);
            made_ = v;
        }
        return word_;
    }

    // The first pixel in [from, limit) that starts a run of two or more; `limit` when none does.
    VANTOR_QTRLE_TARGET VANTOR_INLINE int32_t FirstPairFrom(int32_t from, int32_t limit)
    {
        if (from >= limit)
            return limit;
        int32_t v = from / 64;
        uint64_t pairs = ~Word(v) & (~uint64_t(0) << (from % 64));
        while (pairs == 0 && (v + 1) * 64 < limit)
            pairs = ~Word(++v);
        return pairs ? std::min(limit, v * 64 + __builtin_ctzll(pairs)) : limit;
    }

private:
    VANTOR_QTRLE_TARGET VANTOR_INLINE uint64_t Make(int32_t v) const
    {
        const int32_t base = 64 * v;
        if (base + 64 < count_)
            return RunEndsOf64(pixels_ + base);
        uint64_t bits = uint64_t(1) << (count_ - 1 - base);
        for (int32_t k = base; k + 1 < count_; ++k)
            bits |= uint64_t(PixelAt(pixels_, k) != PixelAt(pixels_, k + 1)) << (k - base);
        return bits;
    }

    const uint32_t* pixels_;
    int32_t count_;
    int32_t last_word_;
    int32_t made_ = -1;  // the word word_ is
    uint64_t word_ = 0;
};

// Runs of two or more as runs (at most kMaxRun each), the rest as literals up to the next pair
// of equal pixels, where a run pays off.
VANTOR_QTRLE_TARGET void WritePixels(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end)
{
    const uint32_t* pixels = row + first;
    const int32_t count = end - first;
    if (count <= 0)
        return;
    RunEnds ends(pixels, count);
    int32_t s = 0;
    int32_t w = 0;
    uint64_t ends_ahead = ends.Word(0);  // the marks of word w at s and after
    while (s < count) {
        while (ends_ahead == 0)
            ends_ahead = ends.Word(++w);
        const int32_t run = w * 64 + __builtin_ctzll(ends_ahead) + 1 - s;
        if (run >= 2) [[likely]] {
            const int32_t step = std::min(run, kMaxRun);
            *p = uint8_t(256 - step);
            PutBE32(p + 1, PixelAt(pixels, s));
            p += 5;
            s += step;
            if (step == run)
                ends_ahead &= ends_ahead - 1;
            continue;  // a single pixel left of a long run starts the literal that follows
        }
        const int32_t literal = ends.FirstPairFrom(s + 1, std::min(count, s + kMaxLiteral)) - s;
        *p++ = uint8_t(literal);
        PutPixels(p, pixels + s, literal);
        s += literal;
        w = std::min(s / 64, ends.LastWord());
        ends_ahead = s < count ? ends.Word(w) & (~uint64_t(0) << (s % 64)) : 0;
    }
}
