#pragma once
// The job every sender benchmark compares: a 480 x 184 logo on a transparent BGRA frame,
// QuickTime Animation, live Matroska over TCP to a receiver; the logo pictures, and the ffmpeg
// command line that does the same job.

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::bench {

inline constexpr int32_t kLogoW = 480;
inline constexpr int32_t kLogoH = 184;

// Logo number n: colours and alpha that differ from one n to the next.
void DrawLogo(int64_t n, std::vector<uint8_t>& logo);

struct FfmpegJob {
    int32_t width, height, rate_N, rate_D;
    std::vector<std::string> logo_input;  // ffmpeg's options and -i for the logo pictures
    int32_t logo_x, logo_y;               // where the logo's top left goes
    bool real_time;                       // paced to the rate (-re), else as fast as it can
    std::vector<std::string> limit;       // e.g. {"-frames:v", "100"}; empty: until stopped
    uint16_t port;                        // listens there for its one receiver
};

// A transparent canvas, the logo overlaid, qtrle with no key frame after the first, and live
// Matroska with each frame in a cluster of its own, as the built-in runtime writes it.
std::vector<std::string> FfmpegJobCommand(const FfmpegJob& job);

// The logo pictures as one ffmpeg input: raw BGRA frames from a file, played in a loop or not.
std::vector<std::string> RawLogoInput(const std::string& path, int32_t rate_N, int32_t rate_D, bool loop);

// A TCP port that was free a moment ago.
uint16_t UnusedPort();

}  // namespace vantor::bench
