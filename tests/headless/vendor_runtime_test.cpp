// The headless program over the vendor's runtime (the fake one): the engine's calls as the vendor
// receives them; and beside it, when the operator asks for the built-in runtime.

#include "fake_vendor.h"
#include "stream_client.h"
#include "support/spin_until.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace vantor::test {
namespace {

class HeadlessBesideFakeVendor : public ::testing::Test {
protected:
    // Runs the program until `sending` holds, then stops it with SIGTERM.
    template <typename Condition>
    void RunUntil(const char* mode, Condition sending)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NDI_RUNTIME_DIR_V6"), QString::fromStdString(v6_));
        environment.insert(QString::fromLatin1(kFakeLogVariable), QString::fromStdString(log_));
        environment.insert(QStringLiteral("NDIVANTOR_RUNTIME"), QString::fromLatin1(mode));
        program_.setProcessEnvironment(environment);
        program_.start(QStringLiteral(NDIVANTOR_HEADLESS), {});
        ASSERT_TRUE(SpinUntil(sending, 10000));
        ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
        ASSERT_TRUE(program_.waitForFinished(8000));
        EXPECT_EQ(program_.exitCode(), 0);
    }
    void TearDown() override
    {
        program_.kill();
        program_.waitForFinished(2000);
    }

    QTemporaryDir dir_;
    const std::string v6_ = dir_.filePath(QStringLiteral("v6")).toStdString();
    const std::string log_ = dir_.filePath(QStringLiteral("calls.log")).toStdString();
    const std::string library_ = InstallFakeRuntime(FakeVariant::kComplete, v6_, "libndi.so.6");
    QProcess program_;
};

TEST_F(HeadlessBesideFakeVendor, RunsOnTheVendorsRuntimeWithTheEnginesCallsInTheirOrder)
{
    RunUntil("", [&] { return RecordedCalls(log_).size() >= 6; });  // up to the third frame
    const std::vector<std::string> calls = RecordedCalls(log_);
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(calls[0], "initialize from=" + library_);
    EXPECT_EQ(calls[1], "send_create name=Kelo Vantor 1 groups=(null) clock_video=1 clock_audio=0");
    const size_t text_at = calls[2].find(" text=<ndi_product long_name=") + 6;
    const size_t text_length = std::strlen(calls[2].c_str() + text_at);
    EXPECT_TRUE(calls[2].starts_with("metadata length=" + std::to_string(text_length) + " "))
        << "the length counts the text's bytes, without a terminating zero: " << calls[2];
    for (size_t i = 3; i < calls.size() - 2; ++i)
        EXPECT_EQ(calls[i], "send_video 1280x720 FourCC=BGRA rate=30000/1200 aspect=1.77778 format=1 "
                            "timecode=9223372036854775807 p_data=set stride=5120 p_metadata=(null) timestamp=0");
    EXPECT_EQ(calls[calls.size() - 2], "send_destroy");
    EXPECT_EQ(calls.back(), "destroy");
    EXPECT_TRUE(program_.readAllStandardError().contains(
        QByteArray::fromStdString("NDI runtime: " + library_ + " (" + kFakeVersion + ")\n")));
}

TEST_F(HeadlessBesideFakeVendor, WithTheBuiltInRuntimeAskedForSendsItsOwnStreamAndLeavesTheLibraryAlone)
{
    std::optional<StreamInfo> info;
    RunUntil("builtin", [&] {
        const auto port = SourcePortOf(program_.processId());
        return port && (info = ProbeStream(*port));
    });
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->title, QStringLiteral("Kelo Vantor 1"));
    EXPECT_TRUE(RecordedCalls(log_).empty());
    EXPECT_TRUE(program_.readAllStandardError().contains("NDI runtime: built-in (NDIVANTOR_RUNTIME=builtin)\n"));
}

}  // namespace
}  // namespace vantor::test
