// Flailwick takes no command-line arguments and reads no environment: the
// preferences file is its only configuration.
#include "app/gameapp.h"
#include "runtime/platform/sdl_platform.h"

int main() {
    setPlatform(&sdlPlatform());
    playFlailwick();
}
