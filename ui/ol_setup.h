#pragma once
// The "Overlay setup" dialog: the operator loads the logo (a picture or a numbered run),
// switches it on or off, picks its corner by clicking a quadrant of the overlay area, sets its
// X and Y offsets, makes it opaque and watches a preview play. The state it edits (overlay on,
// offsets, corner, the pictures) is the engine's and is read by the send thread at every frame
// it draws, so every change reaches the output with the next drawn frame, also while the dialog
// is open. The dialog object lives for the whole run; each opening starts afresh from the state.

#include "imagery/overlay_state.h"
#include "imagery/rgba_image.h"
#include "imagery/sequence_loader.h"
#include "ui/dialog_builder.h"

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <cstdint>

class QLabel;
class QLineEdit;
class QProgressBar;

namespace vantor {

class CColButton;
class CopyControl;
class StaticControl;
class VidBox;
struct PlaybackState;

class OLSetup : public QDialog, private SequenceLoaderHost {
    Q_OBJECT

public:
    // The overlay and playback state and the control outlive the dialog. Every change the
    // dialog makes goes through the control; a change made elsewhere while the dialog is open
    // shows in it at once.
    OLSetup(OverlayState& overlay, PlaybackState& playback, CopyControl& control, QWidget* parent = nullptr);
    ~OLSetup() override;

    // Every opening, modal or not, first rebuilds the controls from the state.
    int exec() override;
    void open() override;
    // OK: reads and checks the offsets; the dialog stays open when they are wrong.
    void accept() override;
    // Cancel, Escape and the close box: the overlay goes off, nothing is read.
    void reject() override;
    // Closing ends the preview play and a sequence load waiting for its next step.
    void done(int result) override;

    const DialogControls& controls() const { return controls_; }
    bool image_loaded() const { return image_loaded_; }
    bool preview_playing() const { return preview_playing_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ConnectControls();
    void OnInitDialog();
    void PlaceOverOwner();
    void ShowSplash();
    bool UpdateData();
    void WriteOffsets();
    void ShowCornerText();
    void ShowOverlayButton();
    void ShowPictureDetails(const RgbaImage& image);
    void ShowChange();

    void PickCorner(QPoint at);
    void OnOff();
    void MakeSolid();
    void OffsetsChanged();
    void Stop();
    void Play();
    void PreviewTick();

    // What the loader asks of the dialog.
    bool ChooseAndLoad(RgbaImage& image) override;
    bool AskOkCancel(const QString& caption, const QString& text) override;
    void ShowMessage(const QString& caption, const QString& text) override;
    void ShowProgress(uint16_t maximum, int32_t position) override;
    void SetProgressPosition(int32_t position) override;
    void HideProgress() override;
    void SetLoadingLabel(const QString& text) override;
    void DrawThumbnail(const RgbaImage& image) override;
    void ShowLoadedPicture(const RgbaImage& image) override;
    void SetOverlayLabel(const QString& text) override;
    void ReportLoadFailure(const QString& path) override;
    void ScheduleStep(int delay_ms) override;
    void CancelStep() override;
    bool LoadPictureFile(RgbaImage& image, const MemoryGauge& memory) override;

    OverlayState& overlay_;
    CopyControl& control_;
    // The frame the next preview tick shows; the loader moves it to the first frame whenever
    // the list is reset. User-interface thread only.
    std::atomic<const SequenceFrame*> preview_frame_{nullptr};

    DialogControls controls_;
    StaticControl* area_;             // 1027: the overlay area, clicked to pick a corner
    QLabel* thumbnail_static_;        // over the overlay area, 2 pixels in
    QLabel* loading_label_;           // 1041
    QProgressBar* progress_bar_;      // 1039
    CColButton* on_off_button_;       // 1044
    VidBox* preview_box_;             // 1043
    QLineEdit* x_edit_;               // 1034
    QLineEdit* y_edit_;               // 1035

    bool image_loaded_ = false;       // a picture has been shown: On can switch the overlay on
    bool preview_playing_ = false;
    bool writing_controls_ = false;   // the dialog itself fills the edits: no change handling
    QString shown_path_;              // the first picture whose details show
    int32_t area_width_ = 0;          // the overlay area less 2 pixels on every side
    int32_t area_height_ = 0;
    RgbaImage preview_canvas_;
    QTimer preview_timer_;            // the preview play's tick
    QTimer step_timer_;               // the next sequence load step
    SequenceLoader loader_;
};

}  // namespace vantor
