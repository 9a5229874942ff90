// Plays the stored fixed-seed runs and compares their fingerprints with the
// stored values: the optimised build must play exactly as the test build.
#include <cinttypes>
#include <cstdio>

#include "tests/support/determinism.h"

namespace {

bool same(const char* what, std::uint64_t got, std::uint64_t stored) {
    std::printf("%s: %016" PRIx64 " %s\n", what, got, got == stored ? "as stored" : "DIFFERS");
    return got == stored;
}

}  // namespace

int main() {
    const ScriptedFight fight = scriptedFight();
    const bool bodies = same("two bodies, 600 frames", bodyFightHash(), kBodyFightHash);
    const bool whole = same("scripted six-fighter fight", fight.hash, kScriptedFightHash);
    return bodies && whole ? 0 : 1;
}
