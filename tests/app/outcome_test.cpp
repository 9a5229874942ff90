#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tests/support/fight_fixture.h"
#include "tests/support/screen_text.h"
#include "tests/support/temp_dir.h"

namespace {

// The bodies at the end of the scripted one-player game below. Update it only
// for a deliberate change of how fights or games run.
constexpr std::uint64_t kWholeOnePlayerGameHash = 0x17adbcf2e2baed95ull;

class Outcome : public fighttest::FightTest {
  protected:
    Outcome() {
        g.fillDefaultScores();
        headless.closeWindowAt(at(4000));  // a game that never ends fails instead of hanging
    }
    void emptyOpponents() {
        for (int i = 2; i <= g.fighterCount; ++i)
            g.fighters[i].energy = 0.0f;
    }
    TempDir dir;
};

TEST_F(Outcome, TwentyLevelsWonWithTheChordEndInTheNameEntry) {
    for (int key : {Key7, Key9, KeyEnter})
        headless.keyDownAt(at(0), key);
    bool named = false;
    headless.onPresent([&](int f) {
        if (named || g.matchState != "game over") return;
        named = true;
        headless.keyUpAt(f + 1, KeyEnter);
        for (char c : {'a', 'n', 'n', 'a'})
            headless.typeAt(f + 5, static_cast<std::uint16_t>(c));
        headless.keyDownAt(f + 40, KeyEnter);
    });
    g.mode = "1";
    g.runGame();
    EXPECT_EQ(g.level, 21);
    EXPECT_EQ(g.totalScore, 2000000);  // twenty full-energy bonuses
    EXPECT_EQ(fileBytes("scores.txt").substr(0, 15), "ANNA\r\n2000000\r\n");
    EXPECT_EQ(fighttest::hashPositions(g), kWholeOnePlayerGameHash);
}

TEST_F(Outcome, BothFallingInOneFrameLosesWithTheBonusAndEscSkipsTheTable) {
    g.saveScores();
    const std::string before = fileBytes("scores.txt");
    bool sawGameOver = false;
    headless.onPresent([&](int f) {
        if (f == at(105)) {  // after "FIGHT!", which would replace the result
            g.score = 1234;
            g.fighters[1].energy = NAN;  // counts as fallen
            emptyOpponents();
        }
        if (!sawGameOver && g.matchState == "game over") {
            sawGameOver = true;
            headless.typeAt(f + 5, 'x');
            headless.keyDownAt(f + 30, KeyEscape);
        }
    });
    g.mode = "1";
    g.runGame();
    EXPECT_TRUE(sawGameOver);
    EXPECT_EQ(g.message, "  YOU LOSE!  ");
    EXPECT_EQ(g.totalScore, 1234);  // player 1 emptied first: a bonus of 0
    EXPECT_EQ(g.fightResult, 3);
    EXPECT_EQ(fileBytes("scores.txt"), before);
}

TEST_F(Outcome, AVersusDoubleFallCountsForPlayerTwo) {
    std::string tally;
    headless.onPresent([&](int f) {
        if (g.wins[2] == 0 && g.frameCount == 5) {
            g.fighters[1].energy = g.fighters[2].energy = 0.0f;
            headless.keyDownAt(f + 3, KeySpace);
        }
        if (g.wins[2] == 1 && g.frameCount == 2) {
            tally = g.message;
            headless.keyDownAt(f + 1, KeyEscape);
        }
    });
    g.mode = "2vs";
    g.runGame();
    EXPECT_EQ(tally, "  0 - 1  ");
}

TEST_F(Outcome, CoopIsLostOnlyWhenBothPlayersFallAndTotalsWrap) {
    setUp("2coop", 1);
    g.fighters[1].energy = 0.0f;
    frames(1);
    EXPECT_EQ(g.roundState, 0);
    g.fighters[2].energy = -1.0f;
    frames(1);
    EXPECT_EQ(g.roundState, 2);

    setUp("1", 1);
    g.totalScore = INT64_MAX;
    g.score = 1;
    emptyOpponents();
    frames(1);
    EXPECT_EQ(g.message, "  YOU WIN!  ");
    EXPECT_EQ(g.totalScore, INT64_MIN + 100000);
}

TEST_F(Outcome, TheSummaryCountsTheScoresOverToTheTotal) {
    setUp("1", 3);
    g.score = 600;
    g.maxCombo = 4;
    g.levelStartScore = 1073741825;
    g.totalScore = 2147483651;
    g.fighters[1].energy = g.fighters[1].maxEnergy / 2;  // a bonus of 25000
    g.showLevelSummary(90);  // t = 91: only the first row, and its value just now
    presentFrame();
    EXPECT_EQ(textLines(headless)[240], "MAX COMBO: 4");
    EXPECT_EQ(textLines(headless).count(340), 0u);
    struct Row {
        int e;
        const char *combo, *bonus, *total;
    };
    // The total is summed in single precision while it counts.
    for (const Row& r :
         {Row{298, "600", "25000", "1073741825"}, Row{359, "300", "12500", "1610612736"},
          Row{420, "0", "0", "-2147483645"}}) {
        g.showLevelSummary(r.e);
        presentFrame();
        auto lines = textLines(headless);
        EXPECT_EQ(lines[50], "LEVEL 3 COMPLETED");
        EXPECT_EQ(lines[340], std::string("COMBO SCORE: ") + r.combo) << r.e;
        EXPECT_EQ(lines[440], std::string("ENERGY BONUS: ") + r.bonus) << r.e;
        EXPECT_EQ(lines[540], std::string("TOTAL SCORE: ") + r.total) << r.e;
    }
}

}  // namespace
