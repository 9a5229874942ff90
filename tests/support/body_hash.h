// The game's fingerprint of every fighter's point positions, which the
// determinism tests compare with stored values.
#pragma once

#include "app/fight_hash.h"
