#pragma once
// How a copy is reached from outside: the HTTP control API, off unless an address is given.

#include <QHostAddress>
#include <QString>

#include <optional>

namespace vantor {

struct ControlEndpoint {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;
    bool operator==(const ControlEndpoint&) const = default;
    // Only this machine can reach it: no token needed.
    bool loopback() const { return address.isLoopback(); }
};

struct ControlSettings {
    std::optional<ControlEndpoint> endpoint;  // --control [ADDRESS:]PORT
    std::optional<QString> token;             // --control-token, or the first line of --control-token-file
    std::optional<QString> files_dir;         // --control-files DIR: the only folder files load from

    void TakeFrom(const ControlSettings& over)
    {
        if (over.endpoint)
            endpoint = over.endpoint;
        if (over.token)
            token = over.token;
        if (over.files_dir)
            files_dir = over.files_dir;
    }
    bool operator==(const ControlSettings&) const = default;
};

}  // namespace vantor
