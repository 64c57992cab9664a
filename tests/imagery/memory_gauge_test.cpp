// The control group's room, read from a hierarchy laid out as the kernel lays it out, under
// cgroup v2 and under v1's memory controller: the tightest limit on the way down counts.

#include "imagery/memory_gauge.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace vantor {
namespace {

// Folder (relative to the hierarchy) -> file name -> first line.
using Hierarchy = std::map<std::string, std::map<std::string, std::string>>;

struct RoomCase {
    const char* name;
    Hierarchy files;
    std::optional<int64_t> room;
};

class GroupRooms : public ::testing::TestWithParam<RoomCase> {};

TEST_P(GroupRooms, TheTightestLimitOnTheWayDownToTheGroupCounts)
{
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    for (const auto& [folder, files] : GetParam().files) {
        std::filesystem::create_directories(root / folder);
        for (const auto& [file, text] : files)
            std::ofstream(root / folder / file) << text << "\n";
    }
    EXPECT_EQ(GroupRoom(root.string(), "/studio/copy"), GetParam().room);
}

constexpr const char* kV1NoLimit = "9223372036854771712";

INSTANTIATE_TEST_SUITE_P(
    MemoryGauge, GroupRooms,
    ::testing::Values(
        RoomCase{"V2TheGroupsOwnLimit",
                 {{".", {}}, {"studio", {{"memory.max", "max"}, {"memory.current", "100"}}},
                  {"studio/copy", {{"memory.max", "1000"}, {"memory.current", "400"}}}},
                 600},
        RoomCase{"V2ALimitAboveTheGroup",
                 {{"studio", {{"memory.max", "500"}, {"memory.current", "450"}}},
                  {"studio/copy", {{"memory.max", "max"}, {"memory.current", "400"}}}},
                 50},
        RoomCase{"V2NoLimitAnywhere", {{"studio/copy", {{"memory.max", "max"}, {"memory.current", "400"}}}}, std::nullopt},
        RoomCase{"V1TheGroupsOwnLimit",
                 {{".", {{"memory.limit_in_bytes", kV1NoLimit}, {"memory.usage_in_bytes", "9000"}}},
                  {"studio/copy", {{"memory.limit_in_bytes", "4096"}, {"memory.usage_in_bytes", "1024"}}}},
                 3072},
        RoomCase{"V1ALimitAboveTheGroup",
                 {{"studio", {{"memory.limit_in_bytes", "2048"}, {"memory.usage_in_bytes", "2000"}}},
                  {"studio/copy", {{"memory.limit_in_bytes", kV1NoLimit}, {"memory.usage_in_bytes", "1024"}}}},
                 48},
        RoomCase{"V1NoLimitAnywhere",
                 {{".", {{"memory.limit_in_bytes", kV1NoLimit}, {"memory.usage_in_bytes", "9000"}}},
                  {"studio/copy", {{"memory.limit_in_bytes", kV1NoLimit}, {"memory.usage_in_bytes", "1024"}}}},
                 std::nullopt}),
    [](const ::testing::TestParamInfo<RoomCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor
