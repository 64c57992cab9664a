#pragma once
// The output engine: the output format and frame, the sender, the send loop and its timers.
// It lives on the user-interface thread (every public operation runs there) and owns the send
// thread. It works with no window at all; what a window would show reaches it as queued
// signals, and nothing the send thread asks of the user-interface thread ever waits for it.

#include "engine/engine_constants.h"
#include "engine/frame_builder.h"
#include "engine/frame_lateness.h"
#include "engine/frame_painter.h"
#include "engine/output_format.h"
#include "engine/output_frame.h"
#include "engine/output_snapshot.h"
#include "engine/playback_state.h"
#include "engine/send_figures.h"
#include "engine/send_rest.h"
#include "engine/sender.h"
#include "imagery/overlay_state.h"
#include "imagery/rgba_image.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace vantor {

class PreviewBuffer;

enum class StartupResult { kReady, kCannotRunNdi, kFrameCreationProblem };

// What the engine needs from the copies' synchronisation and from the window. Set once, before
// the engine starts; every hook may be empty.
struct EngineHooks {
    // True when this copy is the master. User-interface thread.
    std::function<bool()> is_master;
    // Posts a message to every copy. Called on the user-interface thread and, for the frame
    // position, on the send thread: it must be thread-safe and must never wait.
    std::function<void(uint32_t code, intptr_t payload)> broadcast;
    // Reads the window's controls into their fields (the pause value and unit). UI thread.
    std::function<void()> read_controls;
};

class Engine : public QObject {
    Q_OBJECT

public:
    // The overlay and playback state are the window's; the preview buffer may be null (no
    // preview, as in a headless run). All must outlive the engine.
    Engine(OverlayState& overlay, PlaybackState& playback, PreviewBuffer* preview, QObject* parent = nullptr);
    ~Engine() override;

    void SetHooks(EngineHooks hooks);
    // Called on the send thread after each frame that went out on time: must never wait. Set
    // before the engine starts.
    void SetOnTimeFrame(std::function<void()> on_time_frame) { on_time_frame_ = std::move(on_time_frame); }
    // Called on the send thread as each run starts, before its first frame (its scheduling).
    // Set before the engine starts.
    void SetSendThreadStart(std::function<void()> started) { send_thread_start_ = std::move(started); }

    // Start-up: the runtime, the output frame, the house watermark.
    StartupResult Startup();
    // Starts sending by itself two seconds from now, or after the delay given.
    void ScheduleAutoStart(int delay_ms = kAutoStartDelay_ms);
    // While held, the source is not opened and the loop not started: what was asked for
    // meanwhile happens on release. A copy restarted with its logo on holds until the logo is in,
    // so that no receiver ever gets the house watermark in its place.
    void HoldSource() { source_held_ = true; }
    void ReleaseSource();

    // A menu's choice: the row's format, applied at once. Choose alone leaves the application to
    // the next ApplyOutputFormat. An id of no row changes nothing (but Select still applies).
    void SelectResolution(int menu_id);
    void SelectFrameRate(int menu_id);
    void ChooseResolution(int menu_id);
    void ChooseFrameRate(int menu_id);
    void ApplyOutputFormat();

    // Starts the send loop, creating the source first when its creation failed before; false
    // (and nothing changes) when there is no output frame, runtime or source, since the loop
    // would then run unpaced, or once the exit has been confirmed.
    bool StartSending();
    // Stops the loop and waits for the frame in progress to finish.
    void StopSending();
    // The Start and Stop buttons: a master first tells its slaves.
    void PressStart();
    void PressStop();
    // A copy's start or stop order from the master (never broadcast again).
    void FollowMaster(bool start);

    void AutoStart();      // two seconds after launch
    void PreviewOff();     // the preview freezes on its last picture
    void TogglePreview();  // a click on the preview box
    // Around the Overlay setup dialog: the preview follows the output while it is open (a start
    // meanwhile does not switch it off) and for five seconds after; an overlay switched on
    // removes the house watermark for good.
    void OverlaySetupOpened();
    void OverlaySetupClosed();
    // A change from outside the window: while sending, the preview follows the output for five
    // seconds, as after the Overlay setup, so the window never shows a stale logo.
    void ShowChangeInPreview();
    // An overlay that is on takes the house watermark's place for good.
    void RetireWatermarkIfOverlayOn();
    // The operator confirmed the exit: stop at once, end now or 2.5 seconds later.
    void ExitConfirmed();
    // Releases the frame, the sender, the runtime and the sequence, then emits finished.
    // Does nothing while a send thread exists.
    void Shutdown();

    void SetInstanceNumber(int32_t number) { instance_number_ = number; }
    int32_t instance_number() const { return instance_number_; }
    const OutputFormat& format() const { return format_; }
    bool running() const { return running_; }
    bool preview_live() const { return preview_live_; }
    bool watermark_on() const { return watermark_.on; }
    // The logo fades in, out or into another now; any thread.
    bool fading() const { return builder_.fading(); }
    bool sender_exists() const { return sender_.exists(); }
    // Stopped, the source holds a frame with nothing keyed: the one a run ends with, until the
    // next start or format change.
    bool holds_clear_frame() const { return !running_ && clear_frame_sent_ && sender_.exists(); }
    // The on-air lamp's picture now (grey, red or amber).
    int lamp() const { return lamp_; }
    // Receivers of the source now; -1 when the runtime does not say or there is no source.
    int32_t receiver_count() const { return sender_.receiver_count(); }
    uint16_t port() const { return sender_.port(); }
    uint64_t bytes_sent() const { return sender_.bytes_sent(); }
    // Why the last creation of the source failed (as the info text says it); null when it
    // did not.
    const char* source_failure() const
    {
        return !sender_.create_failed() ? nullptr : sender_.found_no_free_port() ? kNoFreePortText : kNoSourceText;
    }
    // What the send loop has done since the program started; any thread.
    const SendFigures& figures() const { return figures_; }

    // A picture of the output as it goes out (OutputSnapshot): while the loop runs, the send
    // thread takes it after its next send; otherwise it is taken at once. snapshotReady brings
    // it, null when there is no frame; asks made before it comes are answered by it.
    void RequestSnapshot();

signals:
    void infoTextChanged(const QString& text);
    void resolutionCaptionChanged(const QString& caption);
    void frameRateCaptionChanged(const QString& caption);
    // Start and the menu buttons disabled and Stop enabled while true; the reverse when false.
    void sendingChanged(bool running);
    // The source was re-created or went (a format change): what a stopped copy's receivers hold
    // may have changed.
    void sourceChanged();
    void lampChanged(int bitmap_id);
    // An armed pass ended: the Go button returns to its idle colour.
    void goButtonIdle();
    // The first frame of a run has gone to the receivers.
    void onAir();
    // A new preview picture has been handed over; take it and repaint.
    void previewReady();
    void snapshotReady(const QImage& picture);
    void finished();

private:
    void Broadcast(uint32_t code, intptr_t payload) const;
    bool IsMaster() const;
    // Draws the first frame of the current format and creates the source with it; false when
    // the runtime gives no source (every port taken).
    bool OpenSource();
    void FeedPreview();
    void SendLoop(uint32_t generation);
    void SendStopFrame();
    void CountSentFrame();
    void PostLamp(uint32_t generation, int bitmap_id);
    void PostGoButtonIdle();
    void PostOnAir();
    void PostPreviewReady();
    void ShowLamp(int bitmap_id);
    // Send thread: a snapshot asked for is armed before a frame is drawn, and taken after its send.
    void ArmWantedSnapshot();
    void TakeArmedSnapshot();
    void DeliverSnapshot();

    OverlayState& overlay_;
    PlaybackState& playback_;
    PreviewBuffer* const preview_;
    EngineHooks hooks_;
    std::function<void()> on_time_frame_;
    std::function<void()> send_thread_start_;

    OutputFormat format_;     // user-interface thread only
    OutputFrame frame_;       // changed only while the loop is stopped
    FramePainter painter_{frame_};  // the send thread's while it runs, the UI thread's otherwise
    HouseWatermark watermark_;  // the picture loaded once at start-up; UI writes `on`
    FrameBuilder builder_{painter_, overlay_, playback_, watermark_};
    Sender sender_;           // created and destroyed only while the loop is stopped
    bool runtime_ready_ = false;
    bool shut_down_ = false;
    bool exit_confirmed_ = false;  // user-interface thread only
    bool overlay_setup_open_ = false;  // user-interface thread only
    bool source_held_ = false;         // user-interface thread only, as the two below
    bool held_apply_ = false;
    bool held_start_ = false;
    bool clear_frame_sent_ = false;    // the last run ended with its clear frame

    std::atomic<bool> running_{false};       // UI writes; the send thread polls it every frame
    std::atomic<bool> preview_live_{false};  // UI writes; the send thread reads it every frame
    std::atomic<int32_t> instance_number_{0};  // written once before the first start
    std::atomic<uint32_t> generation_{0};    // one per start: late lamp posts of an old run drop
    std::atomic<bool> preview_posted_{false};  // a preview notification waits to be delivered
    int lamp_ = kLampIdle;                    // user-interface thread only
    OutputSnapshot snapshot_;  // the send thread's from kWanted to kTaken, the UI thread's otherwise
    // Wanted by the UI thread; armed by the send thread before it draws, so the picture shows
    // every change made before it was asked for; taken after the send; delivered on the UI thread.
    enum SnapshotState : int { kSnapshotIdle, kSnapshotWanted, kSnapshotArmed, kSnapshotTaken };
    std::atomic<int> snapshot_state_{kSnapshotIdle};
    SendFigures figures_;
    SendRest rest_;           // the send thread's
    FrameLateness lateness_;  // the send thread's
    std::thread send_thread_;

    QTimer auto_start_timer_;
    QTimer preview_off_timer_;
    QTimer shutdown_timer_;
};

}  // namespace vantor
