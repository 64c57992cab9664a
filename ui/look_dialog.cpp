#include "ui/look_dialog.h"

#include "control/copy_control.h"
#include "control/setup_words.h"
#include "imagery/overlay_state.h"
#include "imagery/picture_scale.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>

namespace vantor {

LookDialog::LookDialog(CopyControl& control, QWidget* parent)
    : QDialog(parent), control_(control), opacity_(new QSpinBox(this)), scale_(new QSpinBox(this)), fade_(new QDoubleSpinBox(this)),
      safe_area_(new QComboBox(this)), cycle_(new QLineEdit(this)), problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Logo look"));
    const Setup now = control_.Current();
    opacity_->setRange(0, kMaxOpacityPercent);
    opacity_->setSuffix(QStringLiteral(" %"));
    opacity_->setValue(now.opacity.value_or(kMaxOpacityPercent));
    scale_->setRange(kScaleFit, kMaxScalePercent);
    scale_->setSpecialValueText(QStringLiteral("Fit"));
    scale_->setSuffix(QStringLiteral(" %"));
    scale_->setValue(now.scale.value_or(100));
    scale_->setToolTip(QStringLiteral("Fit scales the logo by the output's height / 1080"));
    fade_->setRange(0, kMaxFade_ms / 1000.0);
    fade_->setSingleStep(0.1);
    fade_->setDecimals(1);
    fade_->setSuffix(QStringLiteral(" s"));
    fade_->setValue(now.fade_ms.value_or(0) / 1000.0);
    safe_area_->addItem(QStringLiteral("The frame's edge"), kSafeAreaEdge);
    safe_area_->addItem(QStringLiteral("Action safe (3.5 %)"), kSafeAreaAction);
    safe_area_->addItem(QStringLiteral("Graphics safe (5 %)"), kSafeAreaGraphics);
    safe_area_->setCurrentIndex(safe_area_->findData(now.safe_area.value_or(kSafeAreaEdge)));
    cycle_->setText(words::CycleWord(now.cycle.value_or(CycleSetting{})));
    cycle_->setPlaceholderText(QStringLiteral("10s/10m"));
    cycle_->setToolTip(words::CycleAccepted());
    problem_->setWordWrap(true);
    problem_->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LookDialog::Apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Opacity"), opacity_);
    form->addRow(QStringLiteral("Scale"), scale_);
    form->addRow(QStringLiteral("Fade"), fade_);
    form->addRow(QStringLiteral("Offsets from"), safe_area_);
    form->addRow(QStringLiteral("Cycle (show/every)"), cycle_);
    form->addRow(problem_);
    form->addRow(buttons);
}

// The cycle is read first, so a wrong one changes nothing; given again unchanged, it is not
// started anew.
void LookDialog::Apply()
{
    const auto cycle = words::ReadCycle(cycle_->text().trimmed());
    if (!cycle) {
        problem_->setText(QStringLiteral("Cycle takes ") + words::CycleAccepted() + QLatin1Char('.'));
        problem_->show();
        return;
    }
    control_.SetOpacity(opacity_->value());
    control_.SetScale(scale_->value());
    control_.SetFade(int32_t(std::lround(fade_->value() * 1000)));
    control_.SetSafeArea(safe_area_->currentData().toInt());
    if (cycle != control_.Current().cycle)
        control_.SetCycle(*cycle);
    accept();
}

}  // namespace vantor
