#include "logo_job.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantor::bench {
namespace {

std::string Rate(int32_t rate_N, int32_t rate_D)
{
    return std::to_string(rate_N) + "/" + std::to_string(rate_D);
}

}  // namespace

void DrawLogo(int64_t n, std::vector<uint8_t>& logo)
{
    logo.resize(size_t(kLogoW) * kLogoH * 4);
    for (int32_t y = 0; y < kLogoH; ++y)
        for (int32_t x = 0; x < kLogoW; ++x) {
            uint8_t* p = &logo[(size_t(y) * kLogoW + x) * 4];
            p[0] = uint8_t(x + n);
            p[1] = uint8_t(y * 2 + n);
            p[2] = uint8_t((x ^ y) + n * 3);
            p[3] = uint8_t(x * 255 / (kLogoW - 1));
        }
}

std::vector<std::string> FfmpegJobCommand(const FfmpegJob& job)
{
    const std::string rate = Rate(job.rate_N, job.rate_D);
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error"};
    if (job.real_time)
        command.push_back("-re");
    command.insert(command.end(), {"-f", "lavfi", "-i",
                                   "color=c=black@0.0:s=" + std::to_string(job.width) + "x" +
                                       std::to_string(job.height) + ":r=" + rate + ",format=bgra"});
    if (job.real_time)
        command.push_back("-re");
    command.insert(command.end(), job.logo_input.begin(), job.logo_input.end());
    command.insert(command.end(), {"-filter_complex", "[0][1]overlay=x=" + std::to_string(job.logo_x) +
                                                          ":y=" + std::to_string(job.logo_y) + ":format=auto"});
    command.insert(command.end(), job.limit.begin(), job.limit.end());
    command.insert(command.end(), {"-c:v", "qtrle", "-g", "1000000", "-f", "matroska", "-live", "1",
                                   "-cluster_time_limit", "0",
                                   "tcp://127.0.0.1:" + std::to_string(job.port) + "?listen=1"});
    return command;
}

std::vector<std::string> RawLogoInput(const std::string& path, int32_t rate_N, int32_t rate_D, bool loop)
{
    std::vector<std::string> input;
    if (loop)
        input = {"-stream_loop", "-1"};
    input.insert(input.end(), {"-f", "rawvideo", "-pix_fmt", "bgra", "-video_size",
                               std::to_string(kLogoW) + "x" + std::to_string(kLogoH), "-framerate",
                               Rate(rate_N, rate_D), "-i", path});
    return input;
}

uint16_t UnusedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

}  // namespace vantor::bench
