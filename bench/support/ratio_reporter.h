#pragma once
// A console reporter that also prints, after the run, how each benchmark compares with its
// reference (for example a memcpy of the same bytes): the ratio of CPU time per iteration.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vantor::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Each pair: (benchmark name, reference name), both with their arguments, e.g.
    // {"BM_CompositeCopy/1920/1080", "BM_MemcpyLogoRows/1920/1080"}.
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> cpu_ns_per_iteration_;
};

// Runs the registered benchmarks with the reporter; the body of a benchmark program's main.
int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs);

}  // namespace vantor::bench
