#include "ndi/byte_buffer.h"

#include <algorithm>

namespace vantor::ndi {

void ByteBuffer::Grow(size_t needed)
{
    const size_t capacity = std::max(needed + needed / 8, kLeastBytes);
    if (capacity < kMappedBytes) {
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        if (size_ > 0)
            std::memcpy(grown.get(), data_, size_);
        heap_ = std::move(grown);
        data_ = heap_.get();
    } else {
        pages_.Resize(capacity);
        if (heap_ && size_ > 0)
            std::memcpy(pages_.data(), heap_.get(), size_);
        heap_.reset();
        data_ = pages_.data();
    }
    capacity_ = capacity;
}

}  // namespace vantor::ndi
