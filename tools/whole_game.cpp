// Plays a whole one-player game on the headless platform from a fixed seed:
// the twenty levels won with the knockout chord, then a name typed and Enter.
// Prints the frames presented, the total score and the fingerprint of the
// last fight's bodies, and leaves scores.txt in the working directory. Run it
// under /usr/bin/time -v for the time and memory a whole game takes; two runs
// must print the same and write the same file.
#include <cinttypes>
#include <cstdio>

#include "tests/support/determinism.h"

int main() {
    const WholeGame game = wholeGame();
    std::printf("frames %d level %d total %" PRId64 " hash %016" PRIx64 "\n", game.frames,
                game.level, game.totalScore, game.hash);
    return game.level == 21 && game.named ? 0 : 1;
}
