// One frame of an online two-player game: the frame's keys held, the next
// fight set up once one ends, then the fight frame itself; and the versus series.
#include "fight/versus_steps.h"

#include <tuple>

#include "app/game_texts.h"
#include "app/gameapp.h"
#include "app/match_loop.h"
#include "fight/hash.h"
#include "fight/observer.h"
#include "runtime/input.h"
#include "runtime/numbers.h"
#include "runtime/presentation.h"

namespace {

// Player 1's keys are the arrows, player 2's W, A, S, D, as on one keyboard;
// either may confirm a result or leave. Player 1 types the name.
void holdFrameKeys(FrameKeys one, FrameKeys two) {
    const auto has = [](FrameKeys keys, FrameKey k) { return (keys & k) != 0; };
    holdKey(KeyUp, has(one, FrameUp));
    holdKey(KeyDown, has(one, FrameDown));
    holdKey(KeyLeft, has(one, FrameLeft));
    holdKey(KeyRight, has(one, FrameRight));
    holdKey(KeyW, has(two, FrameUp));
    holdKey(KeyS, has(two, FrameDown));
    holdKey(KeyA, has(two, FrameLeft));
    holdKey(KeyD, has(two, FrameRight));
    holdKey(KeyEnter, has(one, FrameEnter) || has(two, FrameEnter));
    holdKey(KeySpace, has(one, FrameSpace) || has(two, FrameSpace));
    holdKey(KeyEscape, has(one, FrameEscape) || has(two, FrameEscape));
    typeChar(typedIn(one));
}

}  // namespace

SeriesSteps::SeriesSteps(gameapp& game, int seed, FightObserver* recorder)
    : game_(game), recorder_(recorder) {
    outerRecording_ = swapInputRecording(nullptr);
    seedRandom(seed);
    // Nothing held or pressed before: the frame keys alone move the game,
    // so every machine that plays it starts from the same input.
    restoreInput(InputCheckpoint{});
}

void SeriesSteps::beginFirstFight() {
    if (recorder_ != nullptr) recorder_->begin(game_);
    game_.setUpFight();
    leave();
}

VersusSteps::VersusSteps(gameapp& game, int seed, FightObserver* recorder)
    : SeriesSteps(game, seed, recorder) {
    game_.mode = kModeVersus;
    game_.wins = {0, 0, 0};
    beginFirstFight();
}

bool VersusSteps::over() const { return left(); }

// What runGame does between two fights of the series.
void VersusSteps::betweenFights() { game_.tallyVersusResult(game_.settleFightResult()); }

void SeriesSteps::enter() {
    outerRecording_ = swapInputRecording(ownRecording_);
    seedRandom(randomState_);
    restoreInput(input_);
}

void SeriesSteps::leave() {
    randomState_ = randomState();
    input_ = saveInput();
    ownRecording_ = swapInputRecording(outerRecording_);
}

void SeriesSteps::save(int slot) {
    enter();
    kept_[static_cast<std::size_t>(slot)].save(game_);
    keptCounts_[static_cast<std::size_t>(slot)] = {played_, overAt_};
    leave();
}

void SeriesSteps::cut() {
    if (recorder_ == nullptr || over()) return;
    enter();
    recorder_->finish(game_, 0);
    leave();
}

void SeriesSteps::load(int slot) {
    enter();
    kept_[static_cast<std::size_t>(slot)].load(game_);
    std::tie(played_, overAt_) = keptCounts_[static_cast<std::size_t>(slot)];
    leave();
}

bool SeriesSteps::left() const { return game_.matchState == kStateEnd && game_.fightResult == 3; }

void SeriesSteps::advance(FrameKeys playerOne, FrameKeys playerTwo, bool seen) {
    ++played_;
    if (over()) return;
    enter();
    const Presentation shown = presentation();
    if (!seen) setPresentation(Presentation{false, false, false});
    holdFrameKeys(playerOne, playerTwo);
    if (game_.matchState == kStateEnd) {
        betweenFights();
        if (recorder_ != nullptr) recorder_->begin(game_);
        game_.setUpFight();
    }
    playFightFrame(game_);
    if (recorder_ != nullptr) {
        recorder_->frameDone(game_);
        if (game_.matchState == kStateEnd) recorder_->finish(game_, game_.fightOutcome());
    }
    if (overAt_ == kNoFrame && over()) overAt_ = played_;
    setPresentation(shown);
    leave();
}

std::uint64_t SeriesSteps::hash() {
    enter();
    const std::uint64_t h = hashFight(game_);
    leave();
    return h;
}

StateParts SeriesSteps::parts() {
    enter();
    StateParts out{};
    const auto named = hashFightParts(game_);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = named[i].hash;
    leave();
    return out;
}
