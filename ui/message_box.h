#pragma once
// The program's modal message boxes. A box given no caption shows the application's name.

#include <QString>

class QWidget;

namespace vantor {

// OK only.
void ShowMessage(QWidget* parent, const QString& caption, const QString& text);
// OK and Cancel; true on OK.
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text);

}  // namespace vantor
