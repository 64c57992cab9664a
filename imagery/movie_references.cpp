#include "imagery/movie_references.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace vantor {
namespace {

constexpr uint32_t Tag(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

// The boxes on the way down to the data references.
constexpr std::array kOnTheWay{Tag("moov"), Tag("trak"), Tag("mdia"), Tag("minf"), Tag("dinf")};
constexpr int kDeepest = 8;  // a box nested in itself over and over ends the walk, not the stack

struct Box {
    uint32_t type;
    int64_t body;  // where its contents start
    int64_t end;
};

// The box whose header is at `at`, when it fits before `end`; the file is left at its body.
std::optional<Box> BoxAt(QIODevice& file, int64_t at, int64_t end)
{
    uchar head[16];
    if (end - at < 8 || !file.seek(at) || file.read(reinterpret_cast<char*>(head), 8) != 8)
        return std::nullopt;
    uint64_t size = qFromBigEndian<quint32>(head);
    int64_t body = at + 8;
    if (size == 1) {  // a 64-bit size follows the type
        if (end - at < 16 || file.read(reinterpret_cast<char*>(head + 8), 8) != 8)
            return std::nullopt;
        size = qFromBigEndian<quint64>(head + 8);
        body = at + 16;
    } else if (size == 0) {  // up to the end of what holds it
        size = uint64_t(end - at);
    }
    if (size < uint64_t(body - at) || size > uint64_t(end - at))
        return std::nullopt;
    return Box{qFromBigEndian<quint32>(head + 4), body, at + int64_t(size)};
}

// Each entry of a data reference box is a box of its own whose flags say "this file" in bit 0.
bool EntryRefersOutside(QIODevice& file, const Box& dref)
{
    constexpr int64_t kVersionFlagsAndCount = 8;
    for (auto entry = BoxAt(file, dref.body + kVersionFlagsAndCount, dref.end); entry;
         entry = BoxAt(file, entry->end, dref.end)) {
        uchar version_and_flags[4];
        if (entry->end - entry->body < 4 || file.read(reinterpret_cast<char*>(version_and_flags), 4) != 4)
            return true;  // an entry that does not say it is this file is taken to be another
        if (!(version_and_flags[3] & 1))
            return true;
    }
    return false;
}

bool WalkRefersOutside(QIODevice& file, int64_t begin, int64_t end, int depth)
{
    for (auto box = BoxAt(file, begin, end); box; box = BoxAt(file, box->end, end)) {
        if (box->type == Tag("dref") && EntryRefersOutside(file, *box))
            return true;
        const bool on_the_way = std::find(kOnTheWay.begin(), kOnTheWay.end(), box->type) != kOnTheWay.end();
        if (on_the_way && depth < kDeepest && WalkRefersOutside(file, box->body, box->end, depth + 1))
            return true;
    }
    return false;
}

}  // namespace

bool RefersOutside(QIODevice& file)
{
    const qint64 was_at = file.pos();
    const bool outside = WalkRefersOutside(file, 0, file.size(), 0);
    file.seek(was_at);
    return outside;
}

}  // namespace vantor
