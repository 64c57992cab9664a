#include "sender_cpu.h"

#include "bench_process.h"
#include "logo_job.h"

#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace vantor::bench {
namespace {

constexpr int kWarmUpFrames = 25;

int32_t LogoLeft(int32_t width) { return width - kLogoW - 20; }
int32_t LogoTop(int32_t height) { return height / 120; }

// What the engine does for a new picture: clear the frame, copy the logo to its corner.
void DrawFrame(const std::vector<uint8_t>& logo, std::vector<uint8_t>& frame, int32_t w, int32_t h)
{
    std::memset(frame.data(), 0, frame.size());
    for (int32_t y = 0; y < kLogoH; ++y)
        std::memcpy(&frame[(size_t(LogoTop(h) + y) * w + LogoLeft(w)) * 4], &logo[size_t(y) * kLogoW * 4],
                    size_t(kLogoW) * 4);
}

// A picture over the whole frame with every pixel and alpha varied, as a full-frame graphic
// (a photograph, a gradient) is: the largest key frames a still output makes.
void DrawFullFramePicture(std::vector<uint8_t>& frame, int32_t w, int32_t h)
{
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = &frame[(size_t(y) * w + x) * 4];
            p[0] = uint8_t(x * 7 + y);
            p[1] = uint8_t(x ^ y);
            p[2] = uint8_t(y * 3);
            p[3] = uint8_t(128 + (x + y) % 128);
        }
}

std::vector<std::string> CopyingReceiver(uint16_t port)
{
    return {"ffmpeg", "-nostdin", "-v", "error", "-i", "tcp://127.0.0.1:" + std::to_string(port),
            "-c", "copy", "-f", "null", "-"};
}

CpuFigures MeasureOurs(const CpuCase& c)
{
    NDIlib_send_create_t settings;
    settings.p_ndi_name = "Vantor bench";
    NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
    if (!sender)
        return {};
    BenchProcess receiver(CopyingReceiver(NDIlib_send_get_port(sender)));
    std::vector<uint8_t> logo, pixels(size_t(c.width) * c.height * 4);
    NDIlib_video_frame_v2_t frame;
    frame.xres = c.width;
    frame.yres = c.height;
    frame.frame_rate_N = c.rate_N;
    frame.frame_rate_D = c.rate_D;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = c.width * 4;
    DrawLogo(0, logo);
    if (c.full_frame)
        DrawFullFramePicture(pixels, c.width, c.height);
    else
        DrawFrame(logo, pixels, c.width, c.height);
    for (int i = 0; i < kWarmUpFrames; ++i)  // the receiver connects and gets its key frame
        NDIlib_send_send_video_v2(sender, &frame);

    double drawing_s = 0;
    const double start_s = ProcessCpuSeconds();
    for (int n = 1; n <= c.frames; ++n) {
        if (c.logo_changes) {
            const double t = ThreadCpuSeconds();
            DrawLogo(n, logo);
            DrawFrame(logo, pixels, c.width, c.height);
            drawing_s += ThreadCpuSeconds() - t;
        }
        NDIlib_send_send_video_v2(sender, &frame);
    }
    const double used_s = ProcessCpuSeconds() - start_s;
    NDIlib_send_destroy(sender);
    receiver.WaitCpuSeconds();
    return {used_s * 1000 / c.frames, drawing_s * 1000 / c.frames, -1};
}

// Connects as soon as the ffmpeg job listens and reads until it ends.
void ReceiveFrom(uint16_t port)
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            std::vector<char> buffer(1 << 20);
            while (::recv(s, buffer.data(), buffer.size(), 0) > 0) {
            }
            ::close(s);
            return;
        }
        ::close(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The ffmpeg job for `frames` frames: its CPU seconds.
double RunFfmpegJob(const CpuCase& c, int frames, const std::string& logo_path)
{
    const uint16_t port = UnusedPort();
    BenchProcess job(FfmpegJobCommand({c.width, c.height, c.rate_N, c.rate_D,
                                       RawLogoInput(logo_path, c.rate_N, c.rate_D, false), LogoLeft(c.width),
                                       LogoTop(c.height), false, {"-frames:v", std::to_string(frames)}, port}));
    ReceiveFrom(port);
    return job.WaitCpuSeconds();
}

CpuFigures MeasureFfmpeg(const CpuCase& c)
{
    const std::string logo_path = "/tmp/vantor-bench-logo-" + std::to_string(::getpid()) + ".raw";
    {
        std::ofstream file(logo_path, std::ios::binary);
        std::vector<uint8_t> logo;
        for (int n = 0; n < (c.logo_changes ? c.frames : 1); ++n) {
            DrawLogo(n, logo);
            file.write(reinterpret_cast<const char*>(logo.data()), std::streamsize(logo.size()));
        }
    }
    // Start-up cost drops out: the difference between a long and a one-frame run.
    const double one_s = RunFfmpegJob(c, 1, logo_path);
    const double all_s = RunFfmpegJob(c, c.frames, logo_path);
    std::remove(logo_path.c_str());
    CpuFigures figures;
    if (one_s >= 0 && all_s >= 0)
        figures.ffmpeg_ms = (all_s - one_s) * 1000 / (c.frames - 1);
    return figures;
}

}  // namespace

CpuFigures MeasureSenderCpu(const CpuCase& c)
{
    CpuFigures figures = MeasureOurs(c);
    if (!c.full_frame)
        figures.ffmpeg_ms = MeasureFfmpeg(c).ffmpeg_ms;
    return figures;
}

}  // namespace vantor::bench
