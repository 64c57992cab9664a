// The headless program over the vendor's runtime (the fake one), and beside it when the operator
// asks for the built-in one: the engine's calls as the vendor receives them, and what the
// operator sees.

#include "fake_vendor.h"
#include "program_output.h"
#include "stream_client.h"
#include "support/spin_until.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>

namespace vantor::test {
namespace {

class HeadlessBesideFakeVendor : public ::testing::Test {
protected:
    void Start(const char* mode)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NDI_RUNTIME_DIR_V6"), QString::fromStdString(v6_));
        environment.insert(QString::fromLatin1(kFakeLogVariable), QString::fromStdString(log_));
        environment.remove(QStringLiteral("NDIVANTOR_RUNTIME"));
        if (mode)
            environment.insert(QStringLiteral("NDIVANTOR_RUNTIME"), QString::fromLatin1(mode));
        program_.setProcessEnvironment(environment);
        program_.start(QStringLiteral(NDIVANTOR_HEADLESS), {});
        ASSERT_TRUE(program_.waitForStarted(5000));
    }
    void EndInOrder()
    {
        ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
        ASSERT_TRUE(program_.waitForFinished(8000));
        EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program_.exitCode(), 0);
    }
    void TearDown() override
    {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(2000);
        }
    }

    QTemporaryDir dir_;
    const std::string v6_ = dir_.filePath(QStringLiteral("v6")).toStdString();
    const std::string log_ = dir_.filePath(QStringLiteral("calls.log")).toStdString();
    QProcess program_;
};

TEST_F(HeadlessBesideFakeVendor, RunsOnTheVendorsRuntimeWithTheEnginesCallsInTheirOrder)
{
    const std::string library = InstallFakeRuntime(FakeVariant::kComplete, v6_, "libndi.so.6");
    Start(nullptr);
    ASSERT_TRUE(WaitForLine(program_, "Sending", 8000));
    EXPECT_FALSE(SourcePortOf(program_.processId()).has_value()) << "a built-in source runs beside the vendor's";
    ASSERT_TRUE(SpinUntil([&] { return RecordedCalls(log_).size() >= 6; }, 5000)) << "no frames reached the vendor";
    EndInOrder();

    const std::vector<RecordedCall> calls = RecordedCalls(log_);
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls[0], (RecordedCall{"initialize", {{"from", library}}}));
    EXPECT_EQ(calls[1], (RecordedCall{"send_create",
                                      {{"name", "Kelo Vantor 1"}, {"groups", "(null)"}, {"clock_video", "1"},
                                       {"clock_audio", "0"}}}));
    const std::string synthesize = std::to_string(std::numeric_limits<int64_t>::max());
    std::map<std::string, std::string> metadata = calls[2].fields;
    EXPECT_EQ(calls[2].operation, "metadata");
    EXPECT_EQ(metadata["length"], std::to_string(metadata["text"].size())) << "the length counts the text's bytes";
    EXPECT_TRUE(metadata["text"].starts_with("<ndi_product long_name=")) << metadata["text"];
    EXPECT_EQ(metadata["timecode"], synthesize);
    for (size_t i = 3; i + 2 < calls.size(); ++i) {
        std::map<std::string, std::string> frame = calls[i].fields;
        EXPECT_NE(std::exchange(frame["p_data"], ""), "0");
        EXPECT_EQ(calls[i].operation, "send_video") << "call " << i;
        EXPECT_EQ(frame, (std::map<std::string, std::string>{
                             {"xres", "1280"}, {"yres", "720"}, {"FourCC", "BGRA"}, {"frame_rate", "30000/1200"},
                             {"aspect", "1.777778"}, {"format", "1"}, {"timecode", synthesize}, {"p_data", ""},
                             {"stride", "5120"}, {"p_metadata", "(null)"}, {"timestamp", "0"}}));
    }
    EXPECT_EQ(calls[calls.size() - 2].operation, "send_destroy");
    EXPECT_EQ(calls.back().operation, "destroy");
    EXPECT_TRUE(program_.readAllStandardError().contains(
        QByteArray::fromStdString("NDI runtime: " + library + " (" + kFakeVersion + ")\n")));
}

TEST_F(HeadlessBesideFakeVendor, WithTheBuiltInRuntimeAskedForSendsItsOwnStreamAndLeavesTheLibraryAlone)
{
    InstallFakeRuntime(FakeVariant::kComplete, v6_, "libndi.so.6");
    Start("builtin");
    ASSERT_TRUE(WaitForLine(program_, "Sending", 8000));
    const auto port = SourcePortOf(program_.processId());
    ASSERT_TRUE(port.has_value());
    const auto info = ProbeStream(*port);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->title, QStringLiteral("Kelo Vantor 1"));
    EndInOrder();
    EXPECT_TRUE(RecordedCalls(log_).empty());
    EXPECT_TRUE(program_.readAllStandardError().contains("NDI runtime: built-in (NDIVANTOR_RUNTIME=builtin)\n"));
}

TEST_F(HeadlessBesideFakeVendor, WithTheVendorsRuntimeAskedForAndNotFoundCannotRunNdiAndSaysWhereItLooked)
{
    Start("vendor");
    ASSERT_TRUE(program_.waitForFinished(8000));
    EXPECT_EQ(program_.exitCode(), 1);
    const QByteArray errors = program_.readAllStandardError();
    EXPECT_TRUE(errors.contains("Cannot run NDI.")) << errors.constData();
    EXPECT_TRUE(errors.contains(QByteArray::fromStdString(v6_ + "/libndi.so.6: "))) << errors.constData();
    EXPECT_TRUE(errors.contains("libndi.so.5: ")) << errors.constData();
}

}  // namespace
}  // namespace vantor::test
