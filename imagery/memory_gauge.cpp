#include "imagery/memory_gauge.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

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

// One group's limit less its use; nothing without a limit ("max") or its files.
std::optional<int64_t> RoomIn(const std::filesystem::path& folder)
{
    std::ifstream max_file(folder / "memory.max");
    std::ifstream current_file(folder / "memory.current");
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

// The group of this process in the unified hierarchy: the line "0::/path" of /proc/self/cgroup.
std::string OwnGroup()
{
    std::ifstream cgroup("/proc/self/cgroup");
    for (std::string line; std::getline(cgroup, line);)
        if (line.starts_with("0::"))
            return line.substr(3);
    return "/";
}

}  // namespace

std::optional<int64_t> SmallerKnown(std::optional<int64_t> a, std::optional<int64_t> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

// A limit anywhere above the group holds for it too.
std::optional<int64_t> GroupRoom(const std::string& hierarchy, const std::string& group)
{
    std::filesystem::path folder = hierarchy;
    std::optional<int64_t> room = RoomIn(folder);
    for (const std::filesystem::path& part : std::filesystem::path(group).relative_path()) {
        folder /= part;
        room = SmallerKnown(room, RoomIn(folder));
    }
    return room;
}

std::optional<int64_t> AvailableMemoryBytes()
{
    return SmallerKnown(MemAvailable(), GroupRoom("/sys/fs/cgroup", OwnGroup()));
}

bool RoomFor(const MemoryGauge& gauge, int64_t peak_bytes)
{
    const auto available = gauge ? gauge() : std::nullopt;
    return !available || *available >= peak_bytes + kMemoryReserveBytes;
}

}  // namespace vantor
