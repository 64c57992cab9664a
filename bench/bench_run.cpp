#include "bench_run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vantor::bench {

BenchRun ReadCommandLine(int argc, char** argv)
{
    BenchRun run;
    if (argc > 1)
        run.runs = std::max(1, std::atoi(argv[1]));
    if (argc > 2)
        run.window_s = std::max(2, std::atoi(argv[2]));
    return run;
}

RunFolder::RunFolder(const std::string& name)
    : path_((std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string())
{
    std::filesystem::create_directories(path_);
}

RunFolder::~RunFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Spread SpreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

std::string Text(const Spread& s, const char* format)
{
    char buffer[96];
    const std::string f = std::string(format) + " [" + format + " - " + format + "]";
    std::snprintf(buffer, sizeof buffer, f.c_str(), s.median, s.low, s.high);
    return buffer;
}

}  // namespace vantor::bench
