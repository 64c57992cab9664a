#pragma once
// Loading a logo from outside the window: the picture, and the whole numbered run it starts, as
// the Overlay setup dialog loads them when every question is answered OK, with the loader's own
// rules for gaps, broken files and memory. Nothing is shown or asked; every file is decoded
// aside, off the user-interface thread, and the steps follow each other through the event loop,
// so the copy keeps sending and answering while a large picture or a long run loads, and what
// goes out stays as it was until the picture is in.

#include "imagery/picture_decode_aside.h"
#include "imagery/sequence_loader.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QStringList>

#include <atomic>
#include <functional>

namespace vantor {

struct PlaybackState;

struct OverlayLoadResult {
    QString failure;    // why the picture did not load; empty when it did
    int32_t frames = 0; // pictures in the list once the load ended
    QStringList notes;  // files of the run that are there but did not load: the run ends before them
    QStringList animation_notes;  // an animation file loaded with something to say
};

class OverlayFileLoad : public QObject, private SequenceLoaderHost {
    Q_OBJECT

public:
    // memory: what the machine can still give, for every file the load decodes.
    OverlayFileLoad(OverlayState& overlay, PlaybackState& playback, QObject* parent = nullptr,
                    MemoryGauge memory = AvailableMemoryBytes);

    // Starts a load; `done` runs once it has ended. A load still running ends first, its `done`
    // told that a later load replaced it. Every file of the run is opened by `open`.
    void Load(const QString& path, std::function<void(const OverlayLoadResult&)> done,
              FileOpener open = OpenRegularFile);
    bool loading() const { return static_cast<bool>(done_); }

signals:
    // The picture has been decoded and is in (or did not load); a run goes on loading.
    void pictureTaken();

private:
    void StartWithPicture(RgbaImage& picture, bool loaded);
    void RunStep(RgbaImage& picture, bool loaded);
    void Finish();

    bool ChooseAndLoad(RgbaImage& image) override;
    bool AskOkCancel(const QString&, const QString&) override { return true; }
    void ShowMessage(const QString&, const QString&) override {}
    void ShowProgress(uint16_t, int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void HideProgress() override {}
    void SetLoadingLabel(const QString&) override {}
    void DrawThumbnail(const RgbaImage&) override {}
    void ShowLoadedPicture(const RgbaImage&) override {}
    void SetOverlayLabel(const QString&) override {}
    void ReportLoadFailure(const QString& path) override;
    void ReportAnimationFailure(const QString& path, const QString& why) override;
    void ReportAnimationNote(const QString& text) override { result_.animation_notes << text; }
    void ScheduleStep(int) override;
    void CancelStep() override;
    bool RunFileReady(const QString& path) override { return !decoder_.busy() && decoded_.file_path == path; }
    bool LoadPictureFile(RgbaImage& image, const MemoryGauge& memory) override;
    // An animation decodes on a thread of its own: the loader looks at it now and then.
    void ScheduleLook(int delay_ms) override { look_timer_.start(delay_ms); }
    FileOpener AnimationOpener() const override { return open_; }
    // Loaded from outside the window, every kind of file leaves On and Off as they are.
    bool LoadSwitchesOverlayOff() const override { return false; }
    void Look();

    FrameList& frames_;
    std::atomic<const SequenceFrame*> preview_current_{nullptr};  // no preview play out here
    SequenceLoader loader_;
    PictureDecodeAside decoder_;
    QTimer look_timer_;
    RgbaImage decoded_;          // the file the loader takes next, decoded aside
    bool decoded_loaded_ = false;
    QString path_;
    FileOpener open_ = OpenRegularFile;  // this load's
    OverlayLoadResult result_;
    uint32_t reset_count_ = 0;  // the list's, when this load reset it
    std::function<void(const OverlayLoadResult&)> done_;
};

}  // namespace vantor
