#pragma once
// Draws a QuickTime Animation frame onto a picture, as a receiver's decoder does. The network
// side keeps its own copy of what receivers show this way, and makes key frames from it for
// receivers that join or fall behind, so the sender's caller never encodes a whole picture.

#include "ndi/picture.h"

#include <cstdint>
#include <span>

namespace vantor::ndi {

// False when the frame does not fit the picture (more or longer lines, or cut short); the
// picture may then be partly drawn.
bool DrawQtrleFrame(std::span<const uint8_t> frame, Picture& picture);

}  // namespace vantor::ndi
