// Plays the stored fixed-seed runs and the stored recordings' scripted fights
// and compares them with the stored values: the optimised build must play
// exactly as the test build, and neither differently from the version.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/determinism.h"
#include "tests/support/recorded_fights.h"

namespace {

bool same(const char* what, std::uint64_t got, std::uint64_t stored) {
    std::printf("%s: %016" PRIx64 " %s\n", what, got, got == stored ? "as stored" : "DIFFERS");
    return got == stored;
}

// The figures that differ come before the verdict, so the first says what changed.
template <typename Run>
bool asStored(const char* what, const Run& run, const Run& stored) {
    const std::string lines = differences(run, stored);
    std::printf("%s%s: %016" PRIx64 " %s\n", lines.c_str(), what, run.hash,
                lines.empty() ? "as stored" : "DIFFERS");
    return lines.empty();
}

}  // namespace

int main() {
    const bool bodies = same("two bodies, 600 frames", bodyFightHash(), kBodyFightHash);
    const bool fight = asStored("scripted six-fighter fight", scriptedFight(), kScriptedFight);
    // The whole game writes scores.txt where it runs: somewhere of its own.
    char dir[] = "/tmp/flailwick-determinism-XXXXXX";
    const bool moved = mkdtemp(dir) != nullptr && chdir(dir) == 0;
    const bool game = moved && asStored("whole one-player game", wholeGame(), kWholeGame);
    if (moved) {
        std::remove("scores.txt");
        rmdir(dir);
    }
    const std::string recordings = recordedFightDifferences();
    std::printf("%sthe stored recordings' fights: %s\n", recordings.c_str(),
                recordings.empty() ? "as stored" : "DIFFER");
    return bodies && fight && game && recordings.empty() ? 0 : 1;
}
