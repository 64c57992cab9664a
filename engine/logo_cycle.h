#pragma once
// The logo's timed cycle: when it shows, and when it next will. Pure arithmetic on the steady
// clock, cheap enough for every frame.

#include "imagery/overlay_state.h"

#include <cstdint>
#include <optional>

namespace vantor {

int64_t SteadyNowNs();

// Whether the cycle shows the logo at `now_ns`; always without a cycle.
bool CycleShows(const OverlayState::Cycle& cycle, int64_t now_ns);

// When, on the steady clock, the cycle next begins to show the logo: `now_ns` while it shows;
// nothing without a cycle.
std::optional<int64_t> NextShowingNs(const OverlayState::Cycle& cycle, int64_t now_ns);

}  // namespace vantor
