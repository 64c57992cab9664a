#include "ratio_reporter.h"

#include <cstdio>

namespace vantor::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs)
        if (run.iterations > 0)
            cpu_ns_per_iteration_[run.benchmark_name()] =
                run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize()
{
    ConsoleReporter::Finalize();
    std::printf("\nRatios (CPU time per iteration):\n");
    for (const auto& [name, reference] : pairs_) {
        const auto a = cpu_ns_per_iteration_.find(name);
        const auto b = cpu_ns_per_iteration_.find(reference);
        if (a == cpu_ns_per_iteration_.end() || b == cpu_ns_per_iteration_.end() || b->second <= 0)
            continue;
        std::printf("  %-34s / %-34s = %6.2f x\n", name.c_str(), reference.c_str(), a->second / b->second);
    }
}

int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace vantor::bench
