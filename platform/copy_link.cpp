#include "platform/copy_link.h"

#include "engine/engine.h"

#include <unistd.h>

namespace vantor {

CopyLink::CopyLink(Engine& engine, std::function<void()> read_controls)
    : on_bus_(bus_.Connect()),
      sync_(engine, [this](uint32_t code, intptr_t payload) { bus_.Post(code, payload); },
            static_cast<uint32_t>(::getpid()))
{
    sync_.SetOwnSender(bus_.own_name());
    QObject::connect(&bus_, &SyncBus::received, &sync_,
                     [this](quint64 code, qint64 payload, const QString& sender) {
                         sync_.OnSyncMessage(uintptr_t(code), intptr_t(payload), sender);
                     });
    engine.SetHooks({[this] { return sync_.master(); },
                     [this](uint32_t code, intptr_t payload) { bus_.Post(code, payload); },
                     std::move(read_controls)});
}

}  // namespace vantor
