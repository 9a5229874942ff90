// Two ends of a network made in memory, for tests and measuring tools: each
// datagram arrives after a delay with jitter, some are lost and some come
// twice, and jitter reorders them. Time is whatever the given clock says.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "runtime/net/link.h"

struct NetworkConditions {
    int delayMillis = 0;   // one way
    int jitterMillis = 0;  // added at random up to this, which reorders
    int lossPercent = 0;
    int duplicatePercent = 5;
};

struct MemoryLinks {
    std::unique_ptr<NetLink> a, b;
};

// clockMillis: the time now, in milliseconds. Either end may be dropped; the
// other then stays open and hears nothing more.
MemoryLinks makeMemoryLinks(const NetworkConditions& conditions, unsigned seed,
                            std::function<double()> clockMillis);
