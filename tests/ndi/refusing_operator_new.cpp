#include "refusing_operator_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace vantor::test {
namespace {

std::atomic<size_t> ceiling{kNoCeiling};

void* Allocate(size_t bytes) noexcept
{
    return bytes > ceiling.load(std::memory_order_relaxed) ? nullptr : std::malloc(bytes == 0 ? 1 : bytes);
}

}  // namespace

void RefuseAllocationsAbove(size_t bytes)
{
    ceiling = bytes;
}

}  // namespace vantor::test

// Every form that pairs with free(); the aligned forms stay the library's own, as do their deletes.
void* operator new(size_t bytes)
{
    if (void* p = vantor::test::Allocate(bytes))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t bytes) { return operator new(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return vantor::test::Allocate(bytes); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return vantor::test::Allocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
