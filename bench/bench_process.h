#pragma once
// Child processes for the benchmarks: an ffmpeg job, a receiver, a copy of the program; what
// each cost in CPU and memory; the lines they print.

#include "ndi/unique_fd.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vantor::bench {

// Its error output always goes to /dev/null.
struct Launch {
    bool pipe_output = false;              // a pipe from its standard output, else /dev/null
    std::vector<std::string> environment;  // "NAME=value", added to this process's own
};

class BenchProcess {
public:
    explicit BenchProcess(const std::vector<std::string>& argv, const Launch& launch = {});
    ~BenchProcess();  // kills it if it still runs
    BenchProcess(const BenchProcess&) = delete;
    BenchProcess& operator=(const BenchProcess&) = delete;

    pid_t pid() const { return pid_; }
    int output_fd() const { return output_.get(); }
    // Waits for the end; the child's own CPU time in seconds (user + system), -1 on failure.
    double WaitCpuSeconds();

private:
    pid_t pid_ = -1;
    ndi::UniqueFd output_;
};

// Complete lines from a pipe, as they arrive.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    // Appends the lines complete by now to `lines`; false once the pipe has closed.
    bool ReadAvailable(std::vector<std::string>& lines);
    // Waits until a line equal to `line` has arrived, now or before; false at the timeout or
    // the pipe's end. Lines taken by ReadAvailable are not seen here.
    bool WaitFor(const std::string& line, int timeout_ms);
    // Whether WaitFor has read a line that starts with `prefix`.
    bool SawLineStarting(const std::string& prefix) const;

private:
    int fd_;
    std::string pending_;
    std::vector<std::string> seen_;  // every line WaitFor has read
};

// This process's CPU time so far in seconds (user + system, every thread).
double ProcessCpuSeconds();
// The calling thread's CPU time in seconds.
double ThreadCpuSeconds();
// Another process's CPU time so far, summed over its threads to the nanosecond (from
// /proc/<pid>/task/*/schedstat: utime and stime in /proc/<pid>/stat count 10 ms ticks, too
// coarse for a process that uses a few ms a second); -1 when it is gone.
double CpuSecondsOf(pid_t pid);
// Its context switches so far, voluntary and not, summed over its threads (those that ended
// are not counted); -1 when it is gone.
int64_t ContextSwitchesOf(pid_t pid);
// Its resident memory in bytes (VmRSS), -1 when it is gone.
int64_t ResidentBytesOf(pid_t pid);
// Nanoseconds on the monotonic clock.
int64_t NowNs();

}  // namespace vantor::bench
