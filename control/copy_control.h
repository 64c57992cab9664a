#pragma once
// The one way to change a running copy. The window's handlers, the command line, a setup file
// and the control API all come through these operations, which are the ones the dialogs have
// always used (the engine's, the stepper's, the loader's, the copies' link), so the list's guard
// and the "next frame" rule hold whoever asks. Everything here runs on the user-interface
// thread.

#include "control/overlay_file_load.h"
#include "control/setup.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace vantor {

class Engine;
class InstanceSync;
struct OverlayState;
struct PlaybackState;

class CopyControl : public QObject {
    Q_OBJECT

public:
    CopyControl(Engine& engine, OverlayState& overlay, PlaybackState& playback, InstanceSync& sync,
                QObject* parent = nullptr);

    // The overlay. A file loads as "Load Overlay" loads it with every question answered OK (a
    // whole numbered run), except that On and Off stay as they are, whatever the file. The
    // files are decoded off this thread: what is sent stays as it was until the picture is in.
    // `done` runs when the load has ended. `open` opens each file of the run.
    void LoadOverlay(const QString& path, std::function<void(const OverlayLoadResult&)> done,
                     FileOpener open = OpenRegularFile);
    bool overlay_loading() const { return file_load_->loading(); }
    // A picture is there to be switched on.
    bool picture_loaded() const;
    // The picture loaded has no pixel that shows (every alpha is 0): on air it is invisible.
    bool picture_invisible() const;
    // As the On/Off button: false, and nothing changes, to switch on with no picture.
    bool SetOverlayOn(bool on);
    // As closing the Overlay setup with the overlay on: the house watermark goes for good.
    void ConfirmOverlay();
    void SetCorner(int32_t corner_code);
    void SetOffsets(int32_t x, int32_t y);
    // False, and nothing changes, when there is no memory for the opaque copy.
    bool MakeSolid();
    // How the logo goes on and off air and how strongly it shows; take effect at the next frame.
    void SetFade(int32_t fade_ms);
    void SetOpacity(int32_t percent);
    void SetSafeArea(int32_t safe_area);
    // The logo's size: a percentage, or kScaleFit. The scaled pictures are made here, at once.
    void SetScale(int32_t scale);
    // Starts the cycle from now (its delay first); a period of 0 stops it. Switching the logo
    // off stops it too.
    void SetCycle(const CycleSetting& cycle);
    // How long until the cycle next shows the logo: 0 while it shows, nothing without a cycle.
    std::optional<int64_t> CycleNextShow_ms() const;

    // The format: chosen alone it is applied with the next application of the output format
    // (a copy's first comes when it takes its number); selected, at once, as the menus do.
    void ChooseFormat(std::optional<int> size_id, std::optional<int> rate_id);
    void SelectFormat(std::optional<int> size_id, std::optional<int> rate_id);

    // Playback, as the window's play-mode radios, pause field, One-Shot and Go. The text names
    // the mode; the flags say that Go is armed now.
    const char* SetPlayMode(int32_t mode);
    // A numbered run's pictures a second, at once and for the runs loaded later; 0: one per frame.
    void SetRunRate(int rate);
    void SetPause(const PauseSetting& pause);
    bool SetOneShot(bool on);
    bool PressGo();

    // As the Start and Stop buttons: a master's reach its slaves.
    void Start();
    void Stop();
    void SetRole(SyncRole role);
    // A start with the logo on: the source opens, and the loop starts, only once it is in.
    void HoldSource();
    void ReleaseSource();

    // The setup as it stands: every item named.
    Setup Current() const;
    // Why the setup as it stands is not remembered (the last save failed); empty when it is.
    const QString& setup_not_saved() const { return setup_not_saved_; }
    void SetSetupNotSaved(const QString& why);

signals:
    // One of the operations above has changed the copy (whoever asked): what shows the setup
    // shows it anew.
    void changed();

private:
    Engine& engine_;
    OverlayState& overlay_;
    PlaybackState& playback_;
    InstanceSync& sync_;
    OverlayFileLoad* file_load_;  // owned through the Qt parent
    // The picture last looked at for picture_invisible (its pixels and the list's load), and
    // what was found: a picture is scanned once, not at every look.
    mutable std::pair<const uint8_t*, uint32_t> scanned_{nullptr, 0};
    mutable bool scanned_invisible_ = false;
    QString setup_not_saved_;
};

}  // namespace vantor
