// Test entry for suites that need Qt: one QApplication (offscreen in CI) for the whole run.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Copies remember their setups: in a folder of the run's own (their children's too), never
    // in the user's.
    QTemporaryDir config, state;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    qunsetenv("STATE_DIRECTORY");  // a run under a service manager would take its folder first
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
