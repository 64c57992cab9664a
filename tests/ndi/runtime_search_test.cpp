// Which runtime a process starts: where the vendor's is looked for and in what order, what the
// operator's NDIVANTOR_RUNTIME asks, and the one line on standard error that says the choice.
// Each case is a real process with its own environment and library search path.

#include "child_process.h"
#include "fake_vendor.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vantor::test {
namespace {

struct SearchCase {
    const char* name;
    std::vector<std::pair<std::string, FakeVariant>> installed;  // under the test's folder
    const char* mode;               // NDIVANTOR_RUNTIME, or null
    int exit_code;
    const char* initialised;        // the installed copy whose NDIlib_initialize ran, or null
    bool vendor_runs;               // and it runs
    std::vector<std::string> said;  // parts of the one line on standard error; {dir}/: the folder
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

constexpr FakeVariant kComplete = FakeVariant::kComplete;
constexpr char kNotFound[] = ": cannot open shared object file: No such file or directory";

const SearchCase kCases[] = {
    {"TheV6FolderComesFirst",
     {{"v6/libndi.so.6", kComplete}, {"v5/libndi.so.5", kComplete}, {"lib/libndi.so.6", kComplete},
      {"lib/libndi.so.5", kComplete}},
     nullptr, 0, "v6/libndi.so.6", true, {"NDI runtime: {dir}/v6/libndi.so.6 (Fake vendor NDI runtime 6.1.2)"}},
    {"ThenTheV5FolderWhichHoldsVersion5",
     {{"v6/libndi.so.5", kComplete}, {"v5/libndi.so.5", kComplete}, {"lib/libndi.so.6", kComplete}},
     nullptr, 0, "v5/libndi.so.5", true, {"NDI runtime: {dir}/v5/libndi.so.5 ("}},
    {"ThenTheSystemsSearchForVersion6", {{"lib/libndi.so.6", kComplete}, {"lib/libndi.so.5", kComplete}},
     nullptr, 0, "lib/libndi.so.6", true, {"NDI runtime: {dir}/lib/libndi.so.6 ("}},
    {"ThenForVersion5", {{"lib/libndi.so.5", kComplete}}, nullptr, 0, "lib/libndi.so.5", true,
     {"NDI runtime: {dir}/lib/libndi.so.5 ("}},
    {"NothingFoundRunsTheBuiltInRuntimeAndNamesEveryPlaceTried", {}, nullptr, 0, nullptr, false,
     {"NDI runtime: built-in (no vendor runtime found (", std::string("{dir}/v6/libndi.so.6") + kNotFound,
      std::string("{dir}/v5/libndi.so.5") + kNotFound, std::string("libndi.so.6") + kNotFound,
      std::string("libndi.so.5") + kNotFound}},
    {"ALibraryLackingASymbolIsNotPassedOverForAnother",
     {{"v6/libndi.so.6", FakeVariant::kWithoutSendVideo}, {"v5/libndi.so.5", kComplete}}, nullptr, 0, nullptr, false,
     {"NDI runtime: built-in ({dir}/v6/libndi.so.6 lacks NDIlib_send_send_video_v2)"}},
    {"ALibraryThatCannotRunIsNotPassedOverForAnother",
     {{"v6/libndi.so.6", FakeVariant::kInitializeFails}, {"v5/libndi.so.5", kComplete}}, nullptr, 0,
     "v6/libndi.so.6", false, {"NDI runtime: built-in ({dir}/v6/libndi.so.6: its NDIlib_initialize failed)"}},
    {"BuiltinAskedLeavesAnInstalledLibraryAlone", {{"v6/libndi.so.6", kComplete}}, "builtin", 0, nullptr, false,
     {"NDI runtime: built-in (NDIVANTOR_RUNTIME=builtin)"}},
    {"VendorAskedAndNoneFoundCannotRun", {}, "vendor", 1, nullptr, false,
     {"NDI runtime: NDIVANTOR_RUNTIME=vendor, but no vendor runtime found (",
      std::string("libndi.so.5") + kNotFound}},
    {"VendorAskedAndUnfitCannotRun", {{"v6/libndi.so.6", FakeVariant::kInitializeFails}}, "vendor", 1,
     "v6/libndi.so.6", false, {"NDI runtime: NDIVANTOR_RUNTIME=vendor, but {dir}/v6/libndi.so.6: its NDIlib_initialize failed"}},
    {"AnUnknownModeCannotRun", {{"v6/libndi.so.6", kComplete}}, "vendro", 1, nullptr, false,
     {"NDI runtime: NDIVANTOR_RUNTIME is \"vendro\"; it can be builtin or vendor"}},
};

std::string InDir(std::string text, const std::string& dir)
{
    if (const size_t at = text.find("{dir}/"); at != std::string::npos)
        text.replace(at, 6, dir);
    return text;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class RuntimeSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(RuntimeSearch, ChoosesAndSaysWhichRuntimeRuns)
{
    const SearchCase& c = GetParam();
    TempDir dir;
    for (const auto& [file, variant] : c.installed) {
        const size_t slash = file.find('/');
        InstallFakeRuntime(variant, dir.Path(file.substr(0, slash)), file.substr(slash + 1));
    }
    const std::string log = dir.Path("calls.log");
    std::vector<std::string> argv = {"env", "-u", "NDIVANTOR_RUNTIME", "NDI_RUNTIME_DIR_V6=" + dir.Path("v6"),
                                     "NDI_RUNTIME_DIR_V5=" + dir.Path("v5"), "LD_LIBRARY_PATH=" + dir.Path("lib"),
                                     std::string(kFakeLogVariable) + "=" + log};
    if (c.mode)
        argv.push_back(std::string("NDIVANTOR_RUNTIME=") + c.mode);
    argv.push_back(RUNTIME_PROBE);
    ChildProcess probe(argv, dir.Path("probe.out"));
    ASSERT_EQ(probe.Wait(20000), c.exit_code) << probe.Errors();

    if (c.exit_code == 0) {
        EXPECT_EQ(ReadFile(dir.Path("probe.out")) == std::string(kFakeVersion) + "\n", c.vendor_runs);
    }
    const std::string errors = probe.Errors();
    EXPECT_EQ(CountOf(errors, "NDI runtime: "), 1u) << errors;
    for (const std::string& part : c.said)
        EXPECT_NE(errors.find(InDir(part, dir.Path(""))), std::string::npos) << "missing: " << part << "\nin: " << errors;
    std::vector<RecordedCall> expected;
    if (c.initialised) {
        expected.push_back({"initialize", {{"from", dir.Path(c.initialised)}}});
        if (c.vendor_runs)
            expected.push_back({"destroy", {}});
    }
    EXPECT_EQ(RecordedCalls(log), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RuntimeSearch, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor::test
