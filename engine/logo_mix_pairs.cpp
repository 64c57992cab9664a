#include "engine/logo_mix_pairs.h"

// GCC 12's own AVX-512 header starts vectors from undefined ones, which it then warns about.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <cstdint>
#include <immintrin.h>

// Each build defines, for logo_mix_pairs_template.h, MM (the intrinsics' prefix), the vector
// types, and the operations whose names do not follow the prefix.

namespace vantor {
namespace {

// The pictures are read this far ahead: a row's compute hides the memory's latency only with
// the help (at 4096 x 2160, 9.6 ms a cross-fade without it, 5.3 ms with it).
constexpr size_t kPrefetchBytes = 4096;
// Rows at least this long are streamed out (an 8 KB row: the picture of a logo that long is
// larger than the cache).
constexpr size_t kStreamedPixels = 2048;

// Byte shuffle indices, repeated in every 16 bytes: colour `c` of pixel p (byte 4p + c) goes to
// byte `at` of its pixel, every other byte is cleared.
constexpr int ColourIndexWord(int pixel, int c, int at)
{
    return int((0x80808080u & ~(0xFFu << (8 * at))) | (uint32_t(4 * pixel + c) << (8 * at)));
}

// AVX-512 with its byte and word instructions: sixteen pixels at a time.
namespace avx512 {
constexpr size_t kPairsPixels = 16;
template <int c, int at>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i ColourIndex()
{
    return _mm512_set4_epi32(ColourIndexWord(3, c, at), ColourIndexWord(2, c, at), ColourIndexWord(1, c, at),
                             ColourIndexWord(0, c, at));
}
#define MM(name) _mm512_##name
#define VI __m512i
#define VF __m512
#define VANTOR_PAIRS_TARGET __attribute__((target("avx512f,avx512bw")))
#define VANTOR_PAIRS_RECIPROCAL _mm512_rcp14_ps
#define VANTOR_PAIRS_OR _mm512_or_si512
#define VANTOR_PAIRS_AND _mm512_and_si512
#define VANTOR_PAIRS_COLOUR(s, l, c) \
    _mm512_or_si512(_mm512_shuffle_epi8(s, ColourIndex<c, 0>()), _mm512_shuffle_epi8(l, ColourIndex<c, 2>()))
#define VANTOR_PAIRS_LOAD(p) _mm512_loadu_si512(p)
#define VANTOR_PAIRS_STORE(p, v) _mm512_storeu_si512(p, v)
#define VANTOR_PAIRS_STREAM(p, v) _mm512_stream_si512(reinterpret_cast<__m512i*>(p), v)
#include "engine/logo_mix_pairs_template.h"
}  // namespace avx512

#undef MM
#undef VI
#undef VF
#undef VANTOR_PAIRS_TARGET
#undef VANTOR_PAIRS_RECIPROCAL
#undef VANTOR_PAIRS_OR
#undef VANTOR_PAIRS_AND
#undef VANTOR_PAIRS_COLOUR
#undef VANTOR_PAIRS_LOAD
#undef VANTOR_PAIRS_STORE
#undef VANTOR_PAIRS_STREAM

// AVX2 with FMA: eight pixels at a time.
namespace avx2 {
constexpr size_t kPairsPixels = 8;
template <int c, int at>
__attribute__((target("avx2"), always_inline)) inline __m256i ColourIndex()
{
    return _mm256_setr_epi32(ColourIndexWord(0, c, at), ColourIndexWord(1, c, at), ColourIndexWord(2, c, at),
                             ColourIndexWord(3, c, at), ColourIndexWord(0, c, at), ColourIndexWord(1, c, at),
                             ColourIndexWord(2, c, at), ColourIndexWord(3, c, at));
}
#define MM(name) _mm256_##name
#define VI __m256i
#define VF __m256
#define VANTOR_PAIRS_TARGET __attribute__((target("avx2,fma")))
#define VANTOR_PAIRS_RECIPROCAL _mm256_rcp_ps
#define VANTOR_PAIRS_OR _mm256_or_si256
#define VANTOR_PAIRS_AND _mm256_and_si256
#define VANTOR_PAIRS_COLOUR(s, l, c) \
    _mm256_or_si256(_mm256_shuffle_epi8(s, ColourIndex<c, 0>()), _mm256_shuffle_epi8(l, ColourIndex<c, 2>()))
#define VANTOR_PAIRS_LOAD(p) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
#define VANTOR_PAIRS_STORE(p, v) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v)
#define VANTOR_PAIRS_STREAM(p, v) _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v)
#include "engine/logo_mix_pairs_template.h"
}  // namespace avx2

}  // namespace

MixPairsKernel Avx512MixPairs()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? avx512::MixPairs : nullptr;
}

MixPairsKernel Avx2MixPairs()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? avx2::MixPairs : nullptr;
}

MixPairsKernel ChosenMixPairs()
{
    static const MixPairsKernel chosen = Avx512MixPairs() ? Avx512MixPairs() : Avx2MixPairs();
    return chosen;
}

}  // namespace vantor
