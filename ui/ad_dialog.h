#pragma once
// The support dialog: shown once at every start beneath the main window, with a picture that
// promotes the maker's products and buttons to the maker's pages; it hides itself after about
// twenty seconds. Cancel, Escape and the close box hide it earlier; it is never shown again.

#include "ui/dialog_builder.h"

#include <QDialog>
#include <QTimer>

namespace vantor {

class StaticControl;

// How long the picture waits to be set again, then how long until the dialog hides.
struct SupportDelays {
    int picture_ms = 9000;
    int hide_ms = 10531;
};

class AdDialog : public QDialog {
    Q_OBJECT

public:
    // display_mode: 3, 4, 8 and 9 show the picture at once, the others only after the first
    // delay. Tests may shorten the delays; the program always uses the defaults.
    explicit AdDialog(int display_mode, QWidget* parent = nullptr, SupportDelays delays = {});

    // Makes the picture control and starts the timers; the owner then places and shows it.
    void Create();

    const DialogControls& controls() const { return controls_; }
    const StaticControl* picture() const { return picture_; }

private:
    void ShowPicture();

    DialogControls controls_;
    StaticControl* picture_ = nullptr;  // owned through the Qt parent
    QPixmap bitmap_;
    const int display_mode_;
    const SupportDelays delays_;
    QTimer picture_timer_;
    QTimer hide_timer_;
};

}  // namespace vantor
