#include "ui/about_dialog.h"

#include "ndi/ndi_runtime.h"
#include "resources/templates/web_addresses.h"
#include "ui/main_dialog_texts.h"

#include <QLabel>
#include <QPushButton>

namespace vantor {
namespace {

constexpr int kProcessorWidth = sizeof(void*) * 8;

}  // namespace

QString AboutLine(const QString& version, const char* runtime_version_text)
{
    const QString runtime = QString::fromUtf8(runtime_version_text ? runtime_version_text : "");
    const QString runtime_version = runtime.mid(runtime.lastIndexOf(u' ') + 1);
    return QString::fromUtf8(kAboutLine).arg(version, runtime_version).arg(kProcessorWidth);
}

CAboutDlg::CAboutDlg(const QString& version, QWidget* parent)
    : QDialog(parent), controls_(BuildDialog(*this, templates::kAboutTemplate))
{
    controls_.Get<QLabel>(1022)->setText(AboutLine(version, NDIlib_version()));
    controls_.Get<QLabel>(1023)->setText(QString::fromUtf8(templates::kRightsNotice));
    connect(controls_.Get<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vantor
