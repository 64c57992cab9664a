#pragma once
// Draws a QuickTime Animation frame onto a picture, as a receiver's decoder does: what the
// writer's frames show, checked without a receiver.

#include "ndi/picture.h"

#include <cstdint>
#include <span>

namespace vantor::ndi {

// False when the frame does not fit the picture (more or longer lines, or cut short); the
// picture may then be partly drawn.
bool DrawQtrleFrame(std::span<const uint8_t> frame, Picture& picture);

}  // namespace vantor::ndi
