#pragma once
// Operator new of the test program that links this: it refuses requests larger than a ceiling
// a test sets, throwing std::bad_alloc as a machine out of memory does, so that the runtime's
// threads meet a real shortage in the middle of their work.

#include <cstddef>
#include <limits>

namespace vantor::test {

inline constexpr size_t kNoCeiling = std::numeric_limits<size_t>::max();

// From now on, on every thread.
void RefuseAllocationsAbove(size_t bytes);

}  // namespace vantor::test
