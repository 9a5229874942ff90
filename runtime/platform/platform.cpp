// The platform in use, which every runtime service talks to.
#include "runtime/platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace {
Platform* current = nullptr;
}

Platform& platform() {
    if (current == nullptr) {
        std::fputs("Flailwick: no platform was set before the runtime was used\n", stderr);
        std::abort();
    }
    return *current;
}

void setPlatform(Platform* p) { current = p; }
