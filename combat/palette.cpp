// The palette whose rows wander through colours for headings, highlights and messages.
#include "app/gameapp.h"
#include "runtime/numbers.h"

// Each channel sweeps between about 0 and 255 in steps of 2 and reverses at
// random about once in a hundred frames, so the colours never settle into a cycle.
void gameapp::cyclePalette() {
    for (int r = 1; r <= paletteRows; ++r) {
        for (int c = 1; c <= 3; ++c) {
            if (randomReal(0, 1000) > 990) paletteStep[r][c] = -paletteStep[r][c];
            if (palette[r][c] > 253) paletteStep[r][c] = -2;
            if (palette[r][c] < 2) paletteStep[r][c] = 2;
            palette[r][c] += paletteStep[r][c];
        }
    }
}
