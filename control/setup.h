#pragma once
// The operator's setup of one copy, as one value: what the window's dialogs set, what the
// command line and a setup file say, what a copy remembers under its number. Every item is
// optional: a setup names only what it sets, and a later one (the command line over a file,
// a file over the remembered setup) replaces what it names and leaves the rest.

#include <QString>

#include <cstdint>
#include <optional>

namespace vantor {

// Whom a copy follows or leads: the Master and Slave boxes, or neither.
enum class SyncRole { kMaster, kSlave, kNone };

struct OverlayOffset {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const OverlayOffset&) const = default;
};

struct PauseSetting {
    int32_t value = 0;
    int32_t unit = 0;  // kPauseInSeconds or kPauseInFrames
    bool operator==(const PauseSetting&) const = default;
};

// The logo's timed cycle: shown for `show_ms` every `every_ms`, the first time `delay_ms` after
// it is set. A period of 0 is no cycle.
struct CycleSetting {
    int64_t show_ms = 0;
    int64_t every_ms = 0;
    int64_t delay_ms = 0;
    bool operator==(const CycleSetting&) const = default;
};

struct Setup {
    std::optional<QString> overlay;      // a picture, or the first file of a numbered run
    std::optional<int32_t> corner;       // corner code
    std::optional<OverlayOffset> offset;
    std::optional<bool> on;              // the overlay is sent
    std::optional<bool> solid;           // the first picture made opaque
    std::optional<int> size;             // resolution menu id
    std::optional<int> rate;             // frame-rate menu id
    std::optional<int32_t> mode;         // play mode
    std::optional<PauseSetting> pause;
    std::optional<bool> one_shot;
    std::optional<int> run_rate;         // pictures a second for a numbered run; 0: one per frame
    std::optional<SyncRole> role;
    std::optional<int32_t> fade_ms;      // On, Off and a new logo mix over this; 0 cuts
    std::optional<int32_t> opacity;      // percent of the logo's own alpha
    std::optional<int32_t> safe_area;    // where the offsets count from: kSafeAreaEdge, ...
    std::optional<CycleSetting> cycle;
    std::optional<int32_t> scale;        // percent of the file's pixels; kScaleFit: fitted to the format

    // Takes every item that `over` names.
    void TakeFrom(const Setup& over);
    bool empty() const { return *this == Setup(); }
    bool operator==(const Setup&) const = default;
};

}  // namespace vantor
