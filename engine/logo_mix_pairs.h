#pragma once
// The mix and the cross-fade over whole vectors with AVX-512 or AVX2, twice as fast as the
// portable kernels, which are the reference they must match byte for byte and which take each
// row's last pixels. Blue, green, red, alpha with straight alpha; weights 0 to 255.

#include <cstddef>
#include <cstdint>

namespace vantor {

// Mixes the shown pixels at shown_weight into the leaving ones at leaving_weight (a mix into
// the frame is the frame at 255); `dst` may be `leaving`. Returns the pixels done, from the
// first: a multiple of the vector's width.
using MixPairsKernel = size_t (*)(const uint8_t* leaving, const uint8_t* shown, uint8_t* dst, size_t pixels,
                                  uint32_t leaving_weight, uint32_t shown_weight);

// The best kernel this processor runs, or null when it has neither instruction set.
MixPairsKernel ChosenMixPairs();
// Each build where the processor runs it, else null: for comparing them with the reference.
MixPairsKernel Avx512MixPairs();
MixPairsKernel Avx2MixPairs();

}  // namespace vantor
