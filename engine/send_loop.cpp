// The send loop: frame after frame, in the order the frame travels: tick, draw, send,
// broadcast, preview, lamp. The send call paces the loop to the frame rate; nothing else in it
// waits.

#include "engine/engine.h"
#include "engine/engine_constants.h"
#include "ndi/out_of_memory.h"
#include "ndi/pacing_clock.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <new>
#include <utility>

namespace vantor {
namespace {

// Asks for a higher scheduling priority for the sending; a refusal changes nothing.
void RaiseThreadPriority()
{
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, -10);
}

}  // namespace

void Engine::SendLoop(uint32_t generation)
{
    pthread_setname_np(pthread_self(), "vantor-send");  // so that ps and top tell it apart
    RaiseThreadPriority();
    if (send_thread_start_)
        send_thread_start_();
    const NDIlib_video_frame_v2_t& record = frame_.record();
    const int32_t wrap_length = record.frame_rate_D == 1200 ? 25 : 30;
    const int32_t position_step = record.frame_rate_N == 60000 ? 2 : 1;
    builder_.DrawStart();
    playback_.ResetCountdown();
    lateness_.Restart(record.frame_rate_N, record.frame_rate_D);
    playback_.SetOutputRate(record.frame_rate_N, record.frame_rate_D);
    int32_t frame_counter = 0;
    int blink_phase = 2;
    bool on_air = false;

    while (running_) {
        try {
            ArmWantedSnapshot();
            // Tick and draw.
            if (builder_.DrawNext().go_pass_ended)
                PostGoButtonIdle();
            // Position, taken before the counter advances.
            const intptr_t position = frame_counter * position_step + intptr_t{instance_number_} * 64;
            if (++frame_counter == wrap_length)
                frame_counter = 0;
            // Send, with what the draw changed: returns at the frame rate.
            sender_.Send(record, painter_.TakeChanges());
            rest_.AfterFrame();
            CountSentFrame();
            if (!std::exchange(on_air, true))
                PostOnAir();
            // Broadcast.
            Broadcast(kSyncPosition, position);
            // Snapshot, when one is asked for.
            TakeArmedSnapshot();
            // Preview.
            if (preview_live_)
                FeedPreview();
            // Lamp: red at the first wrap, then amber and red in turn.
            if (frame_counter == 0) {
                PostLamp(generation, blink_phase % 2 == 0 ? kLampRed : kLampAmber);
                blink_phase = blink_phase == 1 ? 2 : blink_phase - 1;
            }
        } catch (const std::bad_alloc&) {
            // A message that could not be made (posting one allocates) is one frame's news lost;
            // the runtime takes its own shortages without throwing.
            ndi::ReportOutOfMemory();
        }
    }
    SendStopFrame();
}

// The source stays on the network while stopped: receivers keep, and newcomers get, this frame.
// It goes twice: a live ffmpeg receiver shows a frame only once the next one has come.
void Engine::SendStopFrame()
{
    builder_.DrawStop();
    for (int sent = 0; sent < 2; ++sent) {
        sender_.Send(frame_.record(), painter_.TakeChanges());
        CountSentFrame();
    }
    try {
        FeedPreview();  // the window shows what receivers hold, however long its preview was frozen
    } catch (const std::bad_alloc&) {
        ndi::ReportOutOfMemory();
    }
}

void Engine::CountSentFrame()
{
    const int64_t lateness_ns = lateness_.Next(ndi::PacingClock::NowNs());
    if (figures_.CountFrame(lateness_ns, lateness_.period_ns()) && on_time_frame_)
        on_time_frame_();
}

void Engine::PostLamp(uint32_t generation, int bitmap_id)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, bitmap_id] {
            if (running_ && generation_ == generation)  // a stopped run's lamp stays grey
                ShowLamp(bitmap_id);
        },
        Qt::QueuedConnection);
}

void Engine::ArmWantedSnapshot()
{
    int wanted = kSnapshotWanted;
    snapshot_state_.compare_exchange_strong(wanted, kSnapshotArmed);
}

void Engine::TakeArmedSnapshot()
{
    if (snapshot_state_.load(std::memory_order_acquire) != kSnapshotArmed)
        return;
    snapshot_.Take(frame_.record());
    snapshot_state_.store(kSnapshotTaken, std::memory_order_release);
    try {
        QMetaObject::invokeMethod(this, [this] { DeliverSnapshot(); }, Qt::QueuedConnection);
    } catch (const std::bad_alloc&) {
        snapshot_state_ = kSnapshotArmed;  // taken again after the next frame
        throw;
    }
}

void Engine::PostGoButtonIdle()
{
    QMetaObject::invokeMethod(this, [this] { emit goButtonIdle(); }, Qt::QueuedConnection);
}

void Engine::PostOnAir()
{
    QMetaObject::invokeMethod(this, [this] { emit onAir(); }, Qt::QueuedConnection);
}

// At most one preview notification waits at a time: a busy window skips pictures instead of
// collecting them.
void Engine::PostPreviewReady()
{
    if (preview_posted_.exchange(true))
        return;
    try {
        QMetaObject::invokeMethod(
            this,
            [this] {
                preview_posted_ = false;
                emit previewReady();
            },
            Qt::QueuedConnection);
    } catch (const std::bad_alloc&) {
        preview_posted_ = false;  // none waits: the next picture is announced
        throw;
    }
}

}  // namespace vantor
