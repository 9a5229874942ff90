// The number of fighters in play: the fight's count held to 0..6, so that no
// loop over the fighters reads past the table whatever the count says.
#pragma once

#include <algorithm>

#include "app/gameapp.h"

inline int fightersInPlay(const gameapp& game) {
    return std::clamp(game.fighterCount, 0, kMaxFighters);
}
