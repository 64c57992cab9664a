#include "ui/dialog_builder.h"

#include "preview/col_button.h"
#include "preview/vid_box.h"
#include "ui/static_control.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

namespace vantor {
namespace {

using templates::ControlKind;
using templates::ControlTemplate;

QString TextOf(const ControlTemplate& design) { return QString::fromUtf8(design.text); }

StaticControl* MakeStatic(const ControlTemplate& design, QWidget* parent)
{
    auto* label = new StaticControl(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(((design.style & templates::kCentred) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->SetNotifyClicks(design.style & templates::kNotify);
    return label;
}

// A picture control takes the size of its bitmap.
StaticControl* MakePicture(const ControlTemplate& design, QWidget* parent)
{
    StaticControl* label = MakeStatic(design, parent);
    label->setPixmap(QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(design.bitmap)));
    return label;
}

StaticControl* MakeFrame(const ControlTemplate& design, QWidget* parent)
{
    StaticControl* frame = MakeStatic(design, parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

QLineEdit* MakeEdit(const ControlTemplate& design, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    if (design.style & templates::kDigitsOnly)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    if (design.style & templates::kCentred)
        edit->setAlignment(Qt::AlignCenter);
    edit->setFrame(design.style & templates::kBorder);
    return edit;
}

QProgressBar* MakeProgressBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setTextVisible(false);
    return bar;
}

VidBox* MakePreviewBox(const ControlTemplate& design, QWidget* parent)
{
    auto* box = new VidBox(parent);
    box->SetBorder(design.style & templates::kBorder);
    box->SetNotifyClicks(design.style & templates::kNotify);
    return box;
}

QToolButton* MakeMenuButton(QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

QWidget* MakeControl(const ControlTemplate& design, QWidget* parent)
{
    switch (design.kind) {
    case ControlKind::kPushButton: return new QPushButton(parent);
    case ControlKind::kDefaultPushButton: {
        auto* button = new QPushButton(parent);
        button->setDefault(true);
        return button;
    }
    case ControlKind::kStatic: return MakeStatic(design, parent);
    case ControlKind::kPicture: return MakePicture(design, parent);
    case ControlKind::kFrame: return MakeFrame(design, parent);
    case ControlKind::kGroupBox: return new QGroupBox(parent);
    case ControlKind::kEdit: return MakeEdit(design, parent);
    case ControlKind::kProgressBar: return MakeProgressBar(parent);
    case ControlKind::kPreviewBox: return MakePreviewBox(design, parent);
    case ControlKind::kColourButton: return new CColButton(parent);
    case ControlKind::kRadioButton: return new QRadioButton(parent);
    case ControlKind::kCheckBox: return new QCheckBox(parent);
    case ControlKind::kMenuButton: return MakeMenuButton(parent);
    }
    return nullptr;
}

void SetCaption(QWidget* widget, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull())
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
}

void Place(QWidget* widget, const ControlTemplate& design, const DialogUnits& units)
{
    QRect rect = units.ToPixels(design.x, design.y, design.w, design.h);
    if (design.kind == ControlKind::kPicture) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->pixmap().isNull())
            rect.setSize(label->pixmap().size());
    }
    widget->setGeometry(rect);
}

}  // namespace

QWidget* DialogControls::Find(int id) const
{
    if (id == templates::kNoId)
        return nullptr;
    for (const Entry& entry : entries_)
        if (entry.design->id == id)
            return entry.widget;
    return nullptr;
}

QButtonGroup* DialogControls::RadioGroup(int first_id) const
{
    for (const Entry& entry : entries_)
        if (entry.design->id == first_id)
            return entry.group;
    return nullptr;
}

void DialogControls::ResetToTemplate() const
{
    for (const Entry& entry : entries_) {
        SetCaption(entry.widget, TextOf(*entry.design));
        entry.widget->setVisible(!(entry.design->style & templates::kHidden));
    }
}

DialogControls BuildDialog(QDialog& dialog, const templates::DialogTemplate& dialog_template)
{
    dialog.setFont(DialogFont());
    DialogControls controls{DialogUnits(dialog.font())};
    dialog.setWindowTitle(QString::fromUtf8(dialog_template.caption));
    dialog.setFixedSize(controls.units().ToPixels(dialog_template.width, dialog_template.height));
    QButtonGroup* group = nullptr;
    int group_index = 0;
    for (const ControlTemplate& design : dialog_template.controls) {
        QWidget* widget = MakeControl(design, &dialog);
        if (design.id != templates::kNoId)
            widget->setObjectName(QStringLiteral("id%1").arg(design.id));
        SetCaption(widget, TextOf(design));
        Place(widget, design, controls.units());
        widget->setHidden(design.style & templates::kHidden);
        QButtonGroup* started = nullptr;
        if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            if (design.style & templates::kGroupStart || !group) {
                group = started = new QButtonGroup(&dialog);
                group_index = 0;
            }
            group->addButton(radio, group_index++);
        }
        controls.entries_.push_back({&design, widget, started});
    }
    return controls;
}

}  // namespace vantor
