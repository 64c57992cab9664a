#include "control/copy_control.h"

#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "engine/logo_cycle.h"
#include "engine/output_format.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "imagery/picture_scale.h"

namespace vantor {
namespace {

std::optional<int> ResolutionOf(const OutputFormat& format)
{
    for (const ResolutionRow& row : kResolutions)
        if (row.width == format.width && row.height == format.height)
            return row.menu_id;
    return std::nullopt;
}

std::optional<int> FrameRateOf(const OutputFormat& format)
{
    for (const FrameRateRow& row : kFrameRates)
        if (row.frame_rate_N == format.frame_rate_N && row.frame_rate_D == format.frame_rate_D)
            return row.menu_id;
    return std::nullopt;
}

}  // namespace

CopyControl::CopyControl(Engine& engine, OverlayState& overlay, PlaybackState& playback, InstanceSync& sync,
                         QObject* parent)
    : QObject(parent), engine_(engine), overlay_(overlay), playback_(playback), sync_(sync),
      file_load_(new OverlayFileLoad(overlay, playback, this))
{
    connect(file_load_, &OverlayFileLoad::pictureTaken, this, &CopyControl::changed);
}

void CopyControl::LoadOverlay(const QString& path, std::function<void(const OverlayLoadResult&)> done,
                              FileOpener open)
{
    file_load_->Load(
        path,
        [this, done = std::move(done)](const OverlayLoadResult& result) {
            emit changed();
            done(result);
        },
        std::move(open));
}

bool CopyControl::picture_loaded() const { return overlay_.frames.first.image.IsCompositable(); }

// Only this thread replaces pictures, so reading them here needs no guard.
bool CopyControl::picture_invisible() const
{
    const RgbaImage& first = overlay_.frames.first.image;
    if (!picture_loaded())
        return false;
    const std::pair<const uint8_t*, uint32_t> picture{first.pixels.get(), overlay_.frames.reset_count};
    if (picture != scanned_) {
        scanned_ = picture;
        scanned_invisible_ = !first.AnyVisiblePixel();
    }
    return scanned_invisible_;
}

bool CopyControl::SetOverlayOn(bool on)
{
    if (on && !picture_loaded())
        return false;
    if (!on)
        overlay_.cycle.start_ns = 0;  // off by hand is off until switched on again
    overlay_.overlay_on = on ? 1 : 0;
    emit changed();
    return true;
}

void CopyControl::ConfirmOverlay()
{
    engine_.RetireWatermarkIfOverlayOn();
    emit changed();
}

void CopyControl::SetCorner(int32_t corner_code)
{
    overlay_.corner_code = corner_code;
    emit changed();
}

void CopyControl::SetOffsets(int32_t x, int32_t y)
{
    overlay_.x_offset = x;
    overlay_.y_offset = y;
    emit changed();
}

// The send thread may be drawing the first picture: an opaque copy takes its place.
bool CopyControl::MakeSolid()
{
    if (!MakeFirstPictureSolid(overlay_.frames))
        return false;
    emit changed();
    return true;
}

void CopyControl::SetFade(int32_t fade_ms)
{
    overlay_.fade_ms = fade_ms;
    emit changed();
}

void CopyControl::SetOpacity(int32_t percent)
{
    overlay_.opacity_percent = percent;
    emit changed();
}

void CopyControl::SetSafeArea(int32_t safe_area)
{
    overlay_.safe_area = safe_area;
    emit changed();
}

void CopyControl::SetScale(int32_t scale)
{
    RescaleFrames(overlay_.frames, scale, engine_.format().height);
    emit changed();
}

// The send thread reads the start first: it is cleared before the times change and set after.
void CopyControl::SetCycle(const CycleSetting& cycle)
{
    OverlayState::Cycle& running = overlay_.cycle;
    running.start_ns = 0;
    running.show_ms = cycle.show_ms;
    running.every_ms = cycle.every_ms;
    running.delay_ms = cycle.delay_ms;
    if (cycle.every_ms > 0)
        running.start_ns = SteadyNowNs();
    emit changed();
}

std::optional<int64_t> CopyControl::CycleNextShow_ms() const
{
    const int64_t now_ns = SteadyNowNs();
    const auto next_ns = NextShowingNs(overlay_.cycle, now_ns);
    if (!next_ns)
        return std::nullopt;
    return (*next_ns - now_ns + 999999) / 1000000;
}

void CopyControl::ChooseFormat(std::optional<int> size_id, std::optional<int> rate_id)
{
    if (size_id)
        engine_.ChooseResolution(*size_id);
    if (rate_id)
        engine_.ChooseFrameRate(*rate_id);
    emit changed();
}

void CopyControl::SelectFormat(std::optional<int> size_id, std::optional<int> rate_id)
{
    ChooseFormat(size_id, rate_id);
    engine_.ApplyOutputFormat();
}

const char* CopyControl::SetPlayMode(int32_t mode)
{
    const char* name = playback_.SetPlayMode(mode);
    emit changed();
    return name;
}

void CopyControl::SetRunRate(int rate)
{
    overlay_.frames.run_rate = rate;
    {
        std::lock_guard lock(overlay_.frames.guard);
        ApplyRunRate(overlay_.frames);
    }
    emit changed();
}

void CopyControl::SetPause(const PauseSetting& pause)
{
    playback_.SetPause(pause.value, pause.unit, engine_.format().frame_rate_N, engine_.format().frame_rate_D);
    emit changed();
}

bool CopyControl::SetOneShot(bool on)
{
    const bool armed = playback_.SetOneShot(on);
    emit changed();
    return armed;
}

bool CopyControl::PressGo()
{
    const bool armed = playback_.PressGo();
    emit changed();
    return armed;
}

void CopyControl::Start()
{
    engine_.PressStart();
    emit changed();
}

void CopyControl::Stop()
{
    engine_.PressStop();
    emit changed();
}

void CopyControl::SetRole(SyncRole role)
{
    sync_.MasterClicked(role == SyncRole::kMaster);
    sync_.SlaveClicked(role == SyncRole::kSlave);
    emit changed();
}

Setup CopyControl::Current() const
{
    Setup setup;
    const RgbaImage& first = overlay_.frames.first.image;
    if (!first.file_path.isEmpty())
        setup.overlay = first.file_path;
    setup.corner = overlay_.corner_code.load();
    setup.offset = OverlayOffset{overlay_.x_offset, overlay_.y_offset};
    setup.on = overlay_.overlay_on != 0;
    setup.solid = first.made_solid;
    setup.size = ResolutionOf(engine_.format());
    setup.rate = FrameRateOf(engine_.format());
    setup.mode = playback_.play_mode.load();
    setup.pause = PauseSetting{playback_.pause_value, playback_.pause_unit};
    setup.one_shot = playback_.one_shot.load();
    if (overlay_.frames.run_rate > 0)
        setup.run_rate = overlay_.frames.run_rate;
    setup.fade_ms = overlay_.fade_ms.load();
    setup.opacity = overlay_.opacity_percent.load();
    setup.safe_area = overlay_.safe_area.load();
    setup.scale = overlay_.frames.scale;
    setup.cycle = overlay_.cycle.start_ns != 0
        ? CycleSetting{overlay_.cycle.show_ms, overlay_.cycle.every_ms, overlay_.cycle.delay_ms}
        : CycleSetting{};
    setup.role = sync_.master() ? SyncRole::kMaster : sync_.slave() ? SyncRole::kSlave : SyncRole::kNone;
    return setup;
}

void CopyControl::HoldSource() { engine_.HoldSource(); }

void CopyControl::ReleaseSource() { engine_.ReleaseSource(); }

void CopyControl::SetSetupNotSaved(const QString& why)
{
    if (why == setup_not_saved_)
        return;
    setup_not_saved_ = why;
    emit changed();
}

}  // namespace vantor
