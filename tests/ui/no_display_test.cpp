// ndivantor started where there is no display: one line that names the program without a
// window, exit code 1, no abort.

#include <QProcess>

#include <gtest/gtest.h>

namespace vantor {
namespace {

// The DISPLAY given; null: none set at all.
class NoDisplay : public ::testing::TestWithParam<const char*> {};

TEST_P(NoDisplay, SaysSoInOneLineNamingTheHeadlessProgramAndExitsWithOne)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (GetParam())
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(GetParam()));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(NDIVANTOR_PATH), {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "aborted";
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(program.readAllStandardError(),
              "ndivantor: no display to open the window on; ndivantor-headless runs the same copy without a window\n");
}

INSTANTIATE_TEST_SUITE_P(Displays, NoDisplay,
                         ::testing::Values(nullptr, ":5797"),  // a server no one runs
                         [](const auto& info) { return std::string(info.param ? "Unanswered" : "Unset"); });

}  // namespace
}  // namespace vantor
