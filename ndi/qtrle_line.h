#pragma once
// One line's pixels as QuickTime Animation codes: runs of two or more equal pixels as runs,
// the rest as literals. In a build for AVX2 and one for the baseline instruction set, the
// better chosen at the first call (as the blend does): a frame that changes everywhere at
// 4096 x 2160 is encoded on the send thread within its frame's time.

#include <cstdint>
#include <cstring>

namespace vantor::ndi {

// Writes v in the stream's byte order, most significant first; a BGRA pixel read as a
// little-endian word (0xAARRGGBB) thus goes out as A, R, G, B.
inline void PutBE32(uint8_t* p, uint32_t v)
{
    const uint32_t big_endian = __builtin_bswap32(v);
    std::memcpy(p, &big_endian, sizeof big_endian);
}

inline constexpr int32_t kMaxLiteral = 127;  // pixels in one literal code
inline constexpr int32_t kMaxRun = 128;      // pixels in one run code

// Writes the codes for pixels [first, end) of `row` (BGRA) at p and moves p past them.
using LineCoder = void (*)(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end);

LineCoder Avx2LineCoder();  // null where the processor has no AVX2
LineCoder BaselineLineCoder();
LineCoder ChosenLineCoder();

}  // namespace vantor::ndi
