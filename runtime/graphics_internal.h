// Shared between the drawing service's own files; the game never includes it.
#pragma once

#include "runtime/platform/platform.h"

// The drawing state flattened for the platform: colour, opacity byte, blend mode.
const Paint& currentPaint();

// The 96 glyph textures live on the display, so they are made when it opens.
void makeGlyphs();
void forgetGlyphs();
