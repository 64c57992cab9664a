#pragma once
// How much memory the machine can still give this program, so that a picture too large for it
// fails to load with a message before the kernel's out-of-memory killer ends the program.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vantor {

// Kept free whatever a load needs: room for the rest of the program and the machine.
inline constexpr int64_t kMemoryReserveBytes = int64_t{256} << 20;

// The smaller of what the kernel reports as available and what this program's control group
// may still take (under cgroup v2, or v1's memory controller); nothing when none can be read.
std::optional<int64_t> AvailableMemoryBytes();

// The smaller of two figures where both are known, the one known otherwise.
std::optional<int64_t> SmallerKnown(std::optional<int64_t> a, std::optional<int64_t> b);

// What the control group `group` (a path as /proc/self/cgroup names it) and every group above it
// still let their processes take, read from the hierarchy mounted at `hierarchy`: cgroup v2's
// (memory.max, memory.current) or v1's memory controller (memory.limit_in_bytes,
// memory.usage_in_bytes); nothing when none of them has a limit.
std::optional<int64_t> GroupRoom(const std::string& hierarchy, const std::string& group);

using MemoryGauge = std::function<std::optional<int64_t>()>;

// The most one load may take: half of what is free above the reserve, so that another copy
// loading at the same moment still finds room. Nothing when the gauge cannot tell.
std::optional<int64_t> LoadShareBytes(const MemoryGauge& gauge);

// Whether `peak_bytes` fits one load's share. True when the gauge cannot tell.
bool RoomFor(const MemoryGauge& gauge, int64_t peak_bytes);

// Bytes as whole megabytes (of 2^20 bytes), rounded up or down.
int64_t MegabytesUp(int64_t bytes);
int64_t MegabytesDown(int64_t bytes);

}  // namespace vantor
