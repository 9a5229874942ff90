// Counts the test program's heap allocations while a counter is alive, so a
// test can show that a piece of work allocates nothing. The counting rides on
// the address sanitizer's allocation hooks; without the sanitizer there is
// nothing to count with and available() says so.
#pragma once

#include <cstddef>

class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    static bool available();
    // Allocations made since the counter was made, and the largest of them in bytes.
    long count() const;
    std::size_t largest() const;
};

// The one rule for tests that count allocations: where they cannot be
// counted, the test is skipped and says so rather than passing unchecked.
#define SKIP_UNLESS_ALLOCATIONS_ARE_COUNTED()                                            \
    if (!AllocationCounter::available())                                                 \
    GTEST_SKIP() << "allocations are counted through the address sanitizer, which this " \
                    "build does not have"
