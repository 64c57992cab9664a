#include "control/setup_store.h"

#include "control/copy_control.h"
#include "control/setup_file.h"
#include "imagery/frame_list.h"

#include <QStandardPaths>

namespace vantor {
namespace {

// Every path that changes a copy (the window, the options, the API, a sequence load) is covered
// by looking at the setup a few times a second, without each having to say so.
constexpr int kCheckInterval_ms = 300;

}  // namespace

QString RememberedSetupPath(int32_t instance_number)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ndivantor/copy%1.conf").arg(instance_number + 1);
}

SetupStore::SetupStore(const CopyControl& control, const FrameList& frames, std::function<int32_t()> number,
                       std::function<void(const Notice&)> report, QObject* parent)
    : QObject(parent), control_(control), frames_(frames), number_(std::move(number)), report_(std::move(report))
{
    check_timer_.setInterval(kCheckInterval_ms);
    connect(&check_timer_, &QTimer::timeout, this, &SetupStore::SaveIfChanged);
}

// The last change of a run that ends in order is kept too.
SetupStore::~SetupStore()
{
    if (check_timer_.isActive())
        SaveIfChanged();
}

void SetupStore::Begin()
{
    saved_ = control_.Current();
    check_timer_.start();
}

// A sequence still loading has its overlay switched off for the while: what it will be is saved
// once the load has ended.
void SetupStore::SaveIfChanged()
{
    if (frames_.loading || control_.overlay_loading())
        return;
    const Setup now = control_.Current();
    if (now == saved_)
        return;
    const int32_t number = number_();
    const QString text = SetupFileText(now, QStringLiteral("The setup of Kelo Vantor copy No %1, saved as it changes.")
                                                .arg(number + 1));
    QString error;
    if (!WriteSetupFile(RememberedSetupPath(number), text, error)) {
        if (!std::exchange(failing_, true))
            report_({kSetupNotRemembered, QStringLiteral("cannot remember the setup: ") + error});
        return;
    }
    failing_ = false;
    saved_ = now;
}

}  // namespace vantor
