// The version of the program file, 1.0.1.8, as a note in the file itself; linked into the
// program directly (never through a library, which would leave it out).

#include "platform/file_version.h"

namespace {

[[gnu::section(".note.vantor.version"), gnu::used, gnu::aligned(4)]]
const vantor::VersionNote kVersion{sizeof vantor::kVersionNoteOwner, sizeof(uint16_t) * 4, vantor::kVersionNoteType,
                                   "Vantor", {1, 0, 1, 8}};

}  // namespace
