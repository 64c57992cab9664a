#pragma once
// Loading the overlay: the picked picture, and, when it is the first of a numbered run of
// files, the files that follow, one per step so that the dialog stays responsive and its Stop
// button can end the load. Everything here runs on the user-interface thread (a host may decode
// the files aside, off it, and hand them over in ChooseAndLoad and LoadPictureFile); the send
// thread draws from the same list at the same time, so every change to the list, the
// current-frame pointers and the first picture is made under the list's guard, and every file
// is decoded before the guard is taken.

#include "imagery/animation_load.h"
#include "imagery/frame_list.h"
#include "imagery/memory_gauge.h"
#include "imagery/overlay_state.h"
#include "imagery/regular_file.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace vantor {

// What the loader asks of the dialog that hosts it.
class SequenceLoaderHost {
public:
    virtual ~SequenceLoaderHost() = default;
    // Lets the operator pick a file; on confirmation names it in `image` (file_path,
    // file_title) and loads it there. False when cancelled or when the file does not load.
    virtual bool ChooseAndLoad(RgbaImage& image) = 0;
    // A modal question with OK and Cancel; true on OK.
    virtual bool AskOkCancel(const QString& caption, const QString& text) = 0;
    // A modal message with OK only; an empty caption means the application's name.
    virtual void ShowMessage(const QString& caption, const QString& text) = 0;
    // Shows the progress bar (range 0 to maximum, the maximum a 16-bit value) at a position,
    // and the loading label.
    virtual void ShowProgress(uint16_t maximum, int32_t position) = 0;
    virtual void SetProgressPosition(int32_t position) = 0;
    // Hides the progress bar and the loading label.
    virtual void HideProgress() = 0;
    virtual void SetLoadingLabel(const QString& text) = 0;
    virtual void DrawThumbnail(const RgbaImage& image) = 0;
    // Thumbnail, file name and pixel size of the new first picture; it may now be switched on.
    virtual void ShowLoadedPicture(const RgbaImage& image) = 0;
    virtual void SetOverlayLabel(const QString& text) = 0;
    // A picked, dropped or sequence file exists but did not load: say why.
    virtual void ReportLoadFailure(const QString& path) = 0;
    // An animation file did not load (`why` says it in a sentence); the list is unchanged.
    virtual void ReportAnimationFailure(const QString& path, const QString& why);
    // An animation file loaded, with something the operator should know.
    virtual void ReportAnimationNote(const QString& text);
    // Runs LoadSequenceStep once after the delay; a second call restarts the delay.
    virtual void ScheduleStep(int delay_ms) = 0;
    virtual void CancelStep() = 0;
    // Whether the step for the run's file `path` can run now; when not, the step is scheduled
    // instead, the host decoding the file aside meanwhile.
    virtual bool RunFileReady(const QString& /*path*/) { return true; }
    // Loads the file `image.file_path` names (a run's next file, a dropped file) into `image`:
    // here and now, unless the host decodes it aside. Unchanged when it does not load.
    virtual bool LoadPictureFile(RgbaImage& image, const MemoryGauge& memory)
    {
        return image.LoadFromFile(image.file_path, memory);
    }
    // Runs LoadSequenceStep once after the delay, to look at an animation's load.
    virtual void ScheduleLook(int delay_ms) { ScheduleStep(delay_ms); }
    // How an animation file is opened; the opener runs on the thread that loads it.
    virtual FileOpener AnimationOpener() const { return OpenRegularFile; }
    // Whether a picked still switches the overlay off until the operator switches it on (a
    // run: until it is in), as in the dialog. A host that answers false leaves On and Off to
    // the operator alone, whatever the file.
    virtual bool LoadSwitchesOverlayOff() const { return true; }
};

// The playback fields that a load resets and sets, owned by the engine and by the dialog.
struct PlaybackBindings {
    std::atomic<bool>& is_sequence;                     // the send loop walks the list
    std::atomic<const SequenceFrame*>& send_current;    // the send loop's next frame
    std::atomic<const SequenceFrame*>& preview_current; // the dialog's preview play frame
};

// Makes an empty node; null when there is no memory for it.
using NodeAllocator = std::function<std::unique_ptr<SequenceFrame>()>;
std::unique_ptr<SequenceFrame> AllocateNode();

class SequenceLoader {
public:
    // memory: what the machine can still give, for the files the loader decodes (the host
    // decodes the picked one); a file that needs more does not load, and a sequence ends its
    // load there, keeping its frames. How each file is opened is the host's (LoadPictureFile).
    SequenceLoader(OverlayState& overlay, PlaybackBindings playback, SequenceLoaderHost& host,
                   NodeAllocator allocate_node = AllocateNode, MemoryGauge memory = AvailableMemoryBytes);

    // "Load Overlay": pick a file, reset the list to it, and offer to load the run that
    // follows it. A load still running is ended first.
    void LoadOverlay();
    // One file of a sequence load, or a look at an animation's load; true when a further step
    // has been scheduled.
    bool LoadSequenceStep();
    // The file the next step loads.
    QString NextFramePath() const;
    // The dialog closes during a load: the load stops where it is, without its end step, so the
    // frames loaded so far stay in the list and only the first is sent (an animation's frames
    // so far replace the list, and play).
    void AbandonLoad();
    // A file dropped onto the dialog (the first of them, after the dialog has taken its
    // control values): replaces the first picture only.
    void DropFile(const QString& path);

private:
    void ProbeAndOffer();
    void StartLoad();
    bool EndLoadStep();
    void EndRunningLoad();
    void FinishLoad();
    void ResetList();
    void DropAllButFirst();
    void InstallFirstPicture(RgbaImage& picture);
    void ShowOverlayLabel();
    // An animation file loads whole on a thread of its own; the steps watch it, and the list
    // changes only once it has ended, so a file that does not load leaves the logo on air.
    void StartAnimationLoad(const QString& path);
    bool AnimationStep();
    // Stops the decoding where it is and hands over the frames so far.
    AnimationResult EndAnimationLoad();
    void InstallAnimation(AnimationResult& result, const QString& path);
    // The picture replaced is kept only while a fade could cross-fade from it: without one it
    // is freed at once, as before fades.
    bool KeepsReplacedPicture() const { return overlay_.fade_ms > 0; }

    OverlayState& overlay_;
    FrameList& frames_;
    PlaybackBindings playback_;
    SequenceLoaderHost& host_;
    NodeAllocator allocate_node_;
    MemoryGauge memory_;
    bool step_pending_ = false;
    uint32_t my_reset_ = 0;  // the list's reset count when this loader last reset it
    std::unique_ptr<AnimationLoad> animation_;
    QString animation_path_;
};

}  // namespace vantor
