#pragma once
// Loading a logo from outside the window: the picture, and the whole numbered run it starts, as
// the Overlay setup dialog loads them when every question is answered OK, with the loader's own
// rules for gaps, broken files and memory. Nothing is shown or asked; the steps follow each
// other through the event loop, so the copy keeps sending and answering while a long run loads.

#include "imagery/sequence_loader.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

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
    OverlayFileLoad(OverlayState& overlay, PlaybackState& playback, QObject* parent = nullptr);

    // Starts a load; `done` runs once it has ended. A load still running ends first, its `done`
    // told that a later load replaced it.
    void Load(const QString& path, std::function<void(const OverlayLoadResult&)> done);
    bool loading() const { return static_cast<bool>(done_); }

private:
    void RunStep();
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
    void ScheduleStep(int) override { step_timer_.start(0); }
    void CancelStep() override { step_timer_.stop(); }
    void ScheduleLook(int delay_ms) override { step_timer_.start(delay_ms); }

    FrameList& frames_;
    std::atomic<const SequenceFrame*> preview_current_{nullptr};  // no preview play out here
    SequenceLoader loader_;
    QTimer step_timer_;
    QString path_;
    OverlayLoadResult result_;
    uint32_t reset_count_ = 0;  // the list's, when this load reset it
    std::function<void(const OverlayLoadResult&)> done_;
};

}  // namespace vantor
