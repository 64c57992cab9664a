#pragma once
// The test control's "overlay <path>": loads the picture, and the numbered run it starts, as the
// Overlay setup dialog does when every question is answered with OK, then switches the overlay
// on as closing the dialog does. Reports once the overlay is on, or that the picture did not load.

#include "imagery/sequence_loader.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>

namespace vantor {

class Engine;
struct PlaybackState;

class OverlayCommand : public QObject, private SequenceLoaderHost {
    Q_OBJECT

public:
    // `done` gets true once the overlay is on, false when the picture did not load.
    OverlayCommand(Engine& engine, OverlayState& overlay, PlaybackState& playback,
                   std::function<void(bool)> done, QObject* parent = nullptr);

    void Load(const QString& path);

private:
    void RunStep();
    void SwitchOn();

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
    void ReportLoadFailure(const QString&) override {}  // told through `done` instead
    void ScheduleStep(int delay_ms) override { step_timer_.start(delay_ms); }
    void CancelStep() override { step_timer_.stop(); }

    Engine& engine_;
    OverlayState& overlay_;
    std::function<void(bool)> done_;
    std::atomic<const SequenceFrame*> preview_current_{nullptr};  // no preview without a window
    SequenceLoader loader_;
    QTimer step_timer_;
    QString path_;
    bool picked_loaded_ = false;
};

}  // namespace vantor
