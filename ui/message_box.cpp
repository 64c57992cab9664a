#include "ui/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace vantor {
namespace {

QMessageBox::StandardButton Run(QWidget* parent, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    QMessageBox box(icon, caption.isEmpty() ? QCoreApplication::applicationName() : caption, text,
                    buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& caption, const QString& text)
{
    Run(parent, caption, text, QMessageBox::Ok, QMessageBox::Warning);
}

bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text)
{
    return Run(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question) ==
           QMessageBox::Ok;
}

}  // namespace vantor
