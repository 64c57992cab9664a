// Eight pixels at a time in the compiler's vector types, built once for AVX2 and once for the
// baseline instruction set, the better chosen when the program loads; the tail goes through the
// same code one lane at a time. At 4096 x 2160 a weighted copy moves 35 MB each way a frame:
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
// is a byte or a product of two.
VANTOR_INLINE F32x8 Float(U32x8 v) { return __builtin_convertvector(I32x8(v), F32x8); }
VANTOR_INLINE F32x8 Channel(U32x8 px, int shift) { return Float((px >> shift) & 0xFFu); }

// Rounded to nearest: every value is a non-negative mean of bytes.
VANTOR_INLINE U32x8 Byte(F32x8 v) { return U32x8(__builtin_convertvector(v + 0.5f, I32x8)); }

VANTOR_INLINE U32x8 Mix(U32x8 src, U32x8 dst, uint32_t weight)
{
    const U32x8 src_alpha = ScaleAlphas(src, weight) >> 24;
    const U32x8 dst_alpha = dst >> 24;
    U32x8 sum = src_alpha + dst_alpha;
    const U32x8 full = U32x8{} + 255u;
    sum = sum > full ? full : sum;  // complementary weights round to one more at most
    const F32x8 sa = Float(src_alpha);
    const F32x8 da = Float(dst_alpha);
    const F32x8 one = F32x8{} + 1.0f;
    const F32x8 total = sa + da;
    const F32x8 divisor = total > F32x8{} ? total : one;  // a clear pair stays clear
    U32x8 out = sum << 24;
    // A true division, not a reciprocal: an exact half then rounds up as a straight division does.
    for (int shift = 0; shift < 24; shift += 8)
        out |= Byte((Channel(src, shift) * sa + Channel(dst, shift) * da) / divisor) << shift;
    return out;
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

__attribute__((target_clones("avx2", "default")))
void CopyRows(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels, uint32_t weight)
{
    const size_t whole = pixels / kLanes * kLanes;
    for (size_t i = 0; i < whole; i += kLanes)
        Store(dst + i * 4, ScaleAlphas(Load(src + i * 4), weight));
    Tail(src + whole * 4, dst + whole * 4, pixels - whole,
         [&](U32x8 s, U32x8) __attribute__((always_inline)) { return ScaleAlphas(s, weight); });
}

__attribute__((target_clones("avx2", "default")))
void MixRows(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels, uint32_t weight)
{
    const size_t whole = pixels / kLanes * kLanes;
    for (size_t i = 0; i < whole; i += kLanes)
        Store(dst + i * 4, Mix(Load(src + i * 4), Load(dst + i * 4), weight));
    Tail(src + whole * 4, dst + whole * 4, pixels - whole,
         [&](U32x8 s, U32x8 d) __attribute__((always_inline)) { return Mix(s, d, weight); });
}

#undef VANTOR_INLINE

}  // namespace

void CopyRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    CopyRows(src, dst, pixels, weight);
}

void MixRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight)
{
    MixRows(src, dst, pixels, weight);
}

}  // namespace vantor
