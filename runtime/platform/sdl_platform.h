// The real platform: an SDL2 window with an OpenGL 2.1 context and an SDL
// audio device. Deliberately free of SDL headers, so app/main.cpp stays clean.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/platform/platform.h"

Platform& sdlPlatform();

// A virtual game pad on the real platform, for tests that drive the real game
// without hardware: plugged in by attachVirtualPad, its buttons (PadButton
// values) then pressed and let go as a player would.
bool attachVirtualPad();
void setVirtualPadButton(int button, bool down);
// For the pixel test: draw as the game did before batching, one OpenGL call
// per primitive and mipmaps built by the driver, or batched (the default).
void setSdlReferenceDrawing(bool on);
// Everything drawn so far in the back buffer, RGBA rows from the bottom up.
std::vector<std::uint8_t> readSdlPixels(int width, int height);
