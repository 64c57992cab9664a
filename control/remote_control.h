#pragma once
// A copy's control API and page, when its settings ask for them. A port that cannot be had is
// told to the operator, and the copy goes on without the API.

#include "control/control_api.h"
#include "control/control_settings.h"
#include "control/notice.h"

#include <QObject>

#include <functional>

namespace vantor {

class ControlServer;

class RemoteControl : public QObject {
    Q_OBJECT

public:
    RemoteControl(CopyParts parts, const ControlSettings& settings, std::function<void(const Notice&)> report,
                  QObject* parent = nullptr);
    ~RemoteControl() override;

    // The port the API answers on; 0 when it does not.
    quint16 port() const;

private:
    ControlApi* api_ = nullptr;        // owned through the Qt parent
    ControlServer* server_ = nullptr;  // owned through the Qt parent
};

}  // namespace vantor
