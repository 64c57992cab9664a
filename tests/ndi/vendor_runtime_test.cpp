// The seven operations routed to a vendor's runtime loaded into this process (the fake one), and
// the built-in runtime in its place when the library found is unfit.

#include "child_process.h"
#include "fake_vendor.h"

#include "ndi/extensions.h"
#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vantor::test {
namespace {

std::string Number(const void* pointer) { return std::to_string(reinterpret_cast<uintptr_t>(pointer)); }

// Whether the library at `path` is mapped into this process.
bool Mapped(const std::string& path)
{
    return ReadFile("/proc/self/maps").find(path) != std::string::npos;
}

class VendorRuntime : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv(kFakeLogVariable, log_.c_str(), 1);
        ::setenv("NDI_RUNTIME_DIR_V6", v6_.c_str(), 1);
        ::setenv("NDI_RUNTIME_DIR_V5", v5_.c_str(), 1);
        ::unsetenv("NDIVANTOR_RUNTIME");
    }

    TempDir dir_;
    const std::string v6_ = dir_.Path("v6");
    const std::string v5_ = dir_.Path("v5");
    const std::string log_ = dir_.Path("calls.log");
};

TEST_F(VendorRuntime, EveryRecordReachesTheVendorFieldByFieldAndOurExtensionsAnswerNone)
{
    const std::string library = InstallFakeRuntime(FakeVariant::kComplete, v6_, "libndi.so.6");
    ASSERT_TRUE(NDIlib_initialize());
    EXPECT_STREQ(NDIlib_version(), kFakeVersion);
    EXPECT_FALSE(NDIlib_extensions_available());

    // Every field differs from its neighbours and from its default, so a misplaced one shows.
    const NDIlib_send_create_t settings{"Kelo Vantor 4", "studio", false, true};
    NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(NDIlib_send_get_port(sender), 0);
    char text[] = "<ndi_product serial=\"7\"/>";
    const NDIlib_metadata_frame_t metadata{int32_t(sizeof text - 1), 1234567, text};
    NDIlib_send_add_connection_metadata(sender, &metadata);
    std::vector<uint8_t> pixels(64 * 36 * 4);
    const NDIlib_video_frame_v2_t frame{64, 36, NDIlib_FourCC_type_BGRA, 60000, 1001, 1.5f,
                                        NDIlib_frame_format_type_progressive, 424242, pixels.data(), 320,
                                        "<tc/>", 987654321};
    NDIlib_send_send_video_v2(sender, &frame);
    NDIlib_send_destroy(sender);
    NDIlib_destroy();
    EXPECT_TRUE(NDIlib_extensions_available()) << "the built-in runtime is back once the vendor's is released";

    const std::vector<RecordedCall> expected = {
        {"initialize", {{"from", library}}},
        {"send_create", {{"name", "Kelo Vantor 4"}, {"groups", "studio"}, {"clock_video", "0"}, {"clock_audio", "1"}}},
        {"metadata", {{"length", "25"}, {"timecode", "1234567"}, {"text", text}}},
        {"send_video",
         {{"xres", "64"}, {"yres", "36"}, {"FourCC", "BGRA"}, {"frame_rate", "60000/1001"}, {"aspect", "1.500000"},
          {"format", "1"}, {"timecode", "424242"}, {"p_data", Number(pixels.data())}, {"stride", "320"},
          {"p_metadata", "<tc/>"}, {"timestamp", "987654321"}}},
        {"send_destroy", {}},
        {"destroy", {}},
    };
    EXPECT_EQ(RecordedCalls(log_), expected);
    EXPECT_FALSE(Mapped(library)) << "the vendor's library outlived NDIlib_destroy";
}

class UnfitVendorRuntime : public VendorRuntime, public ::testing::WithParamInterface<FakeVariant> {};

TEST_P(UnfitVendorRuntime, IsClosedAgainAndTheBuiltInRuntimeRunsInsteadOfAnotherCopy)
{
    const std::string unfit = InstallFakeRuntime(GetParam(), v6_, "libndi.so.6");
    const std::string fit = InstallFakeRuntime(FakeVariant::kComplete, v5_, "libndi.so.5");
    ASSERT_TRUE(NDIlib_initialize());
    EXPECT_TRUE(NDIlib_extensions_available());
    EXPECT_FALSE(Mapped(unfit));
    EXPECT_FALSE(Mapped(fit));
    const std::vector<RecordedCall> calls = RecordedCalls(log_);
    if (GetParam() == FakeVariant::kInitializeFails)
        EXPECT_EQ(calls, (std::vector<RecordedCall>{{"initialize", {{"from", unfit}}}}));
    else
        EXPECT_TRUE(calls.empty());
    NDIlib_destroy();
}

INSTANTIATE_TEST_SUITE_P(Variants, UnfitVendorRuntime,
                         ::testing::Values(FakeVariant::kWithoutSendVideo, FakeVariant::kInitializeFails),
                         [](const auto& info) {
                             return info.param == FakeVariant::kWithoutSendVideo ? "LackingASymbol" : "FailingToInitialize";
                         });

}  // namespace
}  // namespace vantor::test
