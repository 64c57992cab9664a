#pragma once
// Child processes for the benchmarks: an ffmpeg job, a receiver, and what each cost in CPU.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vantor::bench {

class BenchProcess {
public:
    explicit BenchProcess(const std::vector<std::string>& argv);  // output to /dev/null
    ~BenchProcess();  // kills it if it still runs
    BenchProcess(const BenchProcess&) = delete;
    BenchProcess& operator=(const BenchProcess&) = delete;

    // Waits for the end; the child's own CPU time in seconds (user + system), -1 on failure.
    double WaitCpuSeconds();

private:
    pid_t pid_ = -1;
};

// This process's CPU time so far in seconds (user + system, every thread).
double ProcessCpuSeconds();
// The calling thread's CPU time in seconds.
double ThreadCpuSeconds();

}  // namespace vantor::bench
