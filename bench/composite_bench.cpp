// Composite of a 480 x 184 logo beside the memory-bandwidth floor: a memcpy of the same rows
// and a memset of the whole frame, with the ratios printed at the end (goal: copy mode within
// 1.5 x of the memcpy of the same bytes). And a full-frame logo at 4096 x 2160 drawn as a fade
// draws it (its alpha weighted) and as a cross-fade (a second logo mixed in), beside its plain
// copy (goal: the weighted copy under 4 ms). And that cross-fade of two gradients as the send
// thread has it: drawn, then taken (compared, copied and encoded for the receivers).

#include "engine/frame_painter.h"
#include "engine/output_frame.h"
#include "imagery/rgba_image.h"
#include "ndi/frame_taker.h"
#include "support/ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kLogoW = 480;
constexpr int32_t kLogoH = 184;

vantor::RgbaImage Logo(int32_t w = kLogoW, int32_t h = kLogoH)
{
    vantor::RgbaImage logo;
    logo.FillSolid(w, h, 200, 100, 50);
    for (int32_t i = 3; i < logo.byte_count; i += 4)
        logo.pixels[i] = static_cast<uint8_t>(i * 7);
    return logo;
}

void BM_CompositeCopy(benchmark::State& state)
{
    const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const vantor::RgbaImage logo = Logo();
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    for (auto _ : state) {
        logo.Composite(20, h / 120, vantor::kCornerUpperRight, vantor::kCompositeCopy, frame.data(), w, h);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kLogoW} * kLogoH * 4);
}

void BM_CompositeBlend(benchmark::State& state)
{
    const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const vantor::RgbaImage logo = Logo();
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    for (auto _ : state) {
        logo.Composite(20, h / 120, vantor::kCornerUpperRight, vantor::kCompositeBlend, frame.data(), w, h);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kLogoW} * kLogoH * 4);
}

// The same rows moved by memcpy between the same two buffers: the floor for copy mode.
void BM_MemcpyLogoRows(benchmark::State& state)
{
    const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const vantor::RgbaImage logo = Logo();
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    const size_t row = size_t(kLogoW) * 4;
    uint8_t* dst = frame.data() + (size_t(h / 120) * w + (w - kLogoW - 20)) * 4;
    for (auto _ : state) {
        for (int32_t y = 0; y < kLogoH; ++y)
            std::memcpy(dst + size_t(y) * w * 4, logo.pixels.get() + y * row, row);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kLogoW} * kLogoH * 4);
}

void BM_MemsetFrame(benchmark::State& state)
{
    const int64_t bytes = state.range(0) * state.range(1) * 4;
    std::vector<uint8_t> frame(static_cast<size_t>(bytes));
    for (auto _ : state) {
        std::memset(frame.data(), 0, frame.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// The painter's draws into a real output frame, the logo as big as the frame. Arg: 0 copies,
// 1 weights, 2 mixes a second picture into the first drawn weighted (a cross-fade in two
// passes), 3 draws the same cross-fade in one pass, as the engine does.
void BM_FullFrameLogo(benchmark::State& state)
{
    vantor::OutputFrame frame;
    if (!frame.Allocate())
        return state.SkipWithError("no memory for the frame");
    frame.Describe(vantor::OutputFormat{4096, 2160, 60000, 1000});
    vantor::FramePainter painter(frame);
    const vantor::RgbaImage logo = Logo(4096, 2160), other = Logo(4096, 2160);
    for (auto _ : state) {
        if (state.range(0) == 0)
            painter.Draw(logo, 0, 0, vantor::kCornerUpperLeft, vantor::kCompositeCopy);
        else if (state.range(0) == 3)
            painter.DrawCrossFade(logo, other, 0, 0, vantor::kCornerUpperLeft, 100, 155);
        else
            painter.DrawWeighted(logo, 0, 0, vantor::kCornerUpperLeft, 100, false);
        if (state.range(0) == 2)
            painter.DrawWeighted(other, 0, 0, vantor::kCornerUpperLeft, 155, true);
        painter.TakeChanges();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{4096} * 2160 * 4);
}

// A gradient of short runs (4 to 28 pixels), as full-frame artwork has them.
vantor::RgbaImage GradientLogo(int32_t w, int32_t h, uint32_t seed)
{
    vantor::RgbaImage logo;
    logo.FillSolid(w, h, 0, 0, 0);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = logo.pixels.get() + size_t(y) * size_t(w) * 4;
        for (int32_t x = 0, level = 0; x < w; ++level) {
            seed = seed * 1664525u + 1013904223u;
            for (int32_t run = int32_t(4 + (seed >> 24) % 25); run > 0 && x < w; --run, ++x) {
                const uint8_t pixel[4] = {uint8_t(level), uint8_t(level * 3 + y), uint8_t(y), uint8_t(255 - level / 4)};
                std::memcpy(row + size_t(x) * 4, pixel, 4);
            }
        }
    }
    return logo;
}

// Each frame a step of the cross-fade, so every row differs from the frame taken before.
void BM_FullFrameCrossFadeTaken(benchmark::State& state)
{
    vantor::OutputFrame frame;
    if (!frame.Allocate())
        return state.SkipWithError("no memory for the frame");
    frame.Describe(vantor::OutputFormat{4096, 2160, 60000, 1000});
    vantor::FramePainter painter(frame);
    const vantor::RgbaImage logo = GradientLogo(4096, 2160, 1), other = GradientLogo(4096, 2160, 2);
    vantor::ndi::Picture taken;
    taken.Reset(4096, 2160);
    vantor::ndi::ByteBuffer delta;
    uint32_t step = 0;
    for (auto _ : state) {
        step = (step + 17) % 256;
        painter.DrawCrossFade(logo, other, 0, 0, vantor::kCornerUpperLeft, step, 255 - step);
        painter.TakeChanges();
        delta.Clear();
        vantor::ndi::TakeFrame(frame.pixels(), 4096 * 4, taken, &delta);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{4096} * 2160 * 4);
}

#define FRAME_SIZES Args({1920, 1080})->Args({4096, 2160})
BENCHMARK(BM_CompositeCopy)->FRAME_SIZES;
BENCHMARK(BM_MemcpyLogoRows)->FRAME_SIZES;
BENCHMARK(BM_CompositeBlend)->FRAME_SIZES;
BENCHMARK(BM_MemsetFrame)->FRAME_SIZES;
BENCHMARK(BM_FullFrameLogo)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullFrameCrossFadeTaken)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char* size : {"/1920/1080", "/4096/2160"}) {
        const std::string s = size;
        pairs.push_back({"BM_CompositeCopy" + s, "BM_MemcpyLogoRows" + s});
        pairs.push_back({"BM_CompositeBlend" + s, "BM_MemcpyLogoRows" + s});
        pairs.push_back({"BM_CompositeCopy" + s, "BM_MemsetFrame" + s});
    }
    pairs.push_back({"BM_FullFrameLogo/1", "BM_FullFrameLogo/0"});
    pairs.push_back({"BM_FullFrameLogo/2", "BM_FullFrameLogo/0"});
    pairs.push_back({"BM_FullFrameLogo/3", "BM_FullFrameLogo/0"});
    return vantor::bench::RunWithRatios(argc, argv, std::move(pairs));
}
