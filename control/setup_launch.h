#pragma once
// The setup a copy was started with, applied once the copy has taken its number, just before
// the output format is first applied, so that the source opens in the operator's format; with
// the logo on, it opens once the logo is in, so its first frame shows the logo. With --restore the setup this number had last
// time comes first. A logo that does not load leaves the copy on air with the house watermark,
// and the copy says why; from then on the copy remembers its setup as it changes.

#include "control/command_line.h"
#include "control/notice.h"
#include "control/setup_store.h"

#include <QObject>
#include <QString>

#include <functional>

namespace vantor {

class CopyControl;
class InstanceSync;
struct FrameList;

class SetupLaunch : public QObject {
    Q_OBJECT

public:
    // report: what the operator must hear (on standard error, and in the window's output text).
    SetupLaunch(CopyControl& control, InstanceSync& sync, const FrameList& frames, StartRequest request,
                std::function<void(const Notice&)> report, QObject* parent = nullptr);

private:
    void OnNumberTaken(int32_t number);
    Setup StartSetup(int32_t number) const;
    void Apply(const Setup& setup);
    void SwitchOverlay(const Setup& setup);

    CopyControl& control_;
    const StartRequest request_;
    std::function<void(const Notice&)> report_;
    SetupStore store_;
    bool applied_ = false;
};

}  // namespace vantor
