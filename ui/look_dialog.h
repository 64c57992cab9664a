#pragma once
// A small dialog of our own for how the logo looks on air: opacity, size, fades, the safe area its
// offsets count from, and its timed cycle. Reached from the main window's menu; every change
// goes through the copy's control, as the API's do.

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vantor {

class CopyControl;

class LookDialog : public QDialog {
public:
    LookDialog(CopyControl& control, QWidget* parent = nullptr);

private:
    void Apply();

    CopyControl& control_;
    QSpinBox* opacity_;
    QSpinBox* scale_;  // its minimum, kScaleFit, reads "Fit"
    QDoubleSpinBox* fade_;
    QComboBox* safe_area_;
    QLineEdit* cycle_;
    QLabel* problem_;
};

}  // namespace vantor
