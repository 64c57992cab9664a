#pragma once
// Every copy remembers its setup under its number, so that --restore brings back what the
// operator set up last time (RememberedSetupPath): a setup file like any other, written whole
// or not at all, so a full disk or a crash leaves the last good one.

#include "control/notice.h"
#include "control/remembered_place.h"
#include "control/setup.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace vantor {

class CopyControl;
struct FrameList;

class SetupStore : public QObject {
    Q_OBJECT

public:
    // number: this copy's instance number when it saves; config_path: the --config file, which
    // is never written; report: what the operator must hear.
    SetupStore(CopyControl& control, const FrameList& frames, std::function<int32_t()> number,
               std::optional<QString> config_path, std::function<void(const Notice&)> report,
               QObject* parent = nullptr);
    ~SetupStore() override;

    // From now on every change is saved; what stands now counts as saved.
    void Begin();
    // The logo the copy was asked to start with did not load (a share not mounted yet, say): it
    // stays remembered, with its on and solid, until another picture is loaded, so an unrelated
    // change does not drop it.
    void KeepUnloadedLogo(const Setup& asked);

private:
    void SaveIfChanged();
    Setup ToRemember();
    void Refuse(const QString& why);

    CopyControl& control_;
    const FrameList& frames_;
    std::function<int32_t()> number_;
    const std::optional<QString> config_path_;
    std::function<void(const Notice&)> report_;
    std::optional<Setup> unloaded_logo_;  // overlay, on and solid as asked
    Setup saved_;
    bool failing_ = false;  // the last save failed and said so
    QTimer check_timer_;
};

}  // namespace vantor
