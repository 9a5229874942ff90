// Game pads through SDL's game-controller interface, handed to the runtime's
// pads as they come, go, press and push. Part of the real platform.
#pragma once

#include <SDL.h>

// Starts listening for pads; those already plugged in arrive as events.
void openPads();
// True when the event was a pad's and has been dealt with.
bool handlePadEvent(const SDL_Event& event);
void closePads();
