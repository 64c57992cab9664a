#pragma once
// Bytes that are written again and again without allocating: the storage is kept between uses,
// so once a stream has seen its largest packet, writing one costs no allocation. It grows to an
// eighth beyond what is asked (never by doubling), so it holds at most that much more than the
// largest packet it carried, and bytes never written are never touched: the kernel gives them
// no memory. Growing may throw std::bad_alloc.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace vantor::ndi {

class ByteBuffer {
public:
    void Clear() { size_ = 0; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t capacity() const { return capacity_; }
    std::span<const uint8_t> bytes() const { return {storage_.get(), size_}; }
    uint8_t* data() { return storage_.get(); }

    // Room for `count` more bytes at the end; returns where they go. Commit what was written.
    uint8_t* Reserve(size_t count)
    {
        if (capacity_ - size_ < count)
            Grow(size_ + count);
        return storage_.get() + size_;
    }
    void Commit(size_t count) { size_ += count; }

    void Append(std::span<const uint8_t> more)
    {
        if (more.empty())
            return;
        std::memcpy(Reserve(more.size()), more.data(), more.size());
        size_ += more.size();
    }

    // Gives the storage back; the buffer is empty.
    void Release()
    {
        storage_.reset();
        size_ = capacity_ = 0;
    }

private:
    static constexpr size_t kLeastBytes = 4096;

    void Grow(size_t needed)
    {
        const size_t capacity = std::max(needed + needed / 8, kLeastBytes);
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        if (size_ > 0)
            std::memcpy(grown.get(), storage_.get(), size_);
        storage_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<uint8_t[]> storage_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace vantor::ndi
