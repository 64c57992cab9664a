#include "ndi/video_format.h"

#include <cmath>
#include <numeric>

namespace vantor::ndi {
namespace {

struct Fraction {
    int64_t num = 0;
    int64_t den = 1;
};

// The fraction nearest `value` (positive) with both terms at most `max`: the continued
// fraction's last convergent within the bound, or the semiconvergent after it when nearer.
Fraction NearestFraction(double value, int64_t max)
{
    Fraction before{1, 0}, last{int64_t(std::floor(value)), 1};
    double rest = value - std::floor(value);
    while (rest > 1e-12) {
        const double inverse = 1.0 / rest;
        const int64_t term = int64_t(std::floor(inverse));
        rest = inverse - std::floor(inverse);
        if (term > (max - before.num) / std::max<int64_t>(last.num, 1) ||
            term > (max - before.den) / last.den) {
            const int64_t most = std::min((max - before.num) / std::max<int64_t>(last.num, 1),
                                          (max - before.den) / last.den);
            const Fraction semi{most * last.num + before.num, most * last.den + before.den};
            const auto error = [&](Fraction f) { return std::abs(value - double(f.num) / double(f.den)); };
            return most > 0 && error(semi) < error(last) ? semi : last;
        }
        const Fraction next{term * last.num + before.num, term * last.den + before.den};
        before = last;
        last = next;
    }
    return last;
}

// The display aspect the frame asks for; zero or less means square pixels, as in NDI.
Fraction DisplayAspect(const NDIlib_video_frame_v2_t& frame)
{
    if (frame.picture_aspect_ratio > 0.0f && frame.picture_aspect_ratio < 100.0f)
        return NearestFraction(frame.picture_aspect_ratio, 1000);
    const int32_t common = std::gcd(frame.xres, frame.yres);
    return {frame.xres / common, frame.yres / common};
}

}  // namespace

std::optional<VideoFormat> SendableFormat(const NDIlib_video_frame_v2_t& frame)
{
    if (frame.FourCC != NDIlib_FourCC_type_BGRA || frame.p_data == nullptr)
        return std::nullopt;
    if (frame.xres <= 0 || frame.yres <= 0 || frame.xres > kMaxFrameDimension ||
        frame.yres > kMaxFrameDimension)
        return std::nullopt;
    if (frame.line_stride_in_bytes < frame.xres * 4)
        return std::nullopt;
    if (frame.frame_rate_N <= 0 || frame.frame_rate_D <= 0)
        return std::nullopt;
    const Fraction aspect = DisplayAspect(frame);
    return VideoFormat{frame.xres, frame.yres, frame.frame_rate_N, frame.frame_rate_D, int32_t(aspect.num),
                       int32_t(aspect.den)};
}

}  // namespace vantor::ndi
