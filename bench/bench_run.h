#pragma once
// What every whole-program benchmark does around its cases: reads [runs] [window seconds] from
// its command line, keeps its pictures in a folder of its own, and gives each figure as the
// median with the spread [lowest - highest] over the runs.

#include <string>
#include <vector>

namespace vantor::bench {

struct BenchRun {
    int runs = 3;
    int window_s = 10;
};

BenchRun ReadCommandLine(int argc, char** argv);

// A folder in the temporary directory, removed with everything in it when this goes.
class RunFolder {
public:
    explicit RunFolder(const std::string& name);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct Spread {
    double median, low, high;
};

// `values` not empty.
Spread SpreadOf(std::vector<double> values);
// "median [low - high]", each written with `format` ("%.3f").
std::string Text(const Spread& s, const char* format);

}  // namespace vantor::bench
