#pragma once
// Takes a caller's frame: compares it with the last frame taken and keeps only what changed,
// both in the sender's copy of the picture and as a QuickTime Animation delta for receivers.
// An unchanged frame costs one comparison and a delta of a few bytes.

#include "ndi/byte_buffer.h"
#include "ndi/picture.h"

#include <cstdint>

namespace vantor::ndi {

// `frame` holds picture.height() rows of picture.width() BGRA pixels, `stride_bytes` apart.
// Returns whether anything changed.
bool TakeFrame(const uint8_t* frame, int32_t stride_bytes, Picture& picture, ByteBuffer& delta);

}  // namespace vantor::ndi
