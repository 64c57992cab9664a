#include "control/setup.h"

namespace vantor {
namespace {

template <typename T>
void Take(std::optional<T>& mine, const std::optional<T>& theirs)
{
    if (theirs)
        mine = theirs;
}

}  // namespace

void Setup::TakeFrom(const Setup& over)
{
    Take(overlay, over.overlay);
    Take(corner, over.corner);
    Take(offset, over.offset);
    Take(on, over.on);
    Take(solid, over.solid);
    Take(size, over.size);
    Take(rate, over.rate);
    Take(mode, over.mode);
    Take(pause, over.pause);
    Take(one_shot, over.one_shot);
    Take(run_rate, over.run_rate);
    Take(role, over.role);
    Take(fade_ms, over.fade_ms);
    Take(opacity, over.opacity);
    Take(safe_area, over.safe_area);
    Take(cycle, over.cycle);
    Take(scale, over.scale);
}

}  // namespace vantor
