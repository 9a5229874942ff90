// The one way out of the program: the sound is stopped and the display given
// back to the desktop before the process ends, however the game is left.
#pragma once

[[noreturn]] void endProgram(int status);
