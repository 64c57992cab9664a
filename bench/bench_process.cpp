#include "bench_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

extern char** environ;

namespace vantor::bench {
namespace {

double Seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

// A pipe whose ends are not inherited by later children: [0] to read, [1] to write.
bool MakePipe(ndi::UniqueFd (&ends)[2])
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    ends[0] = ndi::UniqueFd(fds[0]);
    ends[1] = ndi::UniqueFd(fds[1]);
    return true;
}

// Hands one end of a pipe to the child as `child_fd`, or /dev/null when there is no pipe.
void Attach(posix_spawn_file_actions_t& files, int child_fd, const ndi::UniqueFd& end, int null_flags)
{
    if (end.valid())
        posix_spawn_file_actions_adddup2(&files, end.get(), child_fd);
    else
        posix_spawn_file_actions_addopen(&files, child_fd, "/dev/null", null_flags, 0);
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& added)
{
    std::vector<std::string> all;
    for (char** e = environ; *e; ++e)
        all.emplace_back(*e);
    all.insert(all.end(), added.begin(), added.end());
    return all;
}

std::vector<char*> Pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (const std::string& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

BenchProcess::BenchProcess(const std::vector<std::string>& argv, const Launch& launch)
{
    ndi::UniqueFd none, out[2];
    if (launch.pipe_output && !MakePipe(out))
        return;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    Attach(files, 0, none, O_RDONLY);
    Attach(files, 1, out[1], O_WRONLY);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);  // the figures stay readable
    const std::vector<std::string> environment = EnvironmentWith(launch.environment);
    if (posix_spawnp(&pid_, argv[0].c_str(), &files, nullptr, Pointers(argv).data(),
                     Pointers(environment).data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&files);
    output_ = std::move(out[0]);
}

BenchProcess::~BenchProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

double BenchProcess::WaitCpuSeconds()
{
    if (pid_ <= 0)
        return -1;
    int status = 0;
    rusage usage{};
    const pid_t ended = ::wait4(pid_, &status, 0, &usage);
    pid_ = -1;
    if (ended <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

bool LineReader::ReadAvailable(std::vector<std::string>& lines)
{
    char buffer[4096];
    for (;;) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0)
            return true;
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending_.append(buffer, size_t(got));
        for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
            lines.push_back(pending_.substr(0, end));
    }
}

bool LineReader::WaitFor(const std::string& line, int timeout_ms)
{
    const int64_t give_up_ns = NowNs() + int64_t{timeout_ms} * 1'000'000;
    for (bool open = true;; open = ReadAvailable(seen_)) {
        if (std::find(seen_.begin(), seen_.end(), line) != seen_.end())
            return true;
        if (!open || NowNs() >= give_up_ns)
            return false;
        pollfd ready{fd_, POLLIN, 0};
        ::poll(&ready, 1, 50);
    }
}

bool LineReader::SawLineStarting(const std::string& prefix) const
{
    return std::any_of(seen_.begin(), seen_.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

namespace {

// The sum over a process's threads of what `count` reads from one thread's folder in /proc;
// -1 when no thread gave a figure (the process is gone).
int64_t SumOverThreads(pid_t pid, const std::function<std::optional<int64_t>(const std::filesystem::path&)>& count)
{
    std::error_code error;
    int64_t sum = 0;
    bool any = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        if (const auto figure = count(task.path())) {
            sum += *figure;
            any = true;
        }
    }
    return any ? sum : -1;
}

}  // namespace

double CpuSecondsOf(pid_t pid)
{
    const int64_t run_ns = SumOverThreads(pid, [](const std::filesystem::path& task) -> std::optional<int64_t> {
        std::ifstream schedstat(task / "schedstat");
        int64_t ns = 0;
        return schedstat >> ns ? std::optional(ns) : std::nullopt;
    });
    return run_ns < 0 ? -1 : double(run_ns) * 1e-9;
}

int64_t ContextSwitchesOf(pid_t pid)
{
    return SumOverThreads(pid, [](const std::filesystem::path& task) -> std::optional<int64_t> {
        std::ifstream status(task / "status");
        std::optional<int64_t> switches;
        for (std::string key; status >> key;) {
            int64_t count = 0;
            if ((key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") && status >> count)
                switches = switches.value_or(0) + count;
        }
        return switches;
    });
}

int64_t ResidentBytesOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; status >> key;) {
        int64_t kib = 0;
        if (key == "VmRSS:" && status >> kib)
            return kib * 1024;
    }
    return -1;
}

int64_t NowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace vantor::bench
