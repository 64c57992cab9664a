#pragma once
// Whether a picture shows at all: some pixel of its 32-bit blue, green, red, alpha pixels has
// an alpha above 0.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantor {

inline bool AnyVisiblePixel(std::span<const uint8_t> bgra)
{
    for (size_t alpha = 3; alpha < bgra.size(); alpha += 4)
        if (bgra[alpha] != 0)
            return true;
    return false;
}

}  // namespace vantor
