// The table's sort and the OPTIONS screen.
#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/temp_dir.h"

TEST(HighScores, EqualScoresChangePlacesOnEverySort) {
    gameapp g;
    g.fillDefaultScores();
    g.highScores[0] = {500, "OLD"};
    g.highScores[1] = {300, "B"};
    g.highScores[2] = {300, "C"};
    const std::vector<ScoreEntry>& s = g.highScores;
    // The new entry comes first among the 300s; where the others land depends
    // on how many passes the twenty rows take, and every sort moves them again.
    g.addScore("N", 300);
    EXPECT_EQ(s[1].name + s[2].name + s[3].name, "NBC");
    g.sortScores();
    EXPECT_EQ(s[1].name + s[2].name + s[3].name, "NCB");
    g.addScore("TOP", -1);  // the low 32 bits, read as unsigned
    EXPECT_EQ(s[0].score, 4294967295);
    EXPECT_EQ(s.size(), 20u);
}

class OptionsScreen : public HeadlessTest {};

TEST_F(OptionsScreen, StepsOncePerFrameClampsWrapsAndSaves) {
    TempDir dir;
    openWindow();
    gameapp g;
    // Runs the screen with one key pressed in each of its frames, from the first.
    const auto run = [&](const std::vector<int>& keys) {
        const int start = headless.framesPresented();
        for (std::size_t k = 0; k < keys.size(); ++k)
            headless.pressAt(start + static_cast<int>(k), keys[k]);
        g.runOptionsScreen();
        EXPECT_EQ(headless.framesPresented() - start, static_cast<int>(keys.size()));
        return fileBytes("prefs.fwk");
    };
    writeBytes("prefs.fwk",
               "1\r\n4\r\n20\r\n1\r\n5\r\n1\r\n3\r\n0\r\n0\r\n0\r\n2147483647\r\n1\r\n99\r\n");
    g.loadPreferences();
    // A second Right in the frame of the first: still one step.
    headless.keyUpAt(headless.framesPresented() + 7, KeyRight);
    headless.keyDownAt(headless.framesPresented() + 7, KeyRight);
    // Gravity up from the top of the integer range in the first frame; Up wraps
    // to RESET OPTIONS, where a Right does nothing, not even to SOUNDS VOLUME
    // once the highlight gets there; Down wraps back to GRAVITY.
    EXPECT_EQ(run({KeyRight, KeyUp, KeyRight, KeyUp, KeyDown, KeyDown, KeyDown, KeyRight, KeyDown,
                   KeyRight, KeyDown, KeyDown, KeyLeft, KeyEscape}),
              "1\r\n5\r\n20\r\n1\r\n5\r\n1\r\n3\r\n0\r\n0\r\n0\r\n10\r\n1\r\n5\r\n");
    // Enter on RESET OPTIONS restores the defaults and stays; on GRAVITY it leaves.
    EXPECT_EQ(run({KeyUp, KeyEnter, KeyDown, KeyEnter}),
              "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n");
}
