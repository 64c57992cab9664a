#pragma once
// Matroska's elements into a byte vector: an ID as Matroska spells it (its length marker
// included), a size in as few bytes as it needs, then the value. A master's children are
// written first and its size put in front of them.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantor::ndi {

class EbmlWriter {
public:
    explicit EbmlWriter(std::vector<uint8_t>& out) : out_(out) {}

    void Uint(uint32_t id, uint64_t value)
    {
        int bytes = 1;
        while (bytes < 8 && value >> (8 * bytes))
            ++bytes;
        Head(id, uint64_t(bytes));
        for (int i = bytes - 1; i >= 0; --i)
            out_.push_back(uint8_t(value >> (8 * i)));
    }
    void Text(uint32_t id, std::string_view text)
    {
        Bytes(id, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    void Bytes(uint32_t id, std::span<const uint8_t> bytes)
    {
        Head(id, bytes.size());
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }
    template <typename Children>
    void Master(uint32_t id, Children children)
    {
        std::vector<uint8_t> inner;
        std::swap(out_, inner);  // the children are written alone, then put back behind their head
        children();
        std::swap(out_, inner);
        Bytes(id, inner);
    }
    // A master whose end is not known (a live stream's Segment): its children simply follow.
    void UnknownSizeMaster(uint32_t id)
    {
        Id(id);
        out_.insert(out_.end(), {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    }

private:
    void Id(uint32_t id)
    {
        int bytes = 1;
        while (bytes < 4 && id >> (8 * bytes))
            ++bytes;
        for (int i = bytes - 1; i >= 0; --i)
            out_.push_back(uint8_t(id >> (8 * i)));
    }
    // The size with its length marker, in the fewest bytes; all ones is kept for "unknown".
    void Size(uint64_t size)
    {
        int bytes = 1;
        while (bytes < 8 && size + 1 >= uint64_t{1} << (7 * bytes))
            ++bytes;
        for (int i = bytes - 1; i >= 0; --i)
            out_.push_back(uint8_t((size >> (8 * i)) | (i == bytes - 1 ? 0x80u >> (bytes - 1) : 0)));
    }
    void Head(uint32_t id, uint64_t size)
    {
        Id(id);
        Size(size);
    }

    std::vector<uint8_t>& out_;
};

}  // namespace vantor::ndi
