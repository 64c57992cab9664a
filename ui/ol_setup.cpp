#include "ui/ol_setup.h"

#include "control/copy_control.h"
#include "engine/playback_state.h"
#include "imagery/image_decoder.h"
#include "imagery/picture_decode_aside.h"
#include "imagery/sequence_texts.h"
#include "ndi/ndi_runtime.h"
#include "preview/col_button.h"
#include "preview/vid_box.h"
#include "ui/data_exchange.h"
#include "ui/image_widgets.h"
#include "ui/message_box.h"
#include "ui/ol_setup_texts.h"
#include "ui/preview_canvas.h"
#include "ui/screen_fit.h"
#include "ui/static_control.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>

namespace vantor {
namespace {

constexpr int32_t kCornerCodes[4] = {kCornerUpperLeft, kCornerUpperRight, kCornerLowerLeft, kCornerLowerRight};
constexpr int kAreaInset_px = 2;
constexpr int kPreviewTick_ms = 40;
constexpr int kSplashBitmap = 148;
constexpr int kOwnerOffsetX_du = 0;  // where the dialog opens, from its owner's corner
constexpr int kOwnerOffsetY_du = 125;
constexpr int kLongPath = 50;        // longer paths show the file name alone

QString FirstLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

}  // namespace

OLSetup::OLSetup(OverlayState& overlay, PlaybackState& playback, CopyControl& control, QWidget* parent)
    : QDialog(parent), overlay_(overlay), control_(control), controls_(BuildDialog(*this, templates::kOverlaySetupTemplate)),
      area_(controls_.Get<StaticControl>(1027)), thumbnail_static_(new QLabel(this)),
      loading_label_(controls_.Get<QLabel>(1041)), progress_bar_(controls_.Get<QProgressBar>(1039)),
      on_off_button_(controls_.Get<CColButton>(1044)), preview_box_(controls_.Get<VidBox>(1043)),
      x_edit_(controls_.Get<QLineEdit>(1034)), y_edit_(controls_.Get<QLineEdit>(1035)),
      loader_(overlay, {playback.is_sequence, playback.current, preview_frame_}, *this)
{
    // Clicks on the thumbnail fall through to the overlay area beneath it.
    thumbnail_static_->setAttribute(Qt::WA_TransparentForMouseEvents);
    thumbnail_static_->setGeometry(area_->geometry().adjusted(kAreaInset_px, kAreaInset_px, -kAreaInset_px, -kAreaInset_px));
    area_width_ = thumbnail_static_->width();
    area_height_ = thumbnail_static_->height();
    setAcceptDrops(true);
    preview_timer_.setInterval(kPreviewTick_ms);
    step_timer_.setSingleShot(true);
    ConnectControls();
}

OLSetup::~OLSetup() = default;

void OLSetup::ConnectControls()
{
    auto button = [this](int id) { return controls_.Get<QPushButton>(id); };
    connect(button(1), &QPushButton::clicked, this, &OLSetup::accept);
    connect(button(2), &QPushButton::clicked, this, &OLSetup::reject);
    connect(button(1037), &QPushButton::clicked, this, [this] { loader_.LoadOverlay(); });
    connect(button(1033), &QPushButton::clicked, this, &OLSetup::MakeSolid);
    connect(button(1040), &QPushButton::clicked, this, &OLSetup::Stop);
    connect(button(1042), &QPushButton::clicked, this, &OLSetup::Play);
    connect(on_off_button_, &QPushButton::clicked, this, &OLSetup::OnOff);
    connect(area_, &StaticControl::clicked, this, &OLSetup::PickCorner);
    connect(x_edit_, &QLineEdit::textChanged, this, &OLSetup::OffsetsChanged);
    connect(y_edit_, &QLineEdit::textChanged, this, &OLSetup::OffsetsChanged);
    connect(&preview_timer_, &QTimer::timeout, this, &OLSetup::PreviewTick);
    connect(&step_timer_, &QTimer::timeout, this, [this] { loader_.LoadSequenceStep(); });
    connect(&control_, &CopyControl::changed, this, &OLSetup::ShowChange);
}

int OLSetup::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void OLSetup::open()
{
    OnInitDialog();
    QDialog::open();
}

void OLSetup::OnInitDialog()
{
    controls_.ResetToTemplate();
    PlaceOverOwner();
    preview_canvas_.FillSolid(960, 540, 0, 0, 170);
    thumbnail_static_->clear();
    WriteOffsets();
    preview_box_->PreparePreview();
    ShowSplash();
    const RgbaImage& first = overlay_.frames.first.image;
    if (!first.file_path.isEmpty()) {
        vantor::DrawThumbnail(thumbnail_static_, first);
        ShowPictureDetails(first);
    } else {
        control_.SetOverlayOn(false);
    }
    on_off_button_->InstallStateColours();
    on_off_button_->press_index = 0;
    ShowOverlayButton();
    ShowCornerText();
    SetOverlayLabel(QString::fromLatin1(overlay_.overlay_on ? kOverlayOnLabel : kOverlayOffLabel));
    controls_.Find(1)->setFocus();
}

// Opens below the owner's top left corner, kept on the screen's available area.
void OLSetup::PlaceOverOwner()
{
    const QWidget* owner = parentWidget();
    if (!owner)
        return;
    const QPoint wanted = owner->mapToGlobal(
        QPoint(controls_.units().X(kOwnerOffsetX_du), controls_.units().Y(kOwnerOffsetY_du)));
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    move(KeptOnScreen(wanted, frameGeometry().size(), screen->availableGeometry()));
}

void OLSetup::ShowSplash()
{
    RgbaImage splash;
    if (splash.LoadFromResource(kSplashBitmap))
        preview_box_->ShowPicture(splash.pixels.get(), splash.width, splash.height, splash.width * 4,
                                  NDIlib_FourCC_type_BGRA);
}

void OLSetup::accept()
{
    if (UpdateData())
        QDialog::accept();
}

void OLSetup::reject()
{
    control_.SetOverlayOn(false);
    QDialog::reject();
}

// Whatever closes the dialog ends its timers: a preview play stops (and Play works again at
// the next opening), a load waiting for its next step ends where it is, without its end step.
void OLSetup::done(int result)
{
    preview_timer_.stop();
    preview_playing_ = false;
    loader_.AbandonLoad();
    preview_box_->Release();
    preview_canvas_.Release();
    QDialog::done(result);
}

// Both offsets are stored before either range is tested, so an offset out of range already
// reaches the output when the message shows.
bool OLSetup::UpdateData()
{
    const auto x = ReadInteger(x_edit_);
    if (!x)
        return false;
    const auto y = ReadInteger(y_edit_);
    control_.SetOffsets(*x, y.value_or(overlay_.y_offset));
    if (!y)
        return false;
    return CheckRange(x_edit_, *x, 0, kMaxXOffset) && CheckRange(y_edit_, *y, 0, kMaxYOffset);
}

void OLSetup::WriteOffsets()
{
    writing_controls_ = true;
    x_edit_->setText(QString::number(overlay_.x_offset));
    y_edit_->setText(QString::number(overlay_.y_offset));
    writing_controls_ = false;
}

void OLSetup::ShowCornerText()
{
    const auto code = std::find(std::begin(kCornerCodes), std::end(kCornerCodes), overlay_.corner_code.load());
    const char* name = code == std::end(kCornerCodes) ? "" : kCornerNames[code - std::begin(kCornerCodes)];
    controls_.Get<QLabel>(1036)->setText(
        QString::asprintf(kCornerText, name, int(overlay_.x_offset), int(overlay_.y_offset)));
}

void OLSetup::ShowOverlayButton()
{
    on_off_button_->colour_index = overlay_.overlay_on ? kColourIndexOn : kColourIndexIdle;
    on_off_button_->update();
}

void OLSetup::ShowPictureDetails(const RgbaImage& image)
{
    shown_path_ = image.file_path;
    controls_.Get<QLabel>(1029)->setText(image.file_path.size() > kLongPath ? image.file_title : image.file_path);
    controls_.Get<QLabel>(1031)->setText(
        QString::asprintf(kPixelSizeText, image.width, image.height, image.bits_per_pixel));
}

// Halves truncate, so a click on a middle line counts as upper or left.
void OLSetup::PickCorner(QPoint at)
{
    const bool lower = at.y() > area_height_ / 2;
    const bool right = at.x() > area_width_ / 2;
    control_.SetCorner(kCornerCodes[(lower ? 2 : 0) + (right ? 1 : 0)]);
}

void OLSetup::OnOff()
{
    if (overlay_.overlay_on)
        control_.SetOverlayOn(false);
    else if (image_loaded_)
        control_.SetOverlayOn(true);
}

void OLSetup::MakeSolid()
{
    if (!control_.MakeSolid())
        vantor::ShowMessage(this, QString(), QString::fromLatin1(kSolidOutOfMemoryText));
}

void OLSetup::OffsetsChanged()
{
    if (writing_controls_)
        return;
    UpdateData();
    ShowCornerText();
}

// A change from the control, the dialog's own or one from outside the window: the fields
// show the state again, and an edit the operator is typing in is left alone while it says the
// same.
void OLSetup::ShowChange()
{
    if (!isVisible())
        return;
    const auto differs = [](const QLineEdit* edit, int32_t value) {
        bool number = false;
        return edit->text().toInt(&number) != value && number;  // an emptied field is being typed in
    };
    if (differs(x_edit_, overlay_.x_offset) || differs(y_edit_, overlay_.y_offset))
        WriteOffsets();
    ShowCornerText();
    ShowOverlayButton();
    SetOverlayLabel(QString::fromLatin1(overlay_.overlay_on ? kOverlayOnLabel : kOverlayOffLabel));
    const RgbaImage& first = overlay_.frames.first.image;
    if (first.IsCompositable() && first.file_path != shown_path_)
        ShowLoadedPicture(first);
}

void OLSetup::Stop()
{
    overlay_.frames.loading = false;
    if (!preview_playing_)
        return;
    preview_playing_ = false;
    loading_label_->setText(QString::fromLatin1(kPreviewStoppedText));
}

// A picture dropped before any "Load Overlay" plays as it is; with no picture at all, Play
// says so instead of composing from nothing.
void OLSetup::Play()
{
    overlay_.frames.loading = false;
    if (preview_playing_)
        return;
    loading_label_->show();
    if (!preview_frame_ && image_loaded_)
        preview_frame_ = &overlay_.frames.first;
    const SequenceFrame* frame = preview_frame_;
    if (!frame || !frame->image.IsCompositable()) {
        loading_label_->setText(QString::fromLatin1(kNothingToPlayText));
        return;
    }
    vantor::DrawThumbnail(thumbnail_static_, frame->image);
    const int32_t k = PreviewCanvasUnit(frame->image.width, frame->image.height);
    preview_canvas_.FillSolid(16 * k, 9 * k, 51, 51, 221);
    preview_playing_ = true;
    preview_timer_.start();
    loading_label_->setText(QString::asprintf(kPreviewCanvasText, 16 * k, 9 * k));
}

void OLSetup::PreviewTick()
{
    const SequenceFrame* frame = preview_frame_;
    if (!preview_playing_ || !frame) {
        preview_timer_.stop();
        return;
    }
    RgbaImage& canvas = preview_canvas_;
    canvas.Fill(0xFF, 0xDD, 0x33, 0x33);
    frame->image.Composite(overlay_.x_offset, overlay_.y_offset, kCornerCentre, kCompositeBlend,
                           canvas.pixels.get(), canvas.width, canvas.height);
    preview_box_->ShowPicture(canvas.pixels.get(), canvas.width, canvas.height, canvas.width * 4,
                              NDIlib_FourCC_type_RGBA);
    preview_frame_ = frame->next ? frame->next : &overlay_.frames.first;
}

void OLSetup::dragEnterEvent(QDragEnterEvent* event)
{
    if (!FirstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// Only the first file of a drop is taken; the others are ignored.
void OLSetup::dropEvent(QDropEvent* event)
{
    const QString path = FirstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    UpdateData();
    loader_.DropFile(path);
}

bool OLSetup::ChooseAndLoad(RgbaImage& image) { return LoadWithFileDialog(image, this); }

bool OLSetup::AskOkCancel(const QString& caption, const QString& text)
{
    return vantor::AskOkCancel(this, caption, text);
}

void OLSetup::ShowMessage(const QString& caption, const QString& text) { vantor::ShowMessage(this, caption, text); }

void OLSetup::ShowProgress(uint16_t maximum, int32_t position)
{
    progress_bar_->setRange(0, maximum);
    progress_bar_->setValue(position);
    progress_bar_->show();
    loading_label_->show();
}

void OLSetup::SetProgressPosition(int32_t position) { progress_bar_->setValue(position); }

void OLSetup::HideProgress()
{
    progress_bar_->hide();
    loading_label_->hide();
}

void OLSetup::SetLoadingLabel(const QString& text) { loading_label_->setText(text); }

void OLSetup::DrawThumbnail(const RgbaImage& image) { vantor::DrawThumbnail(thumbnail_static_, image); }

void OLSetup::ShowLoadedPicture(const RgbaImage& image)
{
    vantor::DrawThumbnail(thumbnail_static_, image);
    ShowPictureDetails(image);
    image_loaded_ = true;
}

void OLSetup::SetOverlayLabel(const QString& text) { controls_.Get<QLabel>(1032)->setText(text); }

void OLSetup::ReportLoadFailure(const QString& path)
{
    vantor::ShowMessage(this, QString::fromLatin1(kLoadImageTitle),
                        QString::fromLatin1(kLoadFailureMessage).arg(path, DescribeLoadFailure(path)));
}

void OLSetup::ScheduleStep(int delay_ms) { step_timer_.start(delay_ms); }

void OLSetup::CancelStep() { step_timer_.stop(); }

// Decoded aside: the copy's control API and page go on answering while a large picture decodes.
bool OLSetup::LoadPictureFile(RgbaImage& image, const MemoryGauge& memory)
{
    return LoadFromFileAside(image, image.file_path, memory);
}

}  // namespace vantor
