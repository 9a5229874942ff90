// Who won, the stages after a fight (result, summary, name entry, table) and a game's levels.

#include "app/fighters_in_play.h"
#include "app/game_texts.h"
#include "app/gameapp.h"
#include "runtime/input.h"
#include "runtime/numbers.h"

namespace {

constexpr int kLastLevel = 20;
constexpr int kResultFrames = 100;        // the result message, and its wait in "1" and "2coop"
constexpr int kVersusResultFrames = 400;  // a "2vs" result stays up this long unless confirmed
constexpr int kStageDelay = 20;           // frames before a held Enter leaves the score screens

bool isDead(const man& fighter) { return fighter.dead != 0; }

// Fighters first..last have all fallen.
bool allDead(const gameapp& g, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (!isDead(g.fighters[i])) return false;
    }
    return true;
}

void setResult(gameapp& g, int result, const char* text) {
    g.roundState = result;
    g.message = text;
    g.messageTimer = kResultFrames;
    g.stateStartFrame = g.frameCount;
    g.matchState = kStateTellResult;
}

void enterStage(gameapp& g, const char* state) {
    g.matchState = state;
    g.stateStartFrame = g.frameCount;
}

// Frames since the stage began; the frame counter wraps, so the difference does too.
int stageFrames(const gameapp& g) {
    return static_cast<int>(static_cast<unsigned>(g.frameCount) -
                            static_cast<unsigned>(g.stateStartFrame));
}

bool confirmHeld() { return isKeyDown(KeyEnter) != 0 || isKeyDown(KeySpace) != 0; }

void decideFight(gameapp& g) {
    const int n = fightersInPlay(g);
    // Not above 0 also catches an energy that is not a number.
    for (int i = 1; i <= n; ++i) {
        man& fighter = g.fighters[i];
        if (!(fighter.energy > 0.0f)) {
            fighter.energy = 0.0f;
            fighter.dead = 1;
        }
    }
    // Each side is tested in turn, so when both fall in one frame the second
    // test wins: player 2 in "2vs", the computer in "1" and "2coop".
    if (g.mode == kModeVersus) {
        if (isDead(g.fighters[2])) setResult(g, 1, "PLAYER 1 WINS!");
        if (isDead(g.fighters[1])) setResult(g, 2, "PLAYER 2 WINS!");
    } else if (g.mode == kModeOnePlayer) {
        if (allDead(g, 2, n)) {
            g.addLevelWinBonus();
            setResult(g, 1, "  YOU WIN!  ");
        }
        if (isDead(g.fighters[1])) setResult(g, 2, "  YOU LOSE!  ");
    } else if (g.mode == kModeCoop) {
        if (allDead(g, 3, n)) {
            g.addLevelWinBonus();
            setResult(g, 1, "  YOU WIN!  ");
        }
        if (isDead(g.fighters[1]) && isDead(g.fighters[2])) setResult(g, 2, "  YOU LOSE!  ");
    }
}

// The end-of-fight stages follow one another within the frame, so a stage
// entered now is drawn now and can be left now if its key is already held.
void runStages(gameapp& g) {
    const bool versus = g.mode == kModeVersus;
    const bool levels = g.mode == kModeOnePlayer || g.mode == kModeCoop;
    if (g.matchState == kStateTellResult && versus) {
        if (confirmHeld() || stageFrames(g) >= kVersusResultFrames) enterStage(g, kStateEnd);
    }
    if (g.matchState == kStateTellResult && levels && g.roundState == 1 &&
        stageFrames(g) >= kResultFrames) {
        enterStage(g, kStateLevelCompleted);
    }
    if (g.matchState == kStateTellResult && levels && g.roundState == 2 &&
        stageFrames(g) >= kResultFrames) {
        enterStage(g, kStateGameOver);
    }
    if (g.matchState == kStateLevelCompleted) {
        g.showLevelSummary(stageFrames(g));
        if (confirmHeld()) enterStage(g, g.level >= kLastLevel ? kStateGameOver : kStateEnd);
    }
    if (g.matchState == kStateGameOver) {
        g.drawGameOver(stageFrames(g));
        if (isKeyDown(KeyEnter) != 0 && stageFrames(g) > kStageDelay) {
            enterStage(g, kStateHighScores);
            g.addScore(g.playerName, low32(g.totalScore));
            g.saveScores();
        }
    }
    if (g.matchState == kStateHighScores) {
        g.drawHighScoreTable(stageFrames(g));
        if (stageFrames(g) > kStageDelay && confirmHeld()) g.matchState = kStateEnd;
    }
}

}  // namespace

void gameapp::checkOutcome() {
    if (roundState == 0) decideFight(*this);
    runStages(*this);
    if (isKeyDown(KeyEscape) != 0) {
        fightResult = 3;
        matchState = kStateEnd;
    }
}

int gameapp::levelWinBonus() const {
    const man& player = fighters[1];
    const double share = static_cast<double>(player.energy) / player.maxEnergy;
    return toInt(power(share, 2.0) * 100000.0);
}

void gameapp::addLevelWinBonus() {
    totalScore = wrapAdd64(totalScore, wrapAdd64(score, levelWinBonus()));
}

void gameapp::tallyVersusResult(int result) {
    if (result == 1) wins[1] += 1;
    if (result == 2) wins[2] += 1;
}

bool gameapp::lastFight(int result) const {
    // After the last level the game is over, won or lost.
    return result == 2 || result == 3 || level >= kLastLevel;
}

bool gameapp::nextLevel(int result) {
    const bool more = !lastFight(result);
    level += 1;
    return more;
}

void gameapp::runGame() {
    level = 1;
    totalScore = 0;
    if (mode == kModeVersus) {
        wins[1] = 0;
        wins[2] = 0;
        // Only Esc ends a series.
        for (;;) {
            const int result = playFight();
            tallyVersusResult(result);
            if (result == 3) return;
        }
    }
    if (mode != kModeOnePlayer && mode != kModeCoop) return;
    while (nextLevel(playFight())) {
    }
}
