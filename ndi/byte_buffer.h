#pragma once
// Bytes that are written again and again without allocating: the storage is kept between uses,
// so once a stream has seen its largest packet, writing one costs no allocation. It grows to an
// eighth beyond what is asked (never by doubling), so it holds at most that much more than the
// largest packet it carried; from kMappedBytes on it lives in pages of its own (mapped_pages.h),
// which grow without a copy and go back to the kernel when released. Growing may throw
// std::bad_alloc.

#include "ndi/mapped_pages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace vantor::ndi {

class ByteBuffer {
public:
    static constexpr size_t kMappedBytes = 1u << 20;

    ByteBuffer() = default;
    ByteBuffer(ByteBuffer&& other) noexcept { Swap(other); }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept
    {
        ByteBuffer gone(std::move(*this));
        Swap(other);
        return *this;
    }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    void Clear() { size_ = 0; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t capacity() const { return capacity_; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    uint8_t* data() { return data_; }

    // Room for `count` more bytes at the end; returns where they go. Commit what was written.
    uint8_t* Reserve(size_t count)
    {
        if (capacity_ - size_ < count)
            Grow(size_ + count);
        return data_ + size_;
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
        ByteBuffer gone(std::move(*this));
    }

private:
    static constexpr size_t kLeastBytes = 4096;

    void Grow(size_t needed);
    void Swap(ByteBuffer& other) noexcept
    {
        std::swap(heap_, other.heap_);
        std::swap(pages_, other.pages_);
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    std::unique_ptr<uint8_t[]> heap_;  // below kMappedBytes
    MappedPages pages_;                // from kMappedBytes on
    uint8_t* data_ = nullptr;          // into whichever holds the bytes
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace vantor::ndi
