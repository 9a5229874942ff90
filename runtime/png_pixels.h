// Picture decoding, independent of any display.
#pragma once

#include <cstdint>
#include <vector>

struct Pixels {
    int width = 0;
    int height = 0;
    bool hadAlpha = false;
    std::vector<std::uint8_t> rgba;
};

// PNG through libpng's simplified API; false for anything it cannot decode.
bool decodePng(const std::vector<unsigned char>& bytes, Pixels& out);

// Pixels equal to the key colour become transparent and take the average
// colour of their non-key neighbours, so filtering does not bleed dark fringes.
void applyColorKey(Pixels& pixels, int keyR, int keyG, int keyB);

// The next smaller mipmap level, half the size (rounded down, at least 1). Each
// pixel is sampled bilinearly at its centre with 8-bit weights, rows first,
// rounding each step: the levels come out as the software renderer's own
// generator made them, so pictures drawn smaller look as they always did.
Pixels halvePixels(const Pixels& level);

// The picture fitted into a transparent size x size square, its shape kept and
// centred: scaled down by averaging, up by blending the nearest four pixels.
Pixels fitInSquare(const Pixels& picture, int size);
