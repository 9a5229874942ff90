#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "tests/support/fight_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

// The texts of the last frame by their y, glyphs in drawing order. Glyphs are
// the only 8 x 16 textures, uploaded one per character from 32.
std::map<float, std::string> textLines(const HeadlessPlatform& h) {
    TextureId first = 1;
    while (first < 1000 && h.texture(first).width != 8)
        ++first;
    std::map<float, std::string> lines;
    for (const Primitive& p : h.lastFrame()) {
        if (p.kind == Primitive::Texture && h.texture(p.texture).width == 8)
            lines[p.y] += static_cast<char>(32 + p.texture - first);
    }
    return lines;
}

class Outcome : public fighttest::FightTest {
  protected:
    Outcome() {
        g.fillDefaultScores();
        headless.closeWindowAt(at(4000));  // a game that never ends fails instead of hanging
    }
    void knockOut(int first, int last) {
        for (int i = first; i <= last; ++i)
            g.fighters[i].energy = 0.0f;
    }
    TempDir dir;
};

TEST_F(Outcome, WhoFallsDecidesTheFightAndEscSkipsTheTable) {
    setUp("2coop", 1);
    knockOut(1, 1);
    frames(1);
    EXPECT_EQ(g.roundState, 0);  // one player down, the other fights on
    g.fighters[2].energy = -1.0f;
    frames(1);
    EXPECT_EQ(g.roundState, 2);

    g.saveScores();
    const std::string before = fileBytes("scores.txt");
    setUp("1", 3);
    g.totalScore = INT64_MAX;
    frames(5);  // before blows count, so the score stays as set
    g.score = 1234;
    g.fighters[1].energy = NAN;  // counts as fallen
    knockOut(2, 3);
    frames(1);
    EXPECT_EQ(g.message, "  YOU LOSE!  ");
    frames(110);
    // Player 1 emptied first: a bonus of 0 and the combo score, wrapping.
    EXPECT_EQ(g.totalScore, INT64_MIN + 1233);
    EXPECT_EQ(g.matchState, "game over");
    onKeyDown(KeyEscape, false);
    frames(1);
    EXPECT_EQ(g.fightResult, 3);
    EXPECT_EQ(fileBytes("scores.txt"), before);
}

TEST_F(Outcome, AVersusDoubleFallCountsForPlayerTwo) {
    std::string tally;
    headless.onPresent([&](int f) {
        if (g.wins[2] == 0 && g.frameCount == 5) knockOut(1, 2);
        if (g.wins[2] == 0 && g.frameCount == 6) headless.keyDownAt(f, KeySpace);
        if (g.wins[2] == 1 && g.frameCount == 2) {
            tally = g.message;
            headless.keyDownAt(f, KeyEscape);
        }
    });
    g.mode = "2vs";
    g.runGame();
    EXPECT_EQ(tally, "  0 - 1  ");
}

TEST_F(Outcome, TheSummaryCountsTheScoresOverToTheTotal) {
    setUp("1", 3);
    g.score = 600;
    g.maxCombo = 4;
    g.levelStartScore = 1073741825;
    g.totalScore = 2147483651;
    g.fighters[1].energy = g.fighters[1].maxEnergy / 2;  // a bonus of 25000
    // The rows at y 240..540 at frame e; the count sums the total in single precision.
    for (const auto& [e, rows] : std::vector<std::pair<int, std::string>>{
             {90, "MAX COMBO: 4|||"},
             {298, "MAX COMBO: 4|COMBO SCORE: 600|ENERGY BONUS: 25000|TOTAL SCORE: 1073741825"},
             {359, "MAX COMBO: 4|COMBO SCORE: 300|ENERGY BONUS: 12500|TOTAL SCORE: 1610612736"},
             {420, "MAX COMBO: 4|COMBO SCORE: 0|ENERGY BONUS: 0|TOTAL SCORE: -2147483645"}}) {
        g.showLevelSummary(e);
        presentFrame();
        auto l = textLines(headless);
        EXPECT_EQ(l[50], "LEVEL 3 COMPLETED");
        EXPECT_EQ(l[240] + "|" + l[340] + "|" + l[440] + "|" + l[540], rows) << "e = " << e;
    }
}

}  // namespace
