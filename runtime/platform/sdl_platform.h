// The real platform: an SDL2 window with an OpenGL 2.1 context and an SDL
// audio device. Deliberately free of SDL headers, so app/main.cpp stays clean.
#pragma once

#include "runtime/platform/platform.h"

Platform& sdlPlatform();
