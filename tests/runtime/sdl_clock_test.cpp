// The real platform's clock seeds the random numbers at start-up, so two
// starts a moment apart must read different times.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "runtime/platform/sdl_platform.h"

namespace {

// The clock as a freshly started program reads it first, from a child process.
std::uint32_t firstReadingOfANewProcess() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return 0;
    const pid_t child = fork();
    if (child == 0) {
        const std::uint32_t now = sdlPlatform().clockMillis();
        const bool sent = write(pipeEnds[1], &now, sizeof now) == sizeof now;
        _exit(sent ? 0 : 1);
    }
    std::uint32_t reading = 0;
    if (read(pipeEnds[0], &reading, sizeof reading) != sizeof reading) reading = 0;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    waitpid(child, nullptr, 0);
    return reading;
}

}  // namespace

TEST(SdlClock, TwoStartsAMomentApartReadDifferentTimes) {
    const std::uint32_t first = firstReadingOfANewProcess();
    usleep(50 * 1000);
    const std::uint32_t second = firstReadingOfANewProcess();
    // Unsigned, so that a wrap of the 32-bit count between the two still counts right.
    EXPECT_GE(second - first, 50u);
    EXPECT_LT(second - first, 60u * 1000u);
}
