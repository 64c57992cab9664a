#pragma once
// The output format: one resolution and one frame rate for every frame sent, chosen from two
// fixed menus. Every rate is stored over 30000 or 60000; 1200 as denominator marks the 25 and 50
// frame families (25p is 30000/1200, not 25/1).

#include <array>
#include <cstdint>
#include <string>

namespace vantor {

struct OutputFormat {
    int32_t width = 1280;
    int32_t height = 720;
    int32_t frame_rate_N = 30000;
    int32_t frame_rate_D = 1200;
};

struct ResolutionRow {
    int menu_id;
    const char* label;  // menu text, and the Resolution button's caption once chosen
    int32_t width;
    int32_t height;
};

struct FrameRateRow {
    int menu_id;
    const char* label;  // menu text, and the Framerate button's caption once chosen
    int32_t frame_rate_N;
    int32_t frame_rate_D;
};

// In menu order, top to bottom.
inline constexpr std::array<ResolutionRow, 9> kResolutions = {{
    {32785, "4096 x 2160", 4096, 2160},
    {32784, "3840 x 2160", 3840, 2160},
    {32783, "2560 x 1440", 2560, 1440},
    {32771, "1920 x 1080", 1920, 1080},
    {32772, "1280 x 720", 1280, 720},
    {32773, "960 x 540", 960, 540},
    {32774, "720 x 576", 720, 576},
    {32775, "720 x 480", 720, 480},
    {32776, "640 x 360", 640, 360},
}};

inline constexpr std::array<FrameRateRow, 5> kFrameRates = {{
    {32777, "25p", 30000, 1200},
    {32780, "29.97p", 30000, 1001},
    {32778, "30p", 30000, 1000},
    {32781, "50p", 60000, 1200},
    {32782, "60p", 60000, 1000},
}};

inline constexpr const char* kResolutionCaption = "Resolution";  // until the first choice
inline constexpr const char* kFrameRateCaption = "Framerate";

// The row of a menu id, or null for an id of no row.
const ResolutionRow* FindResolution(int menu_id);
const FrameRateRow* FindFrameRate(int menu_id);

// "%d x %d - %2.2f fps", the rate divided in single precision: "1920 x 1080 - 29.97 fps".
std::string InfoText(const OutputFormat& format);

}  // namespace vantor
