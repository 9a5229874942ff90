// The fight loop: Esc, pause, the knockout chord and the fixed-seed runs.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/support/determinism.h"
#include "tests/support/fight_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using fighttest::FightTest;
using fighttest::Shape;

struct Spot {
    float x, y;
    bool operator==(const Spot& o) const { return x == o.x && y == o.y; }
};

Spot head(const gameapp& g, int fighter) {
    const ball& p = g.fighters[fighter].points[kHead];
    return {p.x, p.y};
}

// The fighters are the only translucent polygons of a fight frame without bursts.
std::vector<Shape> fighterShapes(const HeadlessPlatform& h) {
    std::vector<Shape> out;
    for (const Shape& s :
         fighttest::only(fighttest::shapes(h, h.lastFrame()), Primitive::Polygon)) {
        if (s.paint.blend == Translucent) out.push_back(s);
    }
    return out;
}

class MatchLoop : public FightTest {};

TEST_F(MatchLoop, EscEndsTheFightWithResultThree) {
    headless.keyDownAt(at(30), KeyEscape);
    headless.closeWindowAt(at(300));  // a loop that ignores Esc fails instead of hanging
    g.mode = "1";
    g.level = 1;
    EXPECT_EQ(g.playFight(), 3);
    EXPECT_EQ(g.fightResult, 3);
    EXPECT_EQ(g.matchState, "end");
    EXPECT_EQ(g.frameCount, 31);
    EXPECT_EQ(headless.framesPresented(), at(31));
}

TEST_F(MatchLoop, AFightThatEndsWithoutEscReturnsItsRoundState) {
    // Stand in for the outcome stages: the round is lost and the fight ends
    // at the fifth present.
    headless.onPresent([&](int frame) {
        if (frame == at(5)) {
            g.roundState = 2;
            g.matchState = "end";
        }
    });
    headless.closeWindowAt(at(300));
    g.mode = "1";
    g.level = 1;
    EXPECT_EQ(g.playFight(), 2);
    EXPECT_EQ(g.fightResult, 2);
    EXPECT_EQ(g.frameCount, 5);
}

TEST_F(MatchLoop, PausingFreezesTheBodiesUntilPIsPressedAgain) {
    struct Seen {
        int frameCount;
        Spot head;
    };
    std::vector<Seen> seen;
    headless.onPresent([&](int) { seen.push_back({g.frameCount, head(g, 1)}); });
    headless.pressAt(at(10), KeyP);
    headless.pressAt(at(20), KeyP);
    headless.closeWindowAt(at(300));
    setUp("1", 1);
    frames(15);
    EXPECT_EQ(g.frameCount, 15);

    // Frame 10 (counted 11 by then) pauses after drawing and presents frames
    // until the second P, which cannot come before the 20th present.
    std::vector<Spot> paused;
    Spot after{};
    for (const Seen& s : seen) {
        if (s.frameCount == 11) paused.push_back(s.head);
        if (s.frameCount == 12) after = s.head;
    }
    const int pausePresents = static_cast<int>(paused.size()) - 1;
    EXPECT_GE(pausePresents, 10);
    EXPECT_LE(pausePresents, 11);
    EXPECT_EQ(headless.framesPresented(), at(15 + pausePresents));
    for (const Spot& spot : paused)
        EXPECT_EQ(spot, paused.front());
    EXPECT_FALSE(after == paused.front());  // and the fight goes on
}

TEST_F(MatchLoop, EscWhilePausedResumesAndQuits) {
    headless.pressAt(at(10), KeyP);
    headless.pressAt(at(20), KeyEscape);
    headless.closeWindowAt(at(300));
    g.mode = "1";
    g.level = 1;
    EXPECT_EQ(g.playFight(), 3);
    EXPECT_EQ(g.frameCount, 11);
}

TEST_F(MatchLoop, PIsLeftForTheNameEntry) {
    setUp("1", 1);
    for (const char* state : {"game over", "highscores"}) {
        g.matchState = state;
        onKeyDown(KeyP, false);
        onKeyUp(KeyP);
        g.checkPause();  // would never return if it paused here
        EXPECT_EQ(keyPresses(KeyP), 1) << state;
    }
}

TEST_F(MatchLoop, TheKnockoutChordEmptiesEveryoneButPlayerOne) {
    headless.keyDownAt(at(2), Key7);  // one key alone does nothing
    headless.keyDownAt(at(5), Key9);
    setUp("2coop", 3);
    ASSERT_EQ(g.fighterCount, 4);
    frames(5);
    for (int i = 1; i <= 4; ++i)
        EXPECT_GT(g.fighters[i].energy, 0.0f) << i;
    // Held from frame 5, the chord is read at the start of the next frame at the latest.
    frames(2);
    EXPECT_FLOAT_EQ(g.fighters[1].energy, 20.0f);
    for (int i = 2; i <= 4; ++i)
        EXPECT_EQ(g.fighters[i].energy, 0.0f) << i;
}

// Runs a "2vs" fight from a fixed seed for 30 frames with the given round
// state and keys held; returns the heads of both players.
std::array<Spot, 3> versusRun(gameapp& g, int roundState, std::vector<int> keys) {
    // A fresh game: slow motion, cooldowns and the burst ring carry over from
    // one fight to the next and would tell the runs apart.
    g = gameapp{};
    g.setDefaultSettings();
    resetInput();
    seedRandom(7);
    g.mode = "2vs";
    g.level = 1;
    g.setUpFight();
    g.roundState = roundState;
    for (int key : keys)
        onKeyDown(key, false);
    for (int i = 0; i < 30; ++i)
        playFightFrame(g);
    resetInput();
    return {Spot{}, head(g, 1), head(g, 2)};
}

TEST_F(MatchLoop, AWonRoundTakesTheLoserSKeysAway) {
    // Player 2 has won: the arrows do nothing, W A S D still work.
    const auto still = versusRun(g, 2, {});
    EXPECT_EQ(versusRun(g, 2, {KeyRight, KeyUp})[1], still[1]);
    EXPECT_FALSE(versusRun(g, 2, {KeyD})[2] == still[2]);

    // Player 1 has won: the other way round.
    const auto stillOne = versusRun(g, 1, {});
    EXPECT_EQ(versusRun(g, 1, {KeyD, KeyW})[2], stillOne[2]);
    EXPECT_FALSE(versusRun(g, 1, {KeyRight})[1] == stillOne[1]);

    // Undecided: both players steer.
    const auto open = versusRun(g, 0, {});
    EXPECT_FALSE(versusRun(g, 0, {KeyRight})[1] == open[1]);
    EXPECT_FALSE(versusRun(g, 0, {KeyD})[2] == open[2]);
}

TEST_F(MatchLoop, PlayerTwoKeysDoNothingInTheOnePlayerGame) {
    resetInput();
    seedRandom(3);
    setUp("1", 1);
    frames(20);
    const std::uint64_t without = fighttest::hashPositions(g);

    g = gameapp{};  // nothing of the first fight carries over
    g.setDefaultSettings();
    seedRandom(3);
    setUp("1", 1);
    onKeyDown(KeyD, false);
    onKeyDown(KeyW, false);
    frames(20);
    EXPECT_EQ(fighttest::hashPositions(g), without);
}

TEST_F(MatchLoop, FightersFadeInOverTheFirstTwoSeconds) {
    setUp("1", 1);
    frames(1);
    std::vector<Shape> drawn = fighterShapes(headless);
    ASSERT_GE(drawn.size(), 2u * 26u);
    for (const Shape& s : drawn)
        EXPECT_EQ(s.paint.alpha, 0);

    frames(60);  // the frame with frameCount 60 was the last one
    drawn = fighterShapes(headless);
    ASSERT_GE(drawn.size(), 2u * 26u);
    for (const Shape& s : drawn)
        EXPECT_EQ(s.paint.alpha, 127);

    frames(60);
    drawn = fighterShapes(headless);
    for (const Shape& s : drawn)
        EXPECT_EQ(s.paint.alpha, 255);
}

TEST_F(MatchLoop, AFrameIsClearedThenDrawnArenaFirst) {
    setUp("1", 1);
    frames(2);
    const std::vector<Primitive>& frame = headless.lastFrame();
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.front().kind, Primitive::Clear);
    // The four walls come straight after the clear, in the wall grey.
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(frame[static_cast<std::size_t>(i)].kind, Primitive::Polygon);
        EXPECT_EQ(frame[static_cast<std::size_t>(i)].paint.r, 112);
    }
    // The frame ends with the colour back to white for the outcome stages.
    EXPECT_EQ(drawState().r, 255);
    EXPECT_EQ(drawState().g, 255);
    EXPECT_EQ(drawState().b, 255);
}

TEST_F(MatchLoop, TheIntroAnnouncesTheLevelThenTheFight) {
    setUp("1", 4);
    frames(1);
    EXPECT_EQ(g.message, "");
    frames(1);
    EXPECT_EQ(g.message, "LEVEL 4");
    EXPECT_EQ(g.messageTimer, 79);
    frames(98);
    EXPECT_EQ(g.message, "LEVEL 4");
    frames(1);  // frameCount 100
    EXPECT_EQ(g.message, "FIGHT!");
    EXPECT_EQ(g.messageTimer, 79);
    EXPECT_EQ(g.frameCount, 101);
}

TEST_F(MatchLoop, TheVersusIntroShowsTheTally) {
    g.wins = {0, 1, 0};
    setUp("2vs", 1);
    frames(2);
    EXPECT_EQ(g.message, "  1 - 0  ");
    // Stretched across the screen: nine glyphs of 1024 / 72 x 8 pixels.
    int glyphs = 0;
    for (const Primitive& p : headless.lastFrame()) {
        if (p.kind == Primitive::Texture) {
            EXPECT_NEAR(p.w, 1024.0 / 9.0, 1e-3);
            ++glyphs;
        }
    }
    EXPECT_EQ(glyphs, 9);
}

TEST_F(MatchLoop, RunGameStartsTheGameAndPlaysAFight) {
    headless.keyDownAt(at(3), KeyEscape);
    headless.closeWindowAt(at(300));
    g.mode = "2vs";
    g.level = 9;
    g.wins = {0, 4, 2};
    g.totalScore = 99;
    g.runGame();
    EXPECT_EQ(g.level, 1);
    EXPECT_EQ(g.totalScore, 0);
    EXPECT_EQ(g.wins[1], 0);
    EXPECT_EQ(g.wins[2], 0);
    EXPECT_EQ(g.fightResult, 3);
    EXPECT_EQ(g.frameCount, 4);
}

TEST_F(MatchLoop, AScriptedSixFighterFightIsReproducible) {
    const ScriptedFight a = scriptedFight();
    const ScriptedFight b = scriptedFight();
    setPlatform(&headless);
    EXPECT_EQ(a.result, 3);
    EXPECT_EQ(a.frames, 1000);
    EXPECT_EQ(a.fighters, 6);
    EXPECT_EQ(a.hash, b.hash);
    EXPECT_EQ(differences(a, kScriptedFight), "");
    EXPECT_EQ(a.hash, kScriptedFightHash) << "hash 0x" << std::hex << a.hash;
}

TEST_F(MatchLoop, AWholeScriptedGameIsReproducible) {
    TempDir dir;
    const WholeGame played = wholeGame();
    setPlatform(&headless);
    EXPECT_TRUE(played.named);
    EXPECT_EQ(played.level, 21);
    EXPECT_EQ(played.totalScore, 2000000);
    EXPECT_EQ(fileBytes("scores.txt").substr(0, 25), "ABCDEFGHIJKLMN\r\n2000000\r\n");
    EXPECT_EQ(differences(played, kWholeGame), "");
    EXPECT_EQ(played.hash, kWholeGameHash) << "hash 0x" << std::hex << played.hash;
}

}  // namespace
