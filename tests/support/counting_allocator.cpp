// The allocation counter behind the no-allocation tests.
#include "tests/support/counting_allocator.h"

#include <atomic>
#include <cstddef>

namespace {

std::atomic<int> counters{0};
std::atomic<long> allocations{0};
std::atomic<std::size_t> biggest{0};

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

void onMalloc(const volatile void*, std::size_t size) {
    if (counters.load(std::memory_order_relaxed) > 0) {
        allocations.fetch_add(1, std::memory_order_relaxed);
        std::size_t seen = biggest.load(std::memory_order_relaxed);
        while (size > seen && !biggest.compare_exchange_weak(seen, size)) {
        }
    }
}
void onFree(const volatile void*) {}

// Hooks cannot be removed once installed, so they go in once and stay.
bool installHooks() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
    return installed;
}
#else
bool installHooks() { return false; }
#endif

}  // namespace

AllocationCounter::AllocationCounter() {
    installHooks();
    allocations.store(0);
    biggest.store(0);
    counters.fetch_add(1);
}

AllocationCounter::~AllocationCounter() { counters.fetch_sub(1); }

bool AllocationCounter::available() { return installHooks(); }

long AllocationCounter::count() const { return allocations.load(); }

std::size_t AllocationCounter::largest() const { return biggest.load(); }
