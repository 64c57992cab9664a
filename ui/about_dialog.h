#pragma once
// The About box: the program's file version, the version of the NDI runtime in use and the
// build's processor width.

#include "ui/dialog_builder.h"

#include <QDialog>
#include <QString>

namespace vantor {

// "NDI Vantor, v<version>, NDI® v<the runtime version's last word>, x64".
QString AboutLine(const QString& version, const char* runtime_version_text);

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // version: the program's file version text, possibly empty.
    explicit CAboutDlg(const QString& version, QWidget* parent = nullptr);

    const DialogControls& controls() const { return controls_; }

private:
    DialogControls controls_;
};

}  // namespace vantor
