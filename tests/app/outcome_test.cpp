// Fights decided, the stages after them, the name entry and the score screens' frames.
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
    knockOut(3, g.fighterCount);
    frames(1);
    EXPECT_EQ(g.roundState, 1);  // the computer's side alone has fallen

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

TEST_F(Outcome, AVersusResultStaysFourHundredFramesAndEitherPlayerScores) {
    std::string tally;
    int decided = 0, ended = 0;
    headless.onPresent([&](int f) {
        if (g.wins[1] == 0 && g.frameCount == 5) knockOut(2, 2);
        if (g.wins[1] == 0 && g.roundState == 1 && decided == 0) decided = g.frameCount;
        if (g.wins[1] == 0 && g.matchState == "end") ended = g.frameCount;
        if (g.wins[1] == 1 && g.wins[2] == 0 && g.frameCount == 5) knockOut(1, 1);
        if (g.wins[1] == 1 && g.wins[2] == 0 && g.frameCount == 6) headless.keyDownAt(f, KeySpace);
        if (g.wins[2] == 1 && g.frameCount == 2) {
            tally = g.message;
            headless.keyDownAt(f, KeyEscape);
        }
    });
    g.mode = "2vs";
    g.runGame();
    EXPECT_EQ(ended - decided, 400);  // unconfirmed
    EXPECT_EQ(tally, "  1 - 1  ");
}

// Keys typed while the result shows are drained; the name entry then takes one
// character a frame, and Enter once 20 frames have passed.
TEST_F(Outcome, TheNameEntryTakesCharactersAfterItsDrainAndEnterAfterTwentyFrames) {
    setUp("1", 1);
    knockOut(1, 1);
    frames(1);
    onChar('x');
    frames(100);
    ASSERT_EQ(g.matchState, "game over");
    frames(3);
    EXPECT_EQ(g.playerName, "");
    // Backspace with nothing typed, then a letter erased with Delete.
    for (char c : std::string("\bz ab\x7f"))
        onChar(static_cast<std::uint16_t>(c));
    onKeyDown(KeyEnter, false);
    frames(17);
    EXPECT_EQ(g.playerName, "Z A");
    EXPECT_EQ(g.matchState, "game over");
    frames(1);
    EXPECT_EQ(g.matchState, "highscores");
}

// SCORE: from frame 60, the prompt only for a score above the table's 20th;
// the table's heading from frame 1 and each row five frames after the last.
TEST_F(Outcome, TheScoreScreensShowTheirLinesAtTheirFrames) {
    for (int i = 0; i < 20; ++i)
        g.highScores[static_cast<std::size_t>(i)].score = static_cast<std::uint32_t>(1000 + i);
    EXPECT_EQ(g.lowestTableScore(), 1000);
    const auto shown = [&](auto draw, int frame) {
        draw(frame);
        presentFrame();
        return textLines(headless);
    };
    const auto gameOver = [&](int frame) { g.drawGameOver(frame); };
    g.totalScore = 1000;
    EXPECT_EQ(shown(gameOver, 59).count(200), 0u);
    EXPECT_EQ(shown(gameOver, 60)[200], "SCORE: 1000");
    EXPECT_EQ(shown(gameOver, 120).count(450), 0u);
    g.totalScore = 1001;
    EXPECT_EQ(shown(gameOver, 120)[450], "ENTER YOUR NAME:");

    const auto table = [&](int frame) { g.drawHighScoreTable(frame); };
    EXPECT_EQ(shown(table, 1).size(), 1u);
    EXPECT_EQ(shown(table, 10).size(), 2u);
    EXPECT_EQ(shown(table, 11).size(), 3u);
    const auto rows = shown(table, 101);
    EXPECT_EQ(rows.at(400), "10: NOBODY1010");
    EXPECT_EQ(rows.at(130), "1 : NOBODY1019");
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
