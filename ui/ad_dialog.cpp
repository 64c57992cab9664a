#include "ui/ad_dialog.h"

#include "resources/templates/web_addresses.h"
#include "ui/static_control.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

namespace vantor {
namespace {

constexpr int kPictureBitmap = 190;
constexpr QRect kPictureRect_px(10, 10, 640, 360);

bool ShowsPictureAtOnce(int display_mode)
{
    return display_mode == 3 || display_mode == 4 || display_mode == 8 || display_mode == 9;
}

}  // namespace

AdDialog::AdDialog(int display_mode, QWidget* parent, SupportDelays delays)
    : QDialog(parent), controls_(BuildDialog(*this, templates::kSupportTemplate)), display_mode_(display_mode),
      delays_(delays)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto open_on_click = [this](int id, const char* address) {
        const QUrl url(QString::fromLatin1(address));
        if (auto* button = controls_.Get<QPushButton>(id))
            connect(button, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(url); });
        else
            connect(controls_.Get<StaticControl>(id), &StaticControl::clicked, this, [url] { QDesktopServices::openUrl(url); });
    };
    open_on_click(2100, templates::kMakerSite);
    open_on_click(2101, templates::kMakerStore);
    open_on_click(2105, templates::kMakerSocialPage);
    open_on_click(2106, templates::kMakerVideoChannel);
    connect(controls_.Get<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);
    connect(controls_.Get<QPushButton>(2), &QPushButton::clicked, this, &QDialog::reject);
    picture_timer_.setSingleShot(true);
    hide_timer_.setSingleShot(true);
    connect(&picture_timer_, &QTimer::timeout, this, [this] {
        ShowPicture();
        hide_timer_.start(delays_.hide_ms);
    });
    connect(&hide_timer_, &QTimer::timeout, this, &QWidget::hide);
}

void AdDialog::Create()
{
    picture_ = new StaticControl(this);
    picture_->setGeometry(kPictureRect_px);
    bitmap_ = QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(kPictureBitmap));
    if (ShowsPictureAtOnce(display_mode_))
        ShowPicture();
    picture_timer_.start(delays_.picture_ms);
}

void AdDialog::ShowPicture() { picture_->setPixmap(bitmap_); }

}  // namespace vantor
