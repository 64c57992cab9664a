#pragma once
// The window program's application, made so that a machine without a display to open windows
// on (no DISPLAY or WAYLAND_DISPLAY, or one that does not answer) gets one line that says what
// to do and exit code 1, instead of Qt's platform-plugin abort and a core dump.

#include <QApplication>

#include <memory>

namespace vantor {

inline constexpr char kNoDisplayMessage[] =
    "ndivantor: no display to open the window on; ndivantor-headless runs the same copy without a window";

// `argc` must outlive the application, as QApplication requires.
std::unique_ptr<QApplication> MakeApplicationOrExit(int& argc, char** argv);

}  // namespace vantor
