// Which runtime a process starts: where the vendor's is looked for and in what order, what
// NDIVANTOR_RUNTIME asks, and the one line on standard error that says so; and, when the vendor's
// runs, every record as the vendor reads it and our extensions answering none. Each case is a
// real process (the probe) with its own environment and library search path.

#include "child_process.h"
#include "fake_vendor.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vantor::test {
namespace {

constexpr FakeVariant kComplete = FakeVariant::kComplete;
// The probe's calls between the vendor's initialise and destroy, as the fake records them.
const std::vector<std::string> kProbeCalls = {
    "send_create name=Kelo Vantor 4 groups=studio clock_video=0 clock_audio=1",
    "metadata length=25 timecode=1234567 text=<ndi_product serial=\"7\"/>",
    "send_video 64x36 FourCC=BGRA rate=60000/1001 aspect=1.5 format=1 timecode=424242 p_data=set stride=320 "
    "p_metadata=<tc/> timestamp=987654321",
    "send_destroy",
};
constexpr char kNotFound[] = ": cannot open shared object file: No such file or directory";

struct SearchCase {
    const char* name;
    std::vector<std::pair<const char*, FakeVariant>> installed;  // in the test's folder
    const char* mode;         // NDIVANTOR_RUNTIME, or null
    int exit_code;            // 1: it cannot run
    const char* initialised;  // the copy whose NDIlib_initialize ran, or null
    bool vendor_runs;         // and the process runs on it
    std::string said;         // part of the one line on standard error, "{dir}/" for the folder
    const char* version = kFakeVersion;  // what the program reads as the vendor's version
    bool relative_folders = false;       // the folder variables name v6 and v5 in the current folder
};
void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

const SearchCase kCases[] = {
    {"TheV6FolderComesFirst",
     {{"v6/libndi.so.6", kComplete}, {"v5/libndi.so.5", kComplete}, {"lib/libndi.so.6", kComplete}},
     nullptr, 0, "v6/libndi.so.6", true, "NDI runtime: {dir}/v6/libndi.so.6 (Fake vendor NDI runtime 6.1.2)\n"},
    {"ThenTheV5FolderWhichHoldsVersion5",
     {{"v6/libndi.so.5", kComplete}, {"v5/libndi.so.5", kComplete}, {"lib/libndi.so.6", kComplete}},
     nullptr, 0, "v5/libndi.so.5", true, "NDI runtime: {dir}/v5/libndi.so.5 ("},
    {"ThenTheSystemsSearchForVersion6", {{"lib/libndi.so.6", kComplete}, {"lib/libndi.so.5", kComplete}},
     nullptr, 0, "lib/libndi.so.6", true, "NDI runtime: {dir}/lib/libndi.so.6 ("},
    {"ThenForVersion5", {{"lib/libndi.so.5", kComplete}}, nullptr, 0, "lib/libndi.so.5", true,
     "NDI runtime: {dir}/lib/libndi.so.5 ("},
    {"NothingFoundRunsTheBuiltInRuntimeAndNamesEveryPlaceTried", {}, nullptr, 0, nullptr, false,
     std::string("NDI runtime: built-in (no vendor runtime found ({dir}/v6/libndi.so.6") + kNotFound +
         "; {dir}/v5/libndi.so.5" + kNotFound + "; libndi.so.6" + kNotFound + "; libndi.so.5" + kNotFound + "))\n"},
    {"ALibraryLackingASymbolIsNotPassedOver",
     {{"v6/libndi.so.6", FakeVariant::kWithoutSendVideo}, {"v5/libndi.so.5", kComplete}}, nullptr, 0, nullptr, false,
     "NDI runtime: built-in ({dir}/v6/libndi.so.6 lacks NDIlib_send_send_video_v2)\n"},
    {"ALibraryThatCannotRunIsNotPassedOver",
     {{"v6/libndi.so.6", FakeVariant::kInitializeFails}, {"v5/libndi.so.5", kComplete}}, nullptr, 0,
     "v6/libndi.so.6", false, "NDI runtime: built-in ({dir}/v6/libndi.so.6: its NDIlib_initialize failed)\n"},
    {"VendorAskedAndNoneFoundCannotRun", {}, "vendor", 1, nullptr, false,
     std::string("NDI runtime: NDIVANTOR_RUNTIME=vendor, but no vendor runtime found ({dir}/v6/libndi.so.6") + kNotFound},
    {"ANullVersionTextIsSaidAsNoneAndRuns", {{"v6/libndi.so.6", FakeVariant::kNullVersion}}, nullptr, 0,
     "v6/libndi.so.6", true, "NDI runtime: {dir}/v6/libndi.so.6 (no version text)\n", ""},
    {"RelativeFoldersAreRefused", {{"v6/libndi.so.6", kComplete}, {"lib/libndi.so.6", kComplete}}, nullptr, 0,
     "lib/libndi.so.6", true,
     "NDI_RUNTIME_DIR_V6=v6 is not an absolute folder: not searched\nNDI_RUNTIME_DIR_V5=v5 is not an absolute "
     "folder: not searched\nNDI runtime: {dir}/lib/libndi.so.6 (",
     kFakeVersion, true},
    {"AnUnknownModeCannotRun", {{"v6/libndi.so.6", kComplete}}, "vendro", 1, nullptr, false,
     "NDI runtime: NDIVANTOR_RUNTIME is \"vendro\"; it can be builtin or vendor\n"},
};

class RuntimeSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(RuntimeSearch, ChoosesAndSaysWhichRuntimeRuns)
{
    const SearchCase& c = GetParam();
    TempDir dir;
    for (const auto& [file, variant] : c.installed) {
        const std::string path = dir.Path(file);
        InstallFakeRuntime(variant, path.substr(0, path.rfind('/')), path.substr(path.rfind('/') + 1));
    }
    const std::string log = dir.Path("calls.log");
    const std::string folders = c.relative_folders ? "" : dir.Path("");
    std::vector<std::string> argv = {"env", "-C", dir.Path(""), "-u", "NDIVANTOR_RUNTIME",
                                     "NDI_RUNTIME_DIR_V6=" + folders + "v6", "NDI_RUNTIME_DIR_V5=" + folders + "v5",
                                     "LD_LIBRARY_PATH=" + dir.Path("lib"), std::string(kFakeLogVariable) + "=" + log};
    if (c.mode)
        argv.push_back(std::string("NDIVANTOR_RUNTIME=") + c.mode);
    argv.push_back(RUNTIME_PROBE);
    ChildProcess probe(argv, dir.Path("probe.out"));

    ASSERT_EQ(probe.Wait(20000), c.exit_code) << probe.Errors();
    const std::string errors = probe.Errors();
    std::string said = c.said;
    for (size_t at; (at = said.find("{dir}/")) != std::string::npos;)
        said.replace(at, 6, dir.Path(""));
    EXPECT_NE(errors.find(said), std::string::npos) << errors;
    EXPECT_EQ(errors.find("NDI runtime: "), errors.rfind("NDI runtime: ")) << "said more than once: " << errors;
    std::vector<std::string> calls;
    if (c.initialised)
        calls.push_back("initialize from=" + dir.Path(c.initialised));
    if (c.vendor_runs) {
        calls.insert(calls.end(), kProbeCalls.begin(), kProbeCalls.end());
        calls.push_back("destroy");
    }
    EXPECT_EQ(RecordedCalls(log), calls);

    const std::string out = ReadFile(dir.Path("probe.out"));
    if (c.exit_code == 0) {
        EXPECT_EQ(out.substr(0, out.find('\n')) == c.version, c.vendor_runs) << out;
        EXPECT_EQ(out.substr(out.find('\n') + 1),
                  c.vendor_runs ? "extensions=0 mapped=1\nport=0\n" : "extensions=1 mapped=0\nport=1\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RuntimeSearch, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor::test
