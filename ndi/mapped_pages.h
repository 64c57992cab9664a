#pragma once
// Anonymous memory straight from the kernel, for large buffers: it grows without a copy, and
// goes back to the kernel whole when released, so that a large packet once freed leaves nothing
// behind in the allocator's free lists (where the C library keeps what it handed out below its
// mapping threshold, resident, for as long as the thread lives). Pages never written cost nothing.

#include <cstddef>
#include <cstdint>
#include <utility>

namespace vantor::ndi {

class MappedPages {
public:
    MappedPages() = default;
    ~MappedPages() { Release(); }
    MappedPages(MappedPages&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), bytes_(std::exchange(other.bytes_, 0))
    {
    }
    MappedPages& operator=(MappedPages&& other) noexcept
    {
        MappedPages gone(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
        return *this;
    }
    MappedPages(const MappedPages&) = delete;
    MappedPages& operator=(const MappedPages&) = delete;

    uint8_t* data() const { return data_; }

    // At least `bytes` long, the content kept; throws std::bad_alloc when the kernel refuses.
    void Resize(size_t bytes);
    void Release();

private:
    uint8_t* data_ = nullptr;
    size_t bytes_ = 0;
};

}  // namespace vantor::ndi
