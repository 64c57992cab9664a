#include "ndi/mapped_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace vantor::ndi {

void MappedPages::Resize(size_t bytes)
{
    static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    void* pages = data_ ? ::mremap(data_, bytes_, bytes, MREMAP_MAYMOVE)
                        : ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(pages);
    bytes_ = bytes;
}

void MappedPages::Release()
{
    if (data_)
        ::munmap(data_, bytes_);
    data_ = nullptr;
    bytes_ = 0;
}

}  // namespace vantor::ndi
