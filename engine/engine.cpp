#include "engine/engine.h"

#include "engine/engine_constants.h"
#include "imagery/picture_scale.h"
#include "preview/preview_buffer.h"

#include <system_error>

namespace vantor {

Engine::Engine(OverlayState& overlay, PlaybackState& playback, PreviewBuffer* preview, QObject* parent)
    : QObject(parent), overlay_(overlay), playback_(playback), preview_(preview)
{
    for (QTimer* timer : {&auto_start_timer_, &preview_off_timer_, &shutdown_timer_})
        timer->setSingleShot(true);
    auto_start_timer_.setInterval(kAutoStartDelay_ms);
    shutdown_timer_.setInterval(kShutdownDelay_ms);
    connect(&auto_start_timer_, &QTimer::timeout, this, &Engine::AutoStart);
    connect(&preview_off_timer_, &QTimer::timeout, this, &Engine::PreviewOff);
    connect(&shutdown_timer_, &QTimer::timeout, this, &Engine::Shutdown);
}

Engine::~Engine()
{
    StopSending();
    sender_.DestroySender();
    if (runtime_ready_)
        NDIlib_destroy();
}

void Engine::SetHooks(EngineHooks hooks) { hooks_ = std::move(hooks); }

StartupResult Engine::Startup()
{
    runtime_ready_ = NDIlib_initialize();
    if (!runtime_ready_)
        return StartupResult::kCannotRunNdi;
    if (!frame_.Allocate())
        return StartupResult::kFrameCreationProblem;
    frame_.Describe(format_);
    watermark_.image.LoadFromResource(kWatermarkBitmap);
    watermark_.on = true;
    return StartupResult::kReady;
}

void Engine::ScheduleAutoStart(int delay_ms) { auto_start_timer_.start(delay_ms); }

void Engine::ReleaseSource()
{
    if (!std::exchange(source_held_, false))
        return;
    // Taken first: the application of the format stops the loop, which forgets a held start.
    const bool start = std::exchange(held_start_, false);
    if (std::exchange(held_apply_, false))
        ApplyOutputFormat();
    if (start)
        StartSending();
}

void Engine::SelectResolution(int menu_id)
{
    ChooseResolution(menu_id);
    ApplyOutputFormat();
}

void Engine::SelectFrameRate(int menu_id)
{
    ChooseFrameRate(menu_id);
    ApplyOutputFormat();
}

void Engine::ChooseResolution(int menu_id)
{
    if (const ResolutionRow* row = FindResolution(menu_id)) {
        format_.width = row->width;
        format_.height = row->height;
        emit resolutionCaptionChanged(QString::fromLatin1(row->label));
    }
}

void Engine::ChooseFrameRate(int menu_id)
{
    if (const FrameRateRow* row = FindFrameRate(menu_id)) {
        format_.frame_rate_N = row->frame_rate_N;
        format_.frame_rate_D = row->frame_rate_D;
        emit frameRateCaptionChanged(QString::fromLatin1(row->label));
    }
}

void Engine::ApplyOutputFormat()
{
    emit infoTextChanged(QString::fromStdString(InfoText(format_)));
    if (source_held_) {
        held_apply_ = true;
        return;
    }
    if (IsMaster())
        Broadcast(kSyncStartStop, 0);
    StopSending();
    sender_.DestroySender();
    RescaleFrames(overlay_.frames, overlay_.frames.scale, format_.height);
    if (frame_.Allocated() && runtime_ready_)  // else start-up failed: no frame to describe or runtime to send with
        OpenSource();
    emit sourceChanged();
}

bool Engine::OpenSource()
{
    frame_.Describe(format_);
    builder_.DrawSourceStart();
    clear_frame_sent_ = false;
    if (!sender_.CreateSender(instance_number_)) {
        // Said on standard error already; the window says so where the format shows.
        emit infoTextChanged(QString::fromLatin1(source_failure()));
        return false;
    }
    sender_.Send(frame_.record(), painter_.TakeChanges());
    FeedPreview();
    if (hooks_.read_controls)
        hooks_.read_controls();
    playback_.SetPause(playback_.pause_value, playback_.pause_unit, format_.frame_rate_N, format_.frame_rate_D);
    return true;
}

bool Engine::StartSending()
{
    if (running_)
        return true;
    if (source_held_) {
        held_start_ = true;
        return true;
    }
    // After the exit was confirmed nothing starts again (a master's start, a renumbered copy
    // resuming): a new run would make the shutdown do nothing and the program never end.
    if (exit_confirmed_ || !frame_.Allocated() || !runtime_ready_)
        return false;
    if (!sender_.exists()) {
        // Only a source whose creation failed is tried again: a port, or whatever it lacked,
        // may have come free since. A copy without a number (not yet, or a ninth) has none.
        if (!sender_.create_failed() || !OpenSource())
            return false;
        emit infoTextChanged(QString::fromStdString(InfoText(format_)));
    }
    running_ = true;
    preview_live_ = true;
    const uint32_t generation = ++generation_;
    try {
        send_thread_ = std::thread(&Engine::SendLoop, this, generation);
    } catch (const std::system_error&) {
        // No thread: the controls still show the running state, the lamp stays grey, and Stop
        // returns everything to the stopped state.
    }
    if (send_thread_.joinable())
        ShowLamp(kLampRed);
    emit sendingChanged(true);
    if (!overlay_setup_open_)  // the dialog keeps it live until it closes
        preview_off_timer_.start(kPreviewAfterStart_ms);
    return true;
}

void Engine::StopSending()
{
    held_start_ = false;
    if (!running_)
        return;
    running_ = false;
    if (send_thread_.joinable()) {
        send_thread_.join();
        clear_frame_sent_ = true;
    }
    ShowLamp(kLampIdle);
    if (snapshot_state_ == kSnapshotWanted || snapshot_state_ == kSnapshotArmed)
        RequestSnapshot();  // the loop ended before it took the snapshot: the still frame is it
    emit sendingChanged(false);
    preview_live_ = false;
}

void Engine::PressStart()
{
    if (IsMaster())
        Broadcast(kSyncStartStop, 1);
    StartSending();
}

void Engine::PressStop()
{
    if (IsMaster())
        Broadcast(kSyncStartStop, 0);
    StopSending();
}

void Engine::FollowMaster(bool start)
{
    if (start)
        StartSending();
    else
        StopSending();
}

void Engine::AutoStart() { StartSending(); }

void Engine::PreviewOff() { preview_live_ = false; }

void Engine::TogglePreview() { preview_live_ = !preview_live_; }

// The preview stays live for as long as the dialog is open: a pending switch-off from the last
// start must not freeze it under the operator's eyes.
void Engine::OverlaySetupOpened()
{
    overlay_setup_open_ = true;
    preview_off_timer_.stop();
    preview_live_ = true;
}

void Engine::OverlaySetupClosed()
{
    overlay_setup_open_ = false;
    RetireWatermarkIfOverlayOn();
    preview_off_timer_.start(kPreviewAfterOverlaySetup_ms);
}

void Engine::ShowChangeInPreview()
{
    if (!running_)
        return;
    preview_live_ = true;
    if (!overlay_setup_open_)  // the open dialog keeps it live until it closes
        preview_off_timer_.start(kPreviewAfterOverlaySetup_ms);
}

void Engine::RetireWatermarkIfOverlayOn()
{
    if (overlay_.overlay_on)
        watermark_.on = false;
}

void Engine::ExitConfirmed()
{
    exit_confirmed_ = true;
    if (!running_)
        return Shutdown();
    StopSending();
    shutdown_timer_.start();
}

void Engine::Shutdown()
{
    if (send_thread_.joinable() || shut_down_)
        return;
    shut_down_ = true;
    frame_.Release();
    sender_.DestroySender();
    if (runtime_ready_)
        NDIlib_destroy();
    runtime_ready_ = false;
    FrameChain rest;
    {
        std::lock_guard lock(overlay_.frames.guard);
        playback_.is_sequence = false;
        rest = DetachAfterFirst(overlay_.frames);
        playback_.current = &overlay_.frames.first;
    }
    emit finished();
}

void Engine::ShowLamp(int bitmap_id)
{
    lamp_ = bitmap_id;
    emit lampChanged(bitmap_id);
}

void Engine::RequestSnapshot()
{
    if (!snapshot_.Allocate() || !frame_.Allocated()) {
        emit snapshotReady(QImage());
        return;
    }
    if (running_ && send_thread_.joinable()) {
        int idle = kSnapshotIdle;
        snapshot_state_.compare_exchange_strong(idle, kSnapshotWanted);  // or one is on its way
        return;
    }
    snapshot_state_ = kSnapshotIdle;
    snapshot_.Take(frame_.record());
    emit snapshotReady(snapshot_.Picture());
}

void Engine::DeliverSnapshot()
{
    const QImage picture = snapshot_.Picture();
    snapshot_state_ = kSnapshotIdle;
    emit snapshotReady(picture);
}

bool Engine::IsMaster() const { return hooks_.is_master && hooks_.is_master(); }

void Engine::Broadcast(uint32_t code, intptr_t payload) const
{
    if (hooks_.broadcast)
        hooks_.broadcast(code, payload);
}

void Engine::FeedPreview()
{
    if (!preview_)
        return;
    const NDIlib_video_frame_v2_t& f = frame_.record();
    preview_->ConvertFrame(f.p_data, f.xres, f.yres, f.line_stride_in_bytes, f.FourCC, f.picture_aspect_ratio);
    preview_->HandOver();
    PostPreviewReady();
}

}  // namespace vantor
