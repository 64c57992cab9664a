// The engine's own work per frame, without the send: the stepper's tick, the clear of what was
// drawn last and the composite of a 480 x 184 logo, and the preview conversion while it is
// live, each beside a memset of the whole frame (goal: within 1.5 x of it while the logo is
// drawn). Ratios are printed at the end.

#include "engine/frame_builder.h"
#include "engine/output_frame.h"
#include "preview/preview_buffer.h"
#include "support/ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

using namespace vantor;

struct Scene {
    explicit Scene(int32_t width, int32_t height)
    {
        frame.Allocate();
        frame.Describe({width, height, 30000, 1200});
        overlay.frames.first.image.FillSolid(480, 184, 200, 100, 50);
        overlay.overlay_on = 1;
        overlay.x_offset = 20;
        overlay.y_offset = 20;
        preview.PreparePreview();
        watermark.on = false;
        builder.DrawStart();
    }
    void ConvertPreview()
    {
        const NDIlib_video_frame_v2_t& r = frame.record();
        preview.ConvertFrame(r.p_data, r.xres, r.yres, r.line_stride_in_bytes, r.FourCC, r.picture_aspect_ratio);
        preview.HandOver();
    }

    OutputFrame frame;
    OverlayState overlay;
    PlaybackState playback;
    PreviewBuffer preview;
    FramePainter painter{frame};
    HouseWatermark watermark;
    FrameBuilder builder{painter, overlay, playback, watermark};
};

void BM_EngineFrame(benchmark::State& state)
{
    Scene scene(int32_t(state.range(0)), int32_t(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.builder.DrawNext());
        benchmark::ClobberMemory();
    }
}

void BM_EngineFrameWithPreview(benchmark::State& state)
{
    Scene scene(int32_t(state.range(0)), int32_t(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.builder.DrawNext());
        scene.ConvertPreview();
        benchmark::ClobberMemory();
    }
}

void BM_PreviewConversion(benchmark::State& state)
{
    Scene scene(int32_t(state.range(0)), int32_t(state.range(1)));
    for (auto _ : state) {
        scene.ConvertPreview();
        benchmark::ClobberMemory();
    }
}

void BM_MemsetFrame(benchmark::State& state)
{
    OutputFrame frame;
    frame.Allocate();
    frame.Describe({int32_t(state.range(0)), int32_t(state.range(1)), 30000, 1200});
    for (auto _ : state) {
        std::memset(frame.pixels(), 0, frame.used_bytes());
        benchmark::ClobberMemory();
    }
}

#define FRAME_SIZES Args({1920, 1080})->Args({4096, 2160})
BENCHMARK(BM_EngineFrame)->FRAME_SIZES;
BENCHMARK(BM_EngineFrameWithPreview)->FRAME_SIZES;
BENCHMARK(BM_PreviewConversion)->FRAME_SIZES;
BENCHMARK(BM_MemsetFrame)->FRAME_SIZES;

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string size : {"/1920/1080", "/4096/2160"}) {
        pairs.push_back({"BM_EngineFrame" + size, "BM_MemsetFrame" + size});
        pairs.push_back({"BM_EngineFrameWithPreview" + size, "BM_MemsetFrame" + size});
        pairs.push_back({"BM_PreviewConversion" + size, "BM_MemsetFrame" + size});
    }
    return vantor::bench::RunWithRatios(argc, argv, std::move(pairs));
}
