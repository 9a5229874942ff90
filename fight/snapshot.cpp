// Saving and loading a fight's state by copying the game object whole.
#include "fight/snapshot.h"

#include "app/gameapp.h"
#include "runtime/numbers.h"

FightSnapshot::FightSnapshot() : copy_(std::make_unique<gameapp>()) {}
FightSnapshot::~FightSnapshot() = default;
FightSnapshot::FightSnapshot(FightSnapshot&&) noexcept = default;
FightSnapshot& FightSnapshot::operator=(FightSnapshot&&) noexcept = default;

void FightSnapshot::save(const gameapp& game) {
    *copy_ = game;
    randomState_ = randomState();
    input_ = saveInput();
}

void FightSnapshot::load(gameapp& game) const {
    game = *copy_;
    seedRandom(randomState_);
    restoreInput(input_);
}
