#pragma once
// The main window: the operator chooses the output format, opens the Overlay setup dialog, sets
// the play mode and the pause, starts and stops sending, and picks the Master or Slave role. It
// owns the whole system for the run: the overlay and playback state, the engine, this copy's
// link to the others, the control through which every change is made, the Overlay setup dialog
// and the support dialog. No engine logic lives here: the handlers hand the operator's choices
// to the control and show what it reports, also when a change came from outside the window.

#include "control/command_line.h"
#include "control/copy_control.h"
#include "control/notice.h"
#include "control/invisible_logo.h"
#include "control/remote_control.h"
#include "control/setup_launch.h"
#include "engine/engine.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "platform/copy_link.h"
#include "ui/dialog_builder.h"
#include "ui/ol_setup.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLineEdit;
class QMenu;
class QToolButton;

namespace vantor {

class AdDialog;
class CColButton;
class VidBox;

// Where the two windows go at the main window's first showing: the main window 250 pixels up,
// the support dialog centred 10 pixels beneath it, both kept on the screen's available area, so
// neither title bar is ever out of reach. Sizes and places are of the windows' frames.
struct FirstShowPlaces {
    QPoint main_window;
    QPoint support_dialog;
};
FirstShowPlaces PlaceFirstShow(const QRect& main_frame, QSize support_frame, const QRect& available);

class CNDIVantorDlg : public QDialog {
    Q_OBJECT

public:
    // `start`: the setup from the command line or a setup file, applied once the copy has its
    // number.
    explicit CNDIVantorDlg(StartRequest start = {}, QWidget* parent = nullptr);
    ~CNDIVantorDlg() override;

    // Both run the start-up sequence first; exec() is the program's life.
    int exec() override;
    void open() override;

    // The exit confirmation: Exit, Enter, Escape, a ninth copy.
    void OnOK();
    // SIGTERM or SIGINT: stop and shut down in order, without asking.
    void OnTermination();

    const DialogControls& controls() const { return controls_; }
    Engine& engine() { return engine_; }
    InstanceSync& sync() { return link_.sync(); }
    CopyControl& control() { return control_; }
    OLSetup& overlay_setup() { return overlay_setup_; }
    AdDialog* support_dialog() { return support_dialog_; }
    const QString& version_text() const { return version_text_; }

    // Cancel, the close box and Alt+F4 do nothing: the program ends through OnOK only.
    void reject() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    bool StartEngine();
    void OfferOnlyExit();
    void SetUpLinkFont();
    void SetUpMenus();
    void SetUpContextMenu();
    void SetUpColourButtons();
    void ConnectEngine();
    void ConnectSync();
    void ConnectControls();
    void WriteControls();
    bool UpdateData();
    void PlaceOnFirstShow();
    void EndProgram();

    void PlayModeClicked();
    void PauseChanged();
    void OneShotClicked();
    void GoClicked();
    void LogoBugClicked();
    void ShowAboutBox();
    void ShowArmedGo(bool armed);
    // The controls follow the copy's setup, whoever changed it.
    void ShowSetup();
    void SetPauseText(int32_t value);
    // The output line: the format, or a notice in its place until the operator opens the
    // Overlay setup (or a logo that did not load is on air after all); the format and every
    // notice in its tooltip.
    void ShowInfoText(const QString& text);
    void ShowNotice(const Notice& notice);
    void ShowOutputLine();

    OverlayState overlay_;
    PlaybackState playback_;
    DialogControls controls_;
    VidBox* preview_;             // 1026
    CColButton* logo_button_;     // 1021
    CColButton* go_button_;       // 1048
    QLineEdit* pause_edit_;       // 1034
    Engine engine_;
    CopyLink link_;
    CopyControl control_;
    OLSetup overlay_setup_;
    RemoteControl remote_;  // before launch_, which takes the start request over
    SetupLaunch launch_;
    InvisibleLogoWatch invisible_logo_;
    AdDialog* support_dialog_ = nullptr;  // owned through the Qt parent
    QString version_text_;        // "1.0.1.8"; empty when the program file carries no version
    bool engine_ready_ = false;   // start-up reached the engine: frame, runtime, watermark
    bool support_pending_ = false;  // the support dialog waits for the first showing
    bool writing_controls_ = false;
    QString info_text_;           // the engine's output info
    const char* notice_ = nullptr;  // a notice's short text, in place of the info
    QStringList notice_details_;
};

}  // namespace vantor
