// The program's one way out.
#include "runtime/program.h"

#include <cstdlib>

#include "runtime/platform/platform.h"

void endProgram(int status) {
    platform().exitProcess(status);
    // Not reached: every platform's exit ends the process or unwinds out of here.
    std::abort();
}
