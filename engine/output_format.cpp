#include "engine/output_format.h"

#include <algorithm>
#include <cstdio>

namespace vantor {

const ResolutionRow* FindResolution(int menu_id)
{
    const auto it = std::find_if(kResolutions.begin(), kResolutions.end(),
                                 [menu_id](const ResolutionRow& row) { return row.menu_id == menu_id; });
    return it == kResolutions.end() ? nullptr : &*it;
}

const FrameRateRow* FindFrameRate(int menu_id)
{
    const auto it = std::find_if(kFrameRates.begin(), kFrameRates.end(),
                                 [menu_id](const FrameRateRow& row) { return row.menu_id == menu_id; });
    return it == kFrameRates.end() ? nullptr : &*it;
}

std::string InfoText(const OutputFormat& format)
{
    const float rate = static_cast<float>(format.frame_rate_N) / static_cast<float>(format.frame_rate_D);
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d - %2.2f fps", format.width, format.height,
                  static_cast<double>(rate));
    return text;
}

}  // namespace vantor
