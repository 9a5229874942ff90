// Reads back the texts of the last presented frame, one line per y, the
// glyphs in drawing order. Glyphs are the only 8 x 16 textures, uploaded one
// per character from 32 on.
#pragma once

#include <map>
#include <string>

#include "runtime/platform/headless.h"

inline std::map<float, std::string> textLines(const HeadlessPlatform& h) {
    TextureId first = 1;
    while (first < 1000 && h.texture(first).width != 8)
        ++first;
    std::map<float, std::string> lines;
    for (const Primitive& p : h.lastFrame()) {
        if (p.kind == Primitive::Texture && h.texture(p.texture).width == 8)
            lines[p.y] += static_cast<char>(32 + p.texture - first);
    }
    return lines;
}
