#include "ui/main_dialog.h"

#include "control/service_status.h"
#include "engine/engine_constants.h"
#include "engine/output_format.h"
#include "platform/file_version.h"
#include "platform/realtime_thread.h"
#include "preview/col_button.h"
#include "preview/vid_box.h"
#include "resources/templates/web_addresses.h"
#include "ui/about_dialog.h"
#include "ui/look_dialog.h"
#include "ui/ad_dialog.h"
#include "ui/data_exchange.h"
#include "ui/main_dialog_texts.h"
#include "ui/message_box.h"
#include "ui/screen_fit.h"
#include "ui/static_control.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdio>

namespace vantor {
namespace {

constexpr int kIconBitmap = 128;
constexpr int kMoveUpOnFirstShow_px = 250;
constexpr int kSupportGap_px = 10;  // between the moved main window and the support dialog
constexpr int kSupportDisplayMode = 3;

QPixmap Bitmap(int id) { return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(id)); }

void OpenPage(const char* address) { QDesktopServices::openUrl(QUrl(QString::fromLatin1(address))); }

}  // namespace

CNDIVantorDlg::CNDIVantorDlg(StartRequest start, QWidget* parent)
    : QDialog(parent), controls_(BuildDialog(*this, templates::kMainDialogTemplate)),
      preview_(controls_.Get<VidBox>(1026)), logo_button_(controls_.Get<CColButton>(1021)),
      go_button_(controls_.Get<CColButton>(1048)), pause_edit_(controls_.Get<QLineEdit>(1034)),
      engine_(overlay_, playback_, &preview_->buffer()), link_(engine_, [this] { UpdateData(); }),
      control_(engine_, overlay_, playback_, link_.sync()), overlay_setup_(overlay_, playback_, control_, this),
      remote_({control_, engine_, overlay_, playback_, link_.sync()}, start.Settings().control,
              [this](const Notice& n) { ShowNotice(n); }),
      launch_(control_, link_.sync(), overlay_.frames, std::move(start), [this](const Notice& n) { ShowNotice(n); }),
      invisible_logo_(control_, [this](const Notice& n) { ShowNotice(n); })
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setWindowIcon(QIcon(Bitmap(kIconBitmap)));
    setContextMenuPolicy(Qt::CustomContextMenu);
    ConnectControls();
}

// The send thread ends before the link to the other copies goes, since it posts through it.
CNDIVantorDlg::~CNDIVantorDlg() { engine_.StopSending(); }

int CNDIVantorDlg::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CNDIVantorDlg::open()
{
    OnInitDialog();
    QDialog::open();
}

// The start-up sequence, before the window first shows.
void CNDIVantorDlg::OnInitDialog()
{
    WriteControls();
    SetUpLinkFont();
    version_text_ = QString::fromStdString(VersionText(ReadFileVersion()));
    SetUpMenus();
    SetUpContextMenu();
    if (!StartEngine())
        return OfferOnlyExit();
    PlayModeClicked();
    controls_.Get<QCheckBox>(1020)->setChecked(sync().slave());
    controls_.Get<QCheckBox>(1019)->setChecked(sync().master());
    playback_.forward = true;
    ConnectEngine();
    ConnectSync();
    sync().Announce();
    preview_->PreparePreview();
    SetUpColourButtons();
    engine_.ScheduleAutoStart();
    support_dialog_ = new AdDialog(kSupportDisplayMode, this);
    support_pending_ = true;
}

bool CNDIVantorDlg::StartEngine()
{
    switch (engine_.Startup()) {
    case StartupResult::kReady:
        engine_.SetSendThreadStart(MakeThisThreadRealtime);
        return engine_ready_ = true;
    case StartupResult::kCannotRunNdi: ShowMessage(this, QString(), QString::fromLatin1(kCannotRunNdiMessage)); break;
    case StartupResult::kFrameCreationProblem:
        ShowMessage(this, QString(), QString::fromLatin1(kFrameCreationProblemMessage));
        break;
    }
    return false;
}

// Without a runtime or a frame nothing may start (it would send unpaced): only Exit is left.
void CNDIVantorDlg::OfferOnlyExit()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(child == controls_.Find(1));
}

void CNDIVantorDlg::SetUpLinkFont()
{
    QFont link_font = controls_.Find(1000)->font();
    link_font.setUnderline(true);
    controls_.Find(1017)->setFont(link_font);
    controls_.Find(1018)->setFont(link_font);
}

void CNDIVantorDlg::SetUpMenus()
{
    auto fill = [this](int button_id, const auto& rows, auto select) {
        auto* button = controls_.Get<QToolButton>(button_id);
        auto* menu = new QMenu(button);
        for (const auto& row : rows)
            menu->addAction(QString::fromLatin1(row.label))->setData(row.menu_id);
        button->setMenu(menu);
        connect(menu, &QMenu::triggered, this, [select](QAction* chosen) { select(chosen->data().toInt()); });
        connect(button, &QToolButton::clicked, this, [select] { select(0); });  // the face: chosen id 0
    };
    fill(1002, kResolutions, [this](int id) { control_.SelectFormat(id, std::nullopt); });
    fill(1003, kFrameRates, [this](int id) { control_.SelectFormat(std::nullopt, id); });
}

// The system menu's two entries, as the window's context menu, and the logo's look.
void CNDIVantorDlg::SetUpContextMenu()
{
    connect(this, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        QMenu menu(this);
        connect(menu.addAction(QString::fromLatin1(kHelpEntry)), &QAction::triggered, this,
                [] { OpenPage(templates::kHelpPage); });
        connect(menu.addAction(QString::fromUtf8(kAboutEntry)), &QAction::triggered, this, &CNDIVantorDlg::ShowAboutBox);
        connect(menu.addAction(QString::fromLatin1(kLookEntry)), &QAction::triggered, this,
                [this] { LookDialog(control_, this).exec(); });
        menu.exec(mapToGlobal(at));
    });
}

void CNDIVantorDlg::SetUpColourButtons()
{
    for (CColButton* button : {logo_button_, go_button_}) {
        button->InstallStateColours();
        button->colour_index = kColourIndexIdle;
        button->press_index = 0;
        button->update();
    }
}

void CNDIVantorDlg::ConnectEngine()
{
    connect(&engine_, &Engine::infoTextChanged, this, &CNDIVantorDlg::ShowInfoText);
    connect(&engine_, &Engine::resolutionCaptionChanged, controls_.Get<QToolButton>(1002), &QToolButton::setText);
    connect(&engine_, &Engine::frameRateCaptionChanged, controls_.Get<QToolButton>(1003), &QToolButton::setText);
    connect(&engine_, &Engine::sendingChanged, this, [this](bool running) {
        for (int id : {1000, 1002, 1003})
            controls_.Find(id)->setEnabled(!running);
        controls_.Find(1001)->setEnabled(running);
    });
    connect(&engine_, &Engine::lampChanged, this,
            [this](int bitmap) { controls_.Get<QLabel>(1014)->setPixmap(Bitmap(bitmap)); });
    // Hovered, the lamp says what receivers get: a stopped copy's source still listens.
    const auto tell_output = [this] {
        controls_.Get<QLabel>(1014)->setToolTip(engine_.running() ? QStringLiteral("On air")
                                                                  : "Stopped: " + StoppedOutputWords(engine_));
    };
    connect(&engine_, &Engine::sendingChanged, this, tell_output);
    connect(&engine_, &Engine::sourceChanged, this, tell_output);
    connect(&engine_, &Engine::goButtonIdle, this, [this] { ShowArmedGo(false); });
    connect(&engine_, &Engine::previewReady, preview_, qOverload<>(&QWidget::update));
    connect(&engine_, &Engine::finished, this, &CNDIVantorDlg::EndProgram);
    connect(&control_, &CopyControl::changed, this, &CNDIVantorDlg::ShowSetup);
}

void CNDIVantorDlg::ConnectSync()
{
    connect(&sync(), &InstanceSync::titleChanged, this, &QWidget::setWindowTitle);
    connect(&sync(), &InstanceSync::masterBoxChanged, controls_.Get<QCheckBox>(1019), &QCheckBox::setChecked);
    connect(&sync(), &InstanceSync::slaveBoxChanged, controls_.Get<QCheckBox>(1020), &QCheckBox::setChecked);
    connect(&sync(), &InstanceSync::exitRequested, this, &CNDIVantorDlg::OnOK, Qt::QueuedConnection);
}

void CNDIVantorDlg::ConnectControls()
{
    auto clicked = [this](int id, auto handler) {
        connect(controls_.Get<QAbstractButton>(id), &QAbstractButton::clicked, this, handler);
    };
    clicked(1, [this] { OnOK(); });
    clicked(1000, [this] { control_.Start(); });
    clicked(1001, [this] { control_.Stop(); });
    clicked(1017, [] { OpenPage(templates::kMakerSite); });
    clicked(1018, [] { OpenPage(templates::kNdiVendorSite); });
    clicked(1021, [this] { LogoBugClicked(); });
    clicked(1048, [this] { GoClicked(); });
    clicked(1051, [this] { OneShotClicked(); });
    clicked(1019, [this](bool checked) { control_.SetRole(checked ? SyncRole::kMaster : SyncRole::kNone); });
    clicked(1020, [this](bool checked) { control_.SetRole(checked ? SyncRole::kSlave : SyncRole::kNone); });
    for (int id : {1004, 1005, 1006, 1007})
        clicked(id, [this] { PlayModeClicked(); });
    for (int id : {1008, 1009})
        clicked(id, [this] { PauseChanged(); });
    connect(pause_edit_, &QLineEdit::textChanged, this, &CNDIVantorDlg::PauseChanged);
    connect(controls_.Get<StaticControl>(1024), &StaticControl::clicked, this, [] { OpenPage(templates::kMakerUserGroup); });
    connect(controls_.Get<StaticControl>(1025), &StaticControl::clicked, this, [] { OpenPage(templates::kMakerVideoChannel); });
    connect(preview_, &VidBox::clicked, this, [this] { engine_.TogglePreview(); });
}

// The members into the controls, once: "Forward" and "Secs" checked, One-Shot clear, pause 0.
void CNDIVantorDlg::WriteControls()
{
    writing_controls_ = true;
    controls_.RadioGroup(1004)->button(playback_.play_mode)->setChecked(true);
    controls_.RadioGroup(1008)->button(playback_.pause_unit)->setChecked(true);
    controls_.Get<QCheckBox>(1051)->setChecked(playback_.one_shot);
    SetPauseText(playback_.pause_value);
    writing_controls_ = false;
}

// Only what differs is written, so a field the operator is typing in keeps its cursor.
void CNDIVantorDlg::ShowSetup()
{
    writing_controls_ = true;
    if (QAbstractButton* mode = controls_.RadioGroup(1004)->button(playback_.play_mode); mode && !mode->isChecked())
        mode->setChecked(true);
    controls_.Get<QLabel>(1016)->setText(QString::fromLatin1(PlayModeName(playback_.play_mode)));
    if (QAbstractButton* unit = controls_.RadioGroup(1008)->button(playback_.pause_unit); unit && !unit->isChecked())
        unit->setChecked(true);
    if (pause_edit_->text() != QString::number(playback_.pause_value))
        SetPauseText(playback_.pause_value);
    controls_.Get<QCheckBox>(1051)->setChecked(playback_.one_shot);
    controls_.Get<QCheckBox>(1019)->setChecked(sync().master());
    controls_.Get<QCheckBox>(1020)->setChecked(sync().slave());
    writing_controls_ = false;
    ShowArmedGo(playback_.armed());
    if (notice_ == kLogoNotLoaded && overlay_.overlay_on) {
        notice_ = nullptr;  // a logo is on air after all
        ShowOutputLine();
    }
    // The Logo/Bug button shows the overlay once the dialog has closed, as it always has.
    if (!overlay_setup_.isVisible()) {
        logo_button_->colour_index = overlay_.overlay_on ? kColourIndexOn : kColourIndexIdle;
        logo_button_->update();
    }
}

void CNDIVantorDlg::SetPauseText(int32_t value)
{
    const QSignalBlocker quiet(pause_edit_);
    pause_edit_->setText(QString::number(value));
}

void CNDIVantorDlg::ShowInfoText(const QString& text)
{
    info_text_ = text;
    ShowOutputLine();
}

void CNDIVantorDlg::ShowNotice(const Notice& notice)
{
    std::fprintf(stderr, "ndivantor: %s\n", qPrintable(notice.detail));
    notice_ = notice.short_text;
    notice_details_ << notice.detail;
    ShowOutputLine();
}

void CNDIVantorDlg::ShowOutputLine()
{
    auto* line = controls_.Get<QLabel>(1015);
    line->setText(notice_ ? QString::fromLatin1(notice_) : info_text_);
    line->setToolTip(notice_details_.isEmpty() ? QString() : (QStringList{info_text_} + notice_details_).join(u'\n'));
}

// The controls into the members. A pause field without a number keeps the old value; a number
// out of range is reported but stored, and the handlers go on with it.
bool CNDIVantorDlg::UpdateData()
{
    playback_.one_shot = controls_.Get<QCheckBox>(1051)->isChecked();
    playback_.play_mode = controls_.RadioGroup(1004)->checkedId();
    playback_.pause_unit = controls_.RadioGroup(1008)->checkedId();
    const auto pause = ReadInteger(pause_edit_);
    if (!pause)
        return false;
    playback_.pause_value = *pause;
    return CheckRange(pause_edit_, *pause, 0, kMaxPauseValue);
}

void CNDIVantorDlg::PlayModeClicked()
{
    UpdateData();
    controls_.Get<QLabel>(1016)->setText(QString::fromLatin1(control_.SetPlayMode(playback_.play_mode)));
}

void CNDIVantorDlg::PauseChanged()
{
    if (writing_controls_)
        return;
    UpdateData();
    control_.SetPause({playback_.pause_value, playback_.pause_unit});
}

void CNDIVantorDlg::OneShotClicked()
{
    UpdateData();
    if (control_.SetOneShot(playback_.one_shot))
        ShowArmedGo(true);
}

void CNDIVantorDlg::GoClicked()
{
    if (control_.PressGo())
        ShowArmedGo(true);
}

void CNDIVantorDlg::ShowArmedGo(bool armed)
{
    go_button_->colour_index = armed ? kColourIndexArmed : kColourIndexIdle;
    go_button_->update();
}

// The preview follows the output while the operator works in the dialog; sending goes on.
void CNDIVantorDlg::LogoBugClicked()
{
    notice_ = nullptr;  // the operator is seeing to the logo
    ShowOutputLine();
    engine_.OverlaySetupOpened();
    overlay_setup_.exec();
    logo_button_->colour_index = overlay_.overlay_on ? kColourIndexOn : kColourIndexIdle;
    logo_button_->update();
    engine_.OverlaySetupClosed();
}

void CNDIVantorDlg::ShowAboutBox()
{
    CAboutDlg about(version_text_, this);
    about.exec();
}

void CNDIVantorDlg::OnOK()
{
    if (focusWidget() == pause_edit_)
        return;  // Enter in the pause field does not exit
    if (!AskOkCancel(this, QString::fromLatin1(kQuitCaption), QString::fromLatin1(kQuitQuestion)))
        return;
    if (!engine_ready_)
        return EndProgram();
    engine_.ExitConfirmed();
}

void CNDIVantorDlg::OnTermination()
{
    if (!engine_ready_)
        return EndProgram();
    engine_.ExitConfirmed();
}

// A signal can end the program while a dialog or message box runs its own loop above the
// window's: each is closed first, or the program would wait on it for ever.
void CNDIVantorDlg::EndProgram()
{
    while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        if (modal == this)
            break;
        modal->done(QDialog::Rejected);
    }
    done(QDialog::Rejected);
}

void CNDIVantorDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape: return OnOK();
    case Qt::Key_F1: return OpenPage(templates::kHelpPage);
    default: QDialog::keyPressEvent(event);
    }
}

void CNDIVantorDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void CNDIVantorDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (support_pending_)
        QTimer::singleShot(0, this, &CNDIVantorDlg::PlaceOnFirstShow);
}

// At the first showing the main window moves up and the support dialog appears beneath it,
// centred.
void CNDIVantorDlg::PlaceOnFirstShow()
{
    if (!support_pending_)
        return;
    support_pending_ = false;
    const QRect available = (screen() ? screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const QRect window = frameGeometry();
    support_dialog_->Create();
    const FirstShowPlaces places = PlaceFirstShow(window, support_dialog_->size() + (window.size() - size()), available);
    move(places.main_window);
    support_dialog_->move(places.support_dialog);
    support_dialog_->show();
}

FirstShowPlaces PlaceFirstShow(const QRect& main_frame, QSize support_frame, const QRect& available)
{
    const QPoint main = KeptOnScreen(main_frame.topLeft() - QPoint(0, kMoveUpOnFirstShow_px), main_frame.size(), available);
    const QRect moved(main, main_frame.size());
    const QPoint beneath(moved.left() - (support_frame.width() - moved.width()) / 2, moved.bottom() + 1 + kSupportGap_px);
    return {main, KeptOnScreen(beneath, support_frame, available)};
}

}  // namespace vantor
