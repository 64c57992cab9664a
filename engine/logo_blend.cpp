// Eight pixels at a time in the compiler's vector types, built once for AVX2 and once for the
// baseline instruction set, the better chosen at the first call; the tail goes through the same
// code one lane at a time. The choice is an ordinary function pointer, not the loader's indirect
// functions, whose resolvers run before a sanitizer's runtime is up. At 4096 x 2160 a weighted copy moves 35 MB each way a frame:
// the kernels must keep up with memory.

#include "engine/logo_blend.h"

#include <algorithm>
#include <cstring>

// The helpers are inlined into each build of the kernels, so no vector crosses a call and the
// note on how vectors are passed between builds concerns nothing here.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantor {
namespace {

#define VANTOR_INLINE inline __attribute__((always_inline))

constexpr size_t kLanes = 8;
using U32x8 = uint32_t __attribute__((vector_size(kLanes * 4)));
using I32x8 = int32_t __attribute__((vector_size(kLanes * 4)));
using F32x8 = float __attribute__((vector_size(kLanes * 4)));

VANTOR_INLINE U32x8 Load(const uint8_t* p)
{
    U32x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

VANTOR_INLINE void Store(uint8_t* p, U32x8 v) { std::memcpy(p, &v, sizeof v); }

VANTOR_INLINE U32x8 ScaleAlphas(U32x8 px, uint32_t weight)
{
    const U32x8 t = (px >> 24) * weight + 128;
    return (px & 0x00FFFFFFu) | (((t + (t >> 8)) >> 8) << 24);
}

// Conversions go through signed lanes, which the instruction sets convert directly; every value
// is within a few bytes' range.
VANTOR_INLINE F32x8 Float(I32x8 v) { return __builtin_convertvector(v, F32x8); }

// Each colour is the under pixel's moved towards the picture's by the picture's share of the
// alpha: the alpha-weighted mean, in one product per channel. Rounded to nearest through an
// offset that keeps the truncation's argument positive; the share's rounding error (under 2e-5
// on a byte) could take an exact half down, so a bias smaller than the least step a true mean
// can lie from a half (1 / 1020) keeps it up.
VANTOR_INLINE U32x8 Mix(U32x8 src, U32x8 dst, uint32_t weight)
{
    const I32x8 src_alpha = I32x8(ScaleAlphas(src, weight) >> 24);
    const I32x8 dst_alpha = I32x8(dst >> 24);
    I32x8 sum = src_alpha + dst_alpha;
    sum = sum > 255 ? I32x8{} + 255 : sum;  // complementary weights round to one more at most
    const F32x8 total = Float(src_alpha + dst_alpha);
    const F32x8 share = Float(src_alpha) / (total > 0.0f ? total : F32x8{} + 1.0f);
    constexpr float kRoundingOffset = 256.5f + 1.0f / 4096;
    const U32x8 seen = U32x8(src_alpha + dst_alpha > 0);  // a clear pair stays all zero bytes
    U32x8 out = U32x8(sum) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const I32x8 under = I32x8((dst >> shift) & 0xFFu);
        const I32x8 towards = I32x8((src >> shift) & 0xFFu) - under;
        const I32x8 moved = __builtin_convertvector(Float(towards) * share + kRoundingOffset, I32x8) - 256;
        out |= U32x8(under + moved) << shift;
    }
    return out & seen;
}

// The tail: one pixel in lane 0 of a vector.
template <typename Kernel>
VANTOR_INLINE void Tail(const uint8_t* src, uint8_t* dst, size_t pixels, Kernel kernel)
{
    for (size_t i = 0; i < pixels; ++i) {
        U32x8 s{}, d{};
        std::memcpy(&s, src + i * 4, 4);
        std::memcpy(&d, dst + i * 4, 4);
        const U32x8 out = kernel(s, d);
        std::memcpy(dst + i * 4, &out, 4);
    }
}

VANTOR_INLINE void CopyRows(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels, uint32_t weight)
{
    const size_t whole = pixels / kLanes * kLanes;
    for (size_t i = 0; i < whole; i += kLanes)
        Store(dst + i * 4, ScaleAlphas(Load(src + i * 4), weight));
    Tail(src + whole * 4, dst + whole * 4, pixels - whole,
         [&](U32x8 s, U32x8) __attribute__((always_inline)) { return ScaleAlphas(s, weight); });
}

VANTOR_INLINE void MixRows(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels, uint32_t weight)
{
    const size_t whole = pixels / kLanes * kLanes;
    for (size_t i = 0; i < whole; i += kLanes)
        Store(dst + i * 4, Mix(Load(src + i * 4), Load(dst + i * 4), weight));
    Tail(src + whole * 4, dst + whole * 4, pixels - whole,
         [&](U32x8 s, U32x8 d) __attribute__((always_inline)) { return Mix(s, d, weight); });
}

#undef VANTOR_INLINE

using RowKernel = void (*)(const uint8_t*, uint8_t*, size_t, uint32_t);

__attribute__((target("avx2"))) void CopyRowsAvx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t weight)
{
    CopyRows(src, dst, pixels, weight);
}

void CopyRowsBaseline(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t weight)
{
    CopyRows(src, dst, pixels, weight);
}

__attribute__((target("avx2"))) void MixRowsAvx2(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t weight)
{
    MixRows(src, dst, pixels, weight);
}

void MixRowsBaseline(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t weight)
{
    MixRows(src, dst, pixels, weight);
}

RowKernel Pick(RowKernel avx2, RowKernel baseline)
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? avx2 : baseline;
}

}  // namespace

void CopyRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    static const RowKernel kernel = Pick(CopyRowsAvx2, CopyRowsBaseline);
    kernel(src, dst, pixels, weight);
}

void MixRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    static const RowKernel kernel = Pick(MixRowsAvx2, MixRowsBaseline);
    kernel(src, dst, pixels, weight);
}

}  // namespace vantor
