#pragma once
// Takes a caller's frame: compares it with the last frame taken and keeps only what changed,
// both in the sender's copy of the picture and as a QuickTime Animation delta for receivers.
// An unchanged frame costs one comparison and a delta of a few bytes; where the caller has said
// what it changed, only that and a band of rows are compared.

#include "ndi/byte_buffer.h"
#include "ndi/changed_area.h"
#include "ndi/picture.h"
#include "ndi/row_sweep.h"

#include <cstdint>

namespace vantor::ndi {

// `frame` holds picture.height() rows of picture.width() BGRA pixels, `stride_bytes` apart.
// Compares the rows of `whole_rows` whole and the others where `area` says they may differ,
// and writes the change after what `delta` holds unless that is null. Returns whether anything changed.
// Only writing the delta allocates: that may throw std::bad_alloc, leaving the picture taken
// in part; taking the same frame again without a delta, which cannot fail, completes it.
bool TakeFrame(const uint8_t* frame, int32_t stride_bytes, Picture& picture, ByteBuffer* delta,
               const ChangedArea& area = {}, RowBand whole_rows = {});

}  // namespace vantor::ndi
