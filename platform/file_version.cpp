#include "platform/file_version.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace vantor {
namespace {

// Bounded reads from the file: a damaged or foreign file yields nothing, never a bad read.
class ElfFile {
public:
    explicit ElfFile(const char* path) : in_(path, std::ios::binary)
    {
        in_.seekg(0, std::ios::end);
        size_ = in_ ? uint64_t(in_.tellg()) : 0;
    }

    template <typename T>
    std::optional<T> Read(uint64_t offset)
    {
        T value;
        if (!ReadBytes(offset, &value, sizeof value))
            return std::nullopt;
        return value;
    }

    bool ReadBytes(uint64_t offset, void* out, uint64_t count)
    {
        if (!in_ || offset > size_ || count > size_ - offset)
            return false;
        in_.seekg(std::streamoff(offset));
        in_.read(static_cast<char*>(out), std::streamsize(count));
        return bool(in_);
    }

private:
    std::ifstream in_;
    uint64_t size_ = 0;
};

bool IsElf64(const Elf64_Ehdr& header)
{
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
           header.e_shentsize == sizeof(Elf64_Shdr);
}

std::optional<Elf64_Shdr> FindSection(ElfFile& file, const Elf64_Ehdr& header, const char* wanted)
{
    const auto names = file.Read<Elf64_Shdr>(header.e_shoff + uint64_t(header.e_shstrndx) * sizeof(Elf64_Shdr));
    if (!names || header.e_shstrndx >= header.e_shnum)
        return std::nullopt;
    const size_t wanted_size = std::strlen(wanted) + 1;
    for (uint16_t i = 0; i < header.e_shnum; ++i) {
        const auto section = file.Read<Elf64_Shdr>(header.e_shoff + uint64_t(i) * sizeof(Elf64_Shdr));
        if (!section)
            return std::nullopt;
        std::string name(wanted_size, '\0');
        if (section->sh_name < names->sh_size &&
            file.ReadBytes(names->sh_offset + section->sh_name, name.data(), wanted_size) &&
            std::memcmp(name.data(), wanted, wanted_size) == 0)
            return section;
    }
    return std::nullopt;
}

}  // namespace

FileVersion ReadFileVersion(const char* path)
{
    ElfFile file(path);
    const auto header = file.Read<Elf64_Ehdr>(0);
    if (!header || !IsElf64(*header))
        return {};
    const auto section = FindSection(file, *header, kVersionNoteSection);
    if (!section || section->sh_type == SHT_NOBITS || section->sh_size < sizeof(VersionNote))
        return {};
    const auto note = file.Read<VersionNote>(section->sh_offset);
    if (!note || note->name_size != sizeof kVersionNoteOwner || note->desc_size != sizeof note->numbers ||
        note->type != kVersionNoteType || std::memcmp(note->name, kVersionNoteOwner, sizeof kVersionNoteOwner) != 0)
        return {};
    return {note->numbers[0], note->numbers[1], note->numbers[2], note->numbers[3], true};
}

std::string VersionText(const FileVersion& version)
{
    if (!version.valid)
        return {};
    return std::to_string(version.major) + '.' + std::to_string(version.minor) + '.' + std::to_string(version.build) +
           '.' + std::to_string(version.revision);
}

}  // namespace vantor
