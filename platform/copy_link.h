#pragma once
// This copy among the others on the machine: its numbering and the master's orders travel as
// messages on the session bus, the frame positions as a signal of their own, and each number
// taken is claimed as a bus name, so that of two copies that took one number the later gives it
// up. With no bus the copy runs alone as No 1.

#include "engine/instance_sync.h"
#include "platform/position_poster.h"
#include "platform/sync_bus.h"

#include <functional>

namespace vantor {

class Engine;

class CopyLink {
public:
    // read_controls: reads the window's fields before the engine recomputes the pause; may be
    // empty. Sets the engine's hooks; the engine must outlive the link.
    explicit CopyLink(Engine& engine, std::function<void()> read_controls = {});

    bool on_bus() const { return on_bus_; }
    InstanceSync& sync() { return sync_; }

private:
    SyncBus bus_;
    const bool on_bus_;
    PositionPoster positions_;
    InstanceSync sync_;
};

}  // namespace vantor
