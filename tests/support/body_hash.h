// The game's fingerprint of every fighter's point positions, which the
// determinism tests compare with stored values.
#pragma once

#include "fight/hash.h"
