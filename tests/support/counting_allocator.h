// Counts the test program's heap allocations while a counter is alive, so a
// test can show that a piece of work allocates nothing. The counting rides on
// the address sanitizer's allocation hooks; without the sanitizer there is
// nothing to count with and available() says so.
#pragma once

class AllocationCounter {
  public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    static bool available();
    // Allocations made since the counter was made.
    long count() const;
};
