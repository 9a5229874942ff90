// The program's one way out.
#include "runtime/program.h"

#include <sys/resource.h>

#include <cstdlib>

#include "runtime/platform/platform.h"

void endProgram(int status) {
    platform().exitProcess(status);
    // Not reached: every platform's exit ends the process or unwinds out of here.
    std::abort();
}

std::int64_t cpuMicros() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_usec;
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}
