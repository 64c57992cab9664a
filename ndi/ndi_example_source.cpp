// A source that sends a moving test pattern until interrupted, to watch with any FFmpeg-based
// player:   ndi_example_source [name]     then     ffplay tcp://127.0.0.1:5960
// (the port is the first free one from 5960 and is printed at start). Under the vendor's runtime
// the source is the vendor's and is watched in an NDI receiver instead.

#include "ndi/extensions.h"
#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <csignal>
#include <cstdio>
#include <vector>

namespace {

volatile std::sig_atomic_t interrupted = 0;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kBox = 160;

// A translucent box that crosses the frame, over transparent black, with a solid bar below it.
void DrawPattern(std::vector<uint8_t>& frame, int64_t n)
{
    std::fill(frame.begin(), frame.end(), 0);
    const int32_t left = int32_t(n * 8 % (kWidth - kBox));
    const int32_t top = kHeight / 2 - kBox / 2;
    for (int32_t y = top; y < top + kBox; ++y)
        for (int32_t x = left; x < left + kBox; ++x) {
            uint8_t* p = &frame[(size_t(y) * kWidth + x) * 4];
            p[0] = uint8_t(x - left);
            p[1] = uint8_t(y - top);
            p[2] = 220;
            p[3] = 200;
        }
    for (int32_t y = top + kBox + 20; y < top + kBox + 40; ++y)
        for (int32_t x = 0; x < left + kBox; ++x) {
            uint8_t* p = &frame[(size_t(y) * kWidth + x) * 4];
            p[1] = p[2] = p[3] = 255;
        }
}

}  // namespace

int main(int argc, char** argv)
{
    if (!NDIlib_initialize()) {
        std::fputs("Cannot run NDI.\n", stderr);
        return 1;
    }
    std::signal(SIGINT, [](int) { interrupted = 1; });
    std::signal(SIGTERM, [](int) { interrupted = 1; });

    NDIlib_send_create_t settings;
    settings.p_ndi_name = argc > 1 ? argv[1] : "Vantor test pattern";
    NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
    if (!sender) {
        std::fputs("Cannot create the source.\n", stderr);  // the built-in runtime says why first
        return 1;
    }
    if (NDIlib_extensions_available())
        std::printf("%s: watch with  ffplay tcp://127.0.0.1:%u\n", settings.p_ndi_name,
                    unsigned(NDIlib_send_get_port(sender)));
    else
        std::printf("%s: sent by the vendor's NDI runtime; watch it in an NDI receiver\n", settings.p_ndi_name);
    std::fflush(stdout);

    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    NDIlib_video_frame_v2_t frame;
    frame.xres = kWidth;
    frame.yres = kHeight;
    frame.frame_rate_N = 30000;
    frame.frame_rate_D = 1200;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = kWidth * 4;
    for (int64_t n = 0; !interrupted; ++n) {
        DrawPattern(pixels, n);
        NDIlib_send_send_video_v2(sender, &frame);
    }
    NDIlib_send_destroy(sender);
    NDIlib_destroy();
    return 0;
}
