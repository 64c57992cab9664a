#include "control/setup_launch.h"

#include "control/copy_control.h"
#include "control/setup_file.h"
#include "engine/instance_sync.h"

#include <QFileInfo>
#include <QTimer>

namespace vantor {

SetupLaunch::SetupLaunch(CopyControl& control, InstanceSync& sync, const FrameList& frames, StartRequest request,
                         std::function<void(const Notice&)> report, QObject* parent)
    : QObject(parent), control_(control), request_(std::move(request)), report_(std::move(report)),
      store_(control, frames, [&sync] { return sync.instance_number(); }, request_.config_path, report_)
{
    connect(&sync, &InstanceSync::numberTaken, this, &SetupLaunch::OnNumberTaken);
}

// A copy that takes a new number after a clash keeps the setup it has.
void SetupLaunch::OnNumberTaken(int32_t number)
{
    if (std::exchange(applied_, true))
        return;
    if (const QString why = AdoptOldRememberedSetup(number, request_.config_path); !why.isEmpty())
        report_({kSetupNotRestored, QStringLiteral("the setup remembered by an earlier version stays where it was: ") + why});
    Apply(StartSetup(number));
    store_.Begin();
}

Setup SetupLaunch::StartSetup(int32_t number) const
{
    Setup setup = request_.file.setup;
    if (request_.restore) {
        const QString path = RememberedSetupPath(number);
        QString error;
        if (!QFileInfo::exists(path))
            report_({kSetupNotRestored, QStringLiteral("--restore: no setup remembered for copy No %1 yet (%2)")
                                            .arg(number + 1)
                                            .arg(path)});
        else if (const auto remembered = ReadSetupFile(path, error))
            setup.TakeFrom(remembered->setup);  // its control lines, if any, are not taken
        else
            report_({kSetupNotRestored, QStringLiteral("--restore: ") + error + QStringLiteral("; starting without it")});
    }
    setup.TakeFrom(request_.given.setup);
    return setup;
}

// In the order an operator would set a copy up: the format first, so that the pause is counted
// in its frames, then playback, the place, the pictures and, once they are in, on or solid.
void SetupLaunch::Apply(const Setup& setup)
{
    control_.ChooseFormat(setup.size, setup.rate);
    if (setup.mode)
        control_.SetPlayMode(*setup.mode);
    if (setup.pause)
        control_.SetPause(*setup.pause);
    if (setup.one_shot)
        control_.SetOneShot(*setup.one_shot);
    if (setup.run_rate)
        control_.SetRunRate(*setup.run_rate);
    if (setup.fade_ms)
        control_.SetFade(*setup.fade_ms);
    if (setup.opacity)
        control_.SetOpacity(*setup.opacity);
    if (setup.safe_area)
        control_.SetSafeArea(*setup.safe_area);
    if (setup.scale)
        control_.SetScale(*setup.scale);
    if (setup.corner)
        control_.SetCorner(*setup.corner);
    if (setup.offset)
        control_.SetOffsets(setup.offset->x, setup.offset->y);
    if (setup.overlay) {
        if (setup.on.value_or(false))
            control_.HoldSource();
        control_.LoadOverlay(*setup.overlay, [this, setup](const OverlayLoadResult& result) {
            for (const QString& note : result.notes)
                report_({kLogoRunCut, QStringLiteral("the logo's run ends before ") + note});
            for (const QString& note : result.animation_notes)
                report_({kLogoRunCut, QStringLiteral("the logo: ") + note});
            if (!result.failure.isEmpty()) {
                report_({kLogoNotLoaded,
                         QStringLiteral("the logo did not load, so the house watermark goes on air: ") + result.failure});
                store_.KeepUnloadedLogo(setup);
            }
            SwitchOverlay(setup);
            control_.ReleaseSource();
        });
    } else {
        SwitchOverlay(setup);
    }
    // A master's first application of the format would stop every slave: the role comes after
    // it, when the copy is already numbered and its source open.
    if (setup.role)
        QTimer::singleShot(0, this, [this, role = *setup.role] { control_.SetRole(role); });
}

void SetupLaunch::SwitchOverlay(const Setup& setup)
{
    if (setup.solid.value_or(false) && control_.picture_loaded() && !control_.MakeSolid())
        report_({kLogoNotSolid, QStringLiteral("there is no memory to make the logo solid")});
    if (!setup.on.value_or(false))
        return;
    if (control_.SetOverlayOn(true)) {
        control_.ConfirmOverlay();
        if (setup.cycle)
            control_.SetCycle(*setup.cycle);
    }
    else if (!setup.overlay)
        report_({kLogoNotLoaded, QStringLiteral("--on: there is no logo to switch on (give one with --overlay)")});
}

}  // namespace vantor
