// The one way out of the program: the sound is stopped and the display given
// back to the desktop before the process ends, however the game is left.
#pragma once

#include <cstdint>

[[noreturn]] void endProgram(int status);

// Processor time the process has used, user and system, in microseconds.
std::int64_t cpuMicros();
