#pragma once
// Builds a dialog's controls from its template: every control a child of the dialog, created
// in tab order, at its place converted from dialog units with the dialog font's base units.
// Each control is named "id<number>" after its id.

#include "resources/templates/dialog_template.h"
#include "ui/dialog_units.h"

#include <QString>

#include <vector>

class QButtonGroup;
class QDialog;
class QWidget;

namespace vantor {

class DialogControls {
public:
    explicit DialogControls(const DialogUnits& units) : units_(units) {}

    // The control with this id; null when the template has none.
    QWidget* Find(int id) const;
    template <typename T>
    T* Get(int id) const { return qobject_cast<T*>(Find(id)); }
    // The exclusive group that the radio button with this id starts; buttons are numbered from 0.
    QButtonGroup* RadioGroup(int first_id) const;

    // Every caption and visibility back as the template has them, for a dialog opened again.
    void ResetToTemplate() const;
    const DialogUnits& units() const { return units_; }

private:
    friend DialogControls BuildDialog(QDialog& dialog, const templates::DialogTemplate& dialog_template);
    struct Entry {
        const templates::ControlTemplate* design;
        QWidget* widget;
        QButtonGroup* group;  // the radio group this control starts, if any
    };
    DialogUnits units_;
    std::vector<Entry> entries_;
};

// The dialog gets the dialog font, the template's caption and its fixed client size.
DialogControls BuildDialog(QDialog& dialog, const templates::DialogTemplate& dialog_template);

}  // namespace vantor
