#pragma once
// A real client program (ffprobe, ffmpeg) run as a child process, its output going to files so
// that several clients run at once without waiting on each other. Never outlives its test.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vantor::test {

class ChildProcess {
public:
    // Starts `argv`; standard output goes to `output_path`, errors to `output_path` + ".err".
    ChildProcess(const std::vector<std::string>& argv, const std::string& output_path);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Exit status once the child has ended, or -1 when it had to be killed at the timeout.
    int Wait(int timeout_ms);
    // What the child wrote to its error output, for failure messages.
    std::string Errors() const;

private:
    pid_t pid_ = -1;
    std::string output_path_;
};

// A folder for one test's files, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);

}  // namespace vantor::test
