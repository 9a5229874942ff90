// Writes the scripted co-op and versus fights as coop.fwr and versus.fwr into
// the directory given (the current one by default), for --timedemo and
// --verify: flailwick --timedemo coop.fwr
#include <cinttypes>
#include <cstdio>
#include <string>

#include "replay/replay.h"
#include "runtime/files.h"
#include "tests/support/recorded_fights.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    bool ok = true;
    for (const auto& [name, replay] : {std::pair{"coop.fwr", recordedCoopFight()},
                                       std::pair{"versus.fwr", recordedVersusFight()}}) {
        const std::string path = dir + "/" + name;
        const bool written = writeWholeFile(path, encodeReplay(replay));
        // The outcome goes into fight/simulation_version.h beside the file.
        std::printf("%s: %d frames, outcome 0x%016" PRIx64 "%s\n", path.c_str(), replay.frames,
                    recordedOutcome(replay), written ? "" : ", NOT WRITTEN");
        ok = ok && written;
    }
    return ok ? 0 : 1;
}
