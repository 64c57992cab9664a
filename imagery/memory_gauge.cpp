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

// A figure from the first word of a file; nothing without the file or a number in it.
std::optional<int64_t> ReadFigure(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string text;
    if (!(in >> text))
        return std::nullopt;
    try {
        return std::stoll(text);
    } catch (const std::exception&) {
        return std::nullopt;  // "max": no limit
    }
}

// Version 1 says "no limit" with the largest count of pages it can hold.
constexpr int64_t kNoLimitV1 = int64_t{1} << 62;

// One group's limit less its use, from version 2's files or else version 1's; nothing without
// a limit or its files.
std::optional<int64_t> RoomIn(const std::filesystem::path& folder)
{
    if (std::filesystem::exists(folder / "memory.max")) {
        const auto limit = ReadFigure(folder / "memory.max");
        const auto used = ReadFigure(folder / "memory.current");
        return limit && used ? std::optional(*limit - *used) : std::nullopt;
    }
    const auto limit = ReadFigure(folder / "memory.limit_in_bytes");
    const auto used = ReadFigure(folder / "memory.usage_in_bytes");
    if (!limit || *limit >= kNoLimitV1 || !used)
        return std::nullopt;
    return *limit - *used;
}

struct OwnGroups {
    std::string unified = "/";              // "0::/path"
    std::optional<std::string> memory_v1;   // "N:...memory...:/path"
};

// The groups of this process, as /proc/self/cgroup names them.
OwnGroups ReadOwnGroups()
{
    OwnGroups groups;
    std::ifstream cgroup("/proc/self/cgroup");
    for (std::string line; std::getline(cgroup, line);) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        if (line.starts_with("0::"))
            groups.unified = line.substr(second + 1);
        else if (controllers.find(",memory,") != std::string::npos)
            groups.memory_v1 = line.substr(second + 1);
    }
    return groups;
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
    const OwnGroups groups = ReadOwnGroups();
    std::optional<int64_t> room = SmallerKnown(MemAvailable(), GroupRoom("/sys/fs/cgroup", groups.unified));
    if (groups.memory_v1)
        room = SmallerKnown(room, GroupRoom("/sys/fs/cgroup/memory", *groups.memory_v1));
    return room;
}

std::optional<int64_t> LoadShareBytes(const MemoryGauge& gauge)
{
    const auto available = gauge ? gauge() : std::nullopt;
    if (!available)
        return std::nullopt;
    return std::max<int64_t>(*available - kMemoryReserveBytes, 0) / 2;
}

bool RoomFor(const MemoryGauge& gauge, int64_t peak_bytes)
{
    const auto share = LoadShareBytes(gauge);
    return !share || peak_bytes <= *share;
}

constexpr int64_t kMegabyte = int64_t{1} << 20;

int64_t MegabytesUp(int64_t bytes) { return bytes / kMegabyte + (bytes % kMegabyte > 0); }

int64_t MegabytesDown(int64_t bytes) { return bytes / kMegabyte; }

}  // namespace vantor
