#include "imagery/memory_gauge.h"

#include <algorithm>
#include <fstream>
#include <string>

namespace vantor {
namespace {

std::optional<int64_t> MemAvailable()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit)
        if (key == "MemAvailable:")
            return kib * 1024;
    return std::nullopt;
}

// A control group v2 limit ("max" means none).
std::optional<int64_t> GroupRoom()
{
    std::ifstream max_file("/sys/fs/cgroup/memory.max");
    std::ifstream current_file("/sys/fs/cgroup/memory.current");
    std::string max_text;
    int64_t current = 0;
    if (!(max_file >> max_text) || max_text == "max" || !(current_file >> current))
        return std::nullopt;
    try {
        return std::stoll(max_text) - current;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<int64_t> AvailableMemoryBytes()
{
    const auto machine = MemAvailable();
    const auto group = GroupRoom();
    if (machine && group)
        return std::min(*machine, *group);
    return machine ? machine : group;
}

bool RoomForPicture(const MemoryGauge& gauge, int64_t picture_bytes)
{
    const auto available = gauge ? gauge() : std::nullopt;
    return !available || *available >= 2 * picture_bytes + kMemoryReserveBytes;
}

}  // namespace vantor
