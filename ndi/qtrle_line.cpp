#include "ndi/qtrle_line.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>

// The kernels are inlined into each build, so no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantor::ndi {
namespace {

#define VANTOR_INLINE inline __attribute__((always_inline))

namespace avx2 {
#define VANTOR_QTRLE_TARGET __attribute__((target("avx2")))
using Pixels = uint32_t __attribute__((vector_size(32)));

// Bit k: pixel k differs from pixel k + 1, for pixels [0, 64) (reading pixel 64).
VANTOR_QTRLE_TARGET VANTOR_INLINE uint64_t RunEndsOf64(const uint32_t* pixels)
{
    uint64_t bits = 0;
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 8 * i));
        const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + 8 * i + 1));
        const int equal = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(here, next)));
        bits |= uint64_t(uint8_t(~equal)) << (8 * i);
    }
    return bits;
}
#include "ndi/qtrle_line_template.h"
#undef VANTOR_QTRLE_TARGET
}  // namespace avx2

namespace baseline {
#define VANTOR_QTRLE_TARGET
using Pixels = uint32_t __attribute__((vector_size(16)));

// The same, four pixels at a time.
VANTOR_INLINE uint64_t RunEndsOf64(const uint32_t* pixels)
{
    uint64_t bits = 0;
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4 * i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4 * i + 1));
        const int equal = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(here, next)));
        bits |= uint64_t(~equal & 0xF) << (4 * i);
    }
    return bits;
}
#include "ndi/qtrle_line_template.h"
#undef VANTOR_QTRLE_TARGET
}  // namespace baseline

#undef VANTOR_INLINE

}  // namespace

LineCoder Avx2LineCoder()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? avx2::WritePixels : nullptr;
}

LineCoder BaselineLineCoder()
{
    return baseline::WritePixels;
}

LineCoder ChosenLineCoder()
{
    static const LineCoder chosen = [] {
        const LineCoder avx2 = Avx2LineCoder();
        return avx2 ? avx2 : BaselineLineCoder();
    }();
    return chosen;
}

}  // namespace vantor::ndi
