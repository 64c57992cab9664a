#pragma once
// Where a copy keeps the setup it remembers: state the program writes, so under
// $XDG_STATE_HOME/ndivantor/copy<N>.conf (~/.local/state by default), apart from the setup files
// an operator writes under $XDG_CONFIG_HOME, which the program never writes. A service writes
// in the state folder its service manager gives it ($STATE_DIRECTORY), the only one it may.

#include <QString>

#include <cstdint>
#include <optional>

namespace vantor {

// Where copy No (instance number + 1) keeps its setup.
QString RememberedSetupPath(int32_t instance_number);

// A copy of an earlier version kept it under $XDG_CONFIG_HOME/ndivantor: taken over once, when
// nothing is remembered in the new place yet. Moved, unless it is this run's --config file
// (a service set up as `@copy1` reads it) or cannot be moved: then it is copied and left as it is. Empty when
// done or nothing was there; otherwise why it could not be taken over.
QString AdoptOldRememberedSetup(int32_t instance_number, const std::optional<QString>& config_path);

}  // namespace vantor
