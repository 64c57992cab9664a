#pragma once
// How much memory the machine can still give this program, so that a long sequence ends its
// load with a message before the kernel's out-of-memory killer ends the program.

#include <cstdint>
#include <functional>
#include <optional>

namespace vantor {

// Kept free whatever a load needs: room for the rest of the program and the machine.
inline constexpr int64_t kMemoryReserveBytes = int64_t{256} << 20;

// The smaller of what the kernel reports as available and what this program's control group
// may still take; nothing when neither can be read.
std::optional<int64_t> AvailableMemoryBytes();

using MemoryGauge = std::function<std::optional<int64_t>()>;

// Whether a picture of `picture_bytes` can be decoded and kept (the decoder's buffer and the
// kept pixels, briefly both) with the reserve left over. True when the gauge cannot tell.
bool RoomForPicture(const MemoryGauge& gauge, int64_t picture_bytes);

}  // namespace vantor
