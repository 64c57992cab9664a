#pragma once
// The program's own file version, kept in the program file as an ELF note and read back from
// the file itself, so a copy whose note was stripped shows no version and runs all the same.

#include <cstdint>
#include <string>

namespace vantor {

inline constexpr char kVersionNoteSection[] = ".note.vantor.version";
inline constexpr char kVersionNoteOwner[] = "Vantor";
inline constexpr uint32_t kVersionNoteType = 1;

// The note as it lies in the file: the standard note header, the owner's name padded to four
// bytes, then the four numbers.
struct VersionNote {
    uint32_t name_size;
    uint32_t desc_size;
    uint32_t type;
    char name[8];
    uint16_t numbers[4];  // major, minor, build, revision
};

struct FileVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
    bool valid = false;  // false when any step of the reading failed
};

// Reads the note of the program file at `path` (by default the running program's).
FileVersion ReadFileVersion(const char* path = "/proc/self/exe");

// "1.0.1.8"; empty for a version that could not be read.
std::string VersionText(const FileVersion& version);

}  // namespace vantor
