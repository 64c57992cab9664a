#pragma once
// Bytes that are written again and again without allocating: the storage only ever grows, so
// once a stream has seen its largest packet, writing one costs no allocation.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace vantor::ndi {

class ByteBuffer {
public:
    void Clear() { size_ = 0; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<const uint8_t> bytes() const { return {storage_.data(), size_}; }
    uint8_t* data() { return storage_.data(); }

    // Room for `count` more bytes at the end; returns where they go. Commit what was written.
    uint8_t* Reserve(size_t count)
    {
        if (storage_.size() < size_ + count)
            storage_.resize(std::max(storage_.size() * 2, size_ + count));
        return storage_.data() + size_;
    }
    void Commit(size_t count) { size_ += count; }

    void Append(std::span<const uint8_t> more)
    {
        if (more.empty())
            return;
        std::memcpy(Reserve(more.size()), more.data(), more.size());
        size_ += more.size();
    }

private:
    std::vector<uint8_t> storage_;
    size_t size_ = 0;
};

}  // namespace vantor::ndi
