#pragma once
// Every copy remembers its setup under its number, so that --restore brings back what the
// operator set up last time: $XDG_CONFIG_HOME/ndivantor/copy<N>.conf (~/.config by default), a
// setup file like any other, written atomically.

#include "control/notice.h"
#include "control/setup.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace vantor {

class CopyControl;
struct FrameList;

// Where copy No (instance number + 1) keeps its setup.
QString RememberedSetupPath(int32_t instance_number);

class SetupStore : public QObject {
    Q_OBJECT

public:
    // number: this copy's instance number when it saves; report: what the operator must hear.
    SetupStore(const CopyControl& control, const FrameList& frames, std::function<int32_t()> number,
               std::function<void(const Notice&)> report, QObject* parent = nullptr);
    ~SetupStore() override;

    // From now on every change is saved; what stands now counts as saved.
    void Begin();

private:
    void SaveIfChanged();

    const CopyControl& control_;
    const FrameList& frames_;
    std::function<int32_t()> number_;
    std::function<void(const Notice&)> report_;
    Setup saved_;
    bool failing_ = false;  // the last save failed and said so
    QTimer check_timer_;
};

}  // namespace vantor
