#include "control/remote_control.h"

#include "control/control_server.h"
#include "control/setup_words.h"

#include <cstdio>

namespace vantor {

RemoteControl::RemoteControl(CopyParts parts, const ControlSettings& settings,
                             std::function<void(const Notice&)> report, QObject* parent)
    : QObject(parent)
{
    if (!settings.endpoint)
        return;
    const ControlEndpoint& endpoint = *settings.endpoint;
    // Beyond the loopback, pictures load from the named folder alone, and from none without it.
    api_ = new ControlApi(parts, {endpoint.loopback(), settings.files_dir}, this);
    server_ = new ControlServer(*api_, endpoint, settings.token, this);
    QString why;
    if (!server_->Listen(why)) {
        report({kControlOff, QStringLiteral("the control API cannot listen on %1 (%2): the copy goes on without it")
                                 .arg(words::EndpointWord(endpoint), why)});
        delete server_;
        server_ = nullptr;
        return;
    }
    std::fprintf(stderr, "Control API and page: http://%s/\n", qPrintable(words::EndpointWord(endpoint)));
}

RemoteControl::~RemoteControl() = default;

quint16 RemoteControl::port() const { return server_ ? server_->port() : 0; }

}  // namespace vantor
