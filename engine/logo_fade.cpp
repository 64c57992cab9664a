#include "engine/logo_fade.h"

#include <algorithm>
#include <cmath>

namespace vantor {
namespace {

// Steps of 1/n added n times miss 1 by a rounding error: within it, the end is reached.
constexpr double kEndTolerance = 1e-9;

double Toward(double from, double to, double step)
{
    const double next = from < to ? std::min(to, from + step) : std::max(to, from - step);
    return std::abs(next - to) < kEndTolerance ? to : next;
}

uint8_t Weight(double share, int32_t opacity_percent)
{
    return static_cast<uint8_t>(std::lround(share * std::clamp(opacity_percent, 0, 100) * 255.0 / 100.0));
}

}  // namespace

int32_t FadeFrames(int32_t fade_ms, int32_t frame_rate_N, int32_t frame_rate_D)
{
    if (fade_ms <= 0 || frame_rate_N <= 0 || frame_rate_D <= 0)
        return 0;
    return static_cast<int32_t>(std::lround(double(fade_ms) * frame_rate_N / (1000.0 * frame_rate_D)));
}

void LogoFade::Settle(bool visible, uint32_t picture_changes)
{
    level_ = visible ? 1 : 0;
    cross_ = 1;
    picture_changes_ = picture_changes;
}

void LogoFade::Step(bool visible, uint32_t picture_changes, int32_t fade_frames)
{
    const double step = fade_frames > 0 ? 1.0 / fade_frames : 1.0;
    if (picture_changes != picture_changes_) {
        picture_changes_ = picture_changes;
        if (fade_frames > 0 && level_ > 0) {
            // What showed becomes the leaving picture; one that was still leaving is gone.
            leaving_from_ = level_;
            level_ = 0;
            cross_ = 0;
        }
    }
    level_ = Toward(level_, visible ? 1 : 0, step);
    cross_ = Toward(cross_, 1, step);
}

LogoWeights LogoFade::Weights(int32_t opacity_percent) const
{
    return {Weight(level_, opacity_percent), Weight(leaving_from_ * (1 - cross_), opacity_percent)};
}

}  // namespace vantor
