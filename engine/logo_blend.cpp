// A register's width of pixels at a time in the compiler's vector types, built for AVX-512, for
// AVX2 and for the baseline instruction set, the best chosen at the first call; a row's last
// pixels go through the same code as one vector partly filled. The choice is an ordinary function
// pointer, not the loader's indirect functions, whose resolvers run before a sanitizer's
// runtime is up. At 4096 x 2160 a weighted copy moves 35 MB each way a frame: the kernels must
// keep up with memory.

#include "engine/logo_blend.h"

#include "engine/logo_mix_pairs.h"

#include <algorithm>
#include <cstring>

// The helpers are inlined into each build of the kernels, so no vector crosses a call and the
// note on how vectors are passed between builds concerns nothing here.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantor {
namespace {

#define VANTOR_INLINE inline __attribute__((always_inline))

// The vector types of one width: as wide as the instruction set's registers, since wider ones
// spill (sixteen lanes in AVX2's registers run at half the speed of eight).
template <size_t N>
struct Lanes;

template <>
struct Lanes<8> {
    static constexpr size_t kCount = 8;
    using U = uint32_t __attribute__((vector_size(32)));
    using I = int32_t __attribute__((vector_size(32)));
    using F = float __attribute__((vector_size(32)));
};

template <>
struct Lanes<16> {
    static constexpr size_t kCount = 16;
    using U = uint32_t __attribute__((vector_size(64)));
    using I = int32_t __attribute__((vector_size(64)));
    using F = float __attribute__((vector_size(64)));
};

template <typename V>
using Bits = typename V::U;
template <typename V>
using Ints = typename V::I;
template <typename V>
using Floats = typename V::F;

// `count` pixels, the lanes beyond them zero: a whole vector in the body of a row, fewer at its
// end.
template <typename V>
VANTOR_INLINE Bits<V> Load(const uint8_t* p, size_t count)
{
    Bits<V> v{};
    std::memcpy(&v, p, count * 4);
    return v;
}

template <typename V>
VANTOR_INLINE void Store(uint8_t* p, Bits<V> v, size_t count) { std::memcpy(p, &v, count * 4); }

template <typename V>
VANTOR_INLINE Bits<V> ScaleAlphas(Bits<V> px, uint32_t weight)
{
    const Bits<V> t = (px >> 24) * weight + 128;
    return (px & 0x00FFFFFFu) | (((t + (t >> 8)) >> 8) << 24);
}

// Conversions go through signed lanes, which the instruction sets convert directly; every value
// is within a few bytes' range.
template <typename V>
VANTOR_INLINE Floats<V> Float(Ints<V> v) { return __builtin_convertvector(v, Floats<V>); }

// Each colour is the under pixel's moved towards the picture's by the picture's share of the
// alpha: the alpha-weighted mean, in one product per channel. Rounded to nearest through an
// offset that keeps the truncation's argument positive; the share's rounding error (under 2e-5
// on a byte) could take an exact half down, so a bias smaller than the least step a true mean
// can lie from a half (1 / 1020) keeps it up.
template <typename V>
VANTOR_INLINE Bits<V> Mix(Bits<V> src, Bits<V> dst, uint32_t weight)
{
    const Ints<V> src_alpha = Ints<V>(ScaleAlphas<V>(src, weight) >> 24);
    const Ints<V> dst_alpha = Ints<V>(dst >> 24);
    Ints<V> sum = src_alpha + dst_alpha;
    sum = sum > 255 ? Ints<V>{} + 255 : sum;  // complementary weights round to one more at most
    const Floats<V> total = Float<V>(src_alpha + dst_alpha);
    const Floats<V> share = Float<V>(src_alpha) / (total > 0.0f ? total : Floats<V>{} + 1.0f);
    constexpr float kRoundingOffset = 256.5f + 1.0f / 4096;
    const Bits<V> seen = Bits<V>(src_alpha + dst_alpha > 0);  // a clear pair stays all zero bytes
    Bits<V> out = Bits<V>(sum) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const Ints<V> under = Ints<V>((dst >> shift) & 0xFFu);
        const Ints<V> towards = Ints<V>((src >> shift) & 0xFFu) - under;
        const Ints<V> moved = __builtin_convertvector(Float<V>(towards) * share + kRoundingOffset, Ints<V>) - 256;
        out |= Bits<V>(under + moved) << shift;
    }
    return out & seen;
}

// A row's output pixels, each from the pixels at its place in the rows read: whole vectors, then
// what is left as one vector partly filled.
template <typename V, typename PixelsAt>
VANTOR_INLINE void EachVector(uint8_t* dst, size_t pixels, PixelsAt pixels_at)
{
    const size_t whole = pixels / V::kCount * V::kCount;
    for (size_t i = 0; i < whole; i += V::kCount)
        Store<V>(dst + i * 4, pixels_at(i, V::kCount), V::kCount);
    if (const size_t rest = pixels - whole; rest > 0)
        Store<V>(dst + whole * 4, pixels_at(whole, rest), rest);
}

template <typename V>
VANTOR_INLINE void CopyRows(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels, uint32_t weight)
{
    EachVector<V>(dst, pixels, [&](size_t i, size_t count) __attribute__((always_inline)) {
        return ScaleAlphas<V>(Load<V>(src + i * 4, count), weight);
    });
}

// `leaving` may be `dst` (a mix into the frame): each vector is read before it is written.
template <typename V>
VANTOR_INLINE void CrossFadeRows(const uint8_t* leaving, const uint8_t* __restrict shown, uint8_t* dst, size_t pixels,
                                 uint32_t leaving_weight, uint32_t shown_weight)
{
    EachVector<V>(dst, pixels, [&](size_t i, size_t count) __attribute__((always_inline)) {
        return Mix<V>(Load<V>(shown + i * 4, count), ScaleAlphas<V>(Load<V>(leaving + i * 4, count), leaving_weight),
                   shown_weight);
    });
}

#undef VANTOR_INLINE

struct Kernels {
    void (*copy)(const uint8_t*, uint8_t*, size_t, uint32_t);
    void (*cross_fade)(const uint8_t*, const uint8_t*, uint8_t*, size_t, uint32_t, uint32_t);
};

// The weighted copy keeps pace with memory at AVX2's width and is slower at AVX-512's; the
// cross-fade is arithmetic, and twice the lanes make it half again as fast.
#define VANTOR_COPY_FOR(isa, target)                                                                             \
    namespace isa {                                                                                              \
    target void Copy(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t weight)                           \
    {                                                                                                            \
        CopyRows<Lanes<8>>(src, dst, pixels, weight);                                                            \
    }                                                                                                            \
    }

#define VANTOR_MIXES_FOR(isa, target, lanes)                                                                     \
    namespace isa {                                                                                              \
    target void CrossFade(const uint8_t* leaving, const uint8_t* shown, uint8_t* dst, size_t pixels,             \
                          uint32_t leaving_weight, uint32_t shown_weight)                                        \
    {                                                                                                            \
        CrossFadeRows<Lanes<lanes>>(leaving, shown, dst, pixels, leaving_weight, shown_weight);                  \
    }                                                                                                            \
    }

VANTOR_COPY_FOR(avx2, __attribute__((target("avx2"))))
VANTOR_COPY_FOR(baseline, )
VANTOR_MIXES_FOR(avx512, __attribute__((target("avx512f"))), 16)
VANTOR_MIXES_FOR(avx2, __attribute__((target("avx2"))), 8)
VANTOR_MIXES_FOR(baseline, , 8)
#undef VANTOR_COPY_FOR
#undef VANTOR_MIXES_FOR

const Kernels& Chosen()
{
    static const Kernels kernels = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f"))
            return Kernels{avx2::Copy, avx512::CrossFade};
        if (__builtin_cpu_supports("avx2"))
            return Kernels{avx2::Copy, avx2::CrossFade};
        return Kernels{baseline::Copy, baseline::CrossFade};
    }();
    return kernels;
}

}  // namespace

void CopyRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    Chosen().copy(src, dst, pixels, weight);
}

// A mix into the frame is a cross-fade from the frame at full weight.
void MixRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    CrossFadeRow(dst, src, dst, pixels, 255, weight);
}

// Whole vectors through the pair kernels where the processor has them, the rest here.
void CrossFadeRow(const uint8_t* leaving, const uint8_t* shown, uint8_t* dst, size_t pixels, uint8_t leaving_weight,
                  uint8_t shown_weight)
{
    const MixPairsKernel pairs = ChosenMixPairs();
    const size_t done = pairs ? pairs(leaving, shown, dst, pixels, leaving_weight, shown_weight) : 0;
    Chosen().cross_fade(leaving + done * 4, shown + done * 4, dst + done * 4, pixels - done, leaving_weight,
                        shown_weight);
}

}  // namespace vantor
