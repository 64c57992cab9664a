#include "platform/copy_link.h"

#include "engine/engine.h"
#include "engine/engine_constants.h"

#include <unistd.h>

namespace vantor {

CopyLink::CopyLink(Engine& engine, std::function<void()> read_controls)
    : on_bus_(bus_.Connect()),
      sync_(engine, [this](uint32_t code, intptr_t payload) { bus_.Post(code, payload); },
            static_cast<uint32_t>(::getpid()))
{
    if (on_bus_)
        positions_.Connect();  // without it the positions go nowhere; the copies need none
    QObject::connect(&bus_, &SyncBus::received, &sync_,
                     [this](quint64 code, qint64 payload) { sync_.OnSyncMessage(uintptr_t(code), intptr_t(payload)); });
    QObject::connect(&sync_, &InstanceSync::numberTaken, &bus_, &SyncBus::ClaimNumber);
    QObject::connect(&bus_, &SyncBus::numberHeldElsewhere, &sync_, &InstanceSync::NumberHeldElsewhere);
    engine.SetHooks({[this] { return sync_.master(); },
                     [this](uint32_t code, intptr_t payload) {
                         if (code == kSyncPosition)
                             positions_.Post(payload);  // the send thread's, once a frame
                         else
                             bus_.Post(code, payload);
                     },
                     std::move(read_controls)});
}

}  // namespace vantor
