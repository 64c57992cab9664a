#include "control/setup_store.h"

#include "control/copy_control.h"
#include "control/setup_file.h"
#include "imagery/frame_list.h"

#include <QFileInfo>

namespace vantor {
namespace {

// A change made through the copy's control is saved at once; any other path that changes a copy
// is covered by looking at the setup once a second, without each having to say so. No more
// often: on a copy that only sends, this look is most of what wakes the window's thread.
constexpr int kCheckInterval_ms = 1000;

}  // namespace

SetupStore::SetupStore(CopyControl& control, const FrameList& frames, std::function<int32_t()> number,
                       std::optional<QString> config_path, std::function<void(const Notice&)> report,
                       QObject* parent)
    : QObject(parent), control_(control), frames_(frames), number_(std::move(number)),
      config_path_(std::move(config_path)), report_(std::move(report))
{
    check_timer_.setInterval(kCheckInterval_ms);
    connect(&check_timer_, &QTimer::timeout, this, &SetupStore::SaveIfChanged);
    connect(&control_, &CopyControl::changed, this, [this] {
        if (check_timer_.isActive())
            SaveIfChanged();
    });
}

// The last change of a run that ends in order is kept too.
SetupStore::~SetupStore()
{
    if (check_timer_.isActive())
        SaveIfChanged();
}

void SetupStore::Begin()
{
    saved_ = ToRemember();
    check_timer_.start();
}

void SetupStore::KeepUnloadedLogo(const Setup& asked)
{
    Setup logo;
    logo.overlay = asked.overlay;
    logo.on = asked.on;
    logo.solid = asked.solid;
    unloaded_logo_ = logo;
}

Setup SetupStore::ToRemember()
{
    Setup now = control_.Current();
    if (now.overlay)
        unloaded_logo_.reset();
    else if (unloaded_logo_)
        now.TakeFrom(*unloaded_logo_);
    return now;
}

// A sequence still loading has its overlay switched off for the while: what it will be is saved
// once the load has ended.
void SetupStore::SaveIfChanged()
{
    if (frames_.loading || control_.overlay_loading())
        return;
    const Setup now = ToRemember();
    if (now == saved_)
        return;
    const int32_t number = number_();
    const QString path = RememberedSetupPath(number);
    if (config_path_ && QFileInfo(*config_path_).canonicalFilePath() == QFileInfo(path).canonicalFilePath())
        return Refuse(path + QStringLiteral(" is the --config file, which is never written"));
    const QString text = SetupFileText(now, QStringLiteral("The setup of Kelo Vantor copy No %1, saved as it changes.")
                                                .arg(number + 1));
    QString error;
    if (!WriteSetupFile(path, text, error))
        return Refuse(error);
    failing_ = false;
    control_.SetSetupNotSaved({});
    saved_ = now;
}

// Said once until a save succeeds again, and shown for as long; the file keeps what it had.
void SetupStore::Refuse(const QString& why)
{
    control_.SetSetupNotSaved(why);
    if (!std::exchange(failing_, true))
        report_({kSetupNotRemembered, QStringLiteral("Setup not saved: ") + why});
}

}  // namespace vantor
