#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gameapp.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/screen_text.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> topNames(const gameapp& g) {
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i)
        names.push_back(g.highScores[static_cast<std::size_t>(i)].name);
    return names;
}

class ScoreScreens : public HeadlessTest {
  protected:
    ScoreScreens() {
        openWindow();
        g.fillDefaultScores();
    }
    void pressInFrame(int k, int code) { headless.pressAt(start + k - 1, code); }
    TempDir dir;
    gameapp g;
    int start = 0;
};

TEST(HighScores, EqualScoresChangePlacesOnEverySort) {
    gameapp g;
    g.fillDefaultScores();
    g.highScores[0] = {500, "OLD"};
    g.highScores[1] = {300, "B"};
    g.highScores[2] = {300, "C"};
    g.addScore("NEW", 300);
    // The new entry comes first among the 300s; where the others land depends
    // on how many passes the twenty rows take, and every sort moves them again.
    EXPECT_EQ(topNames(g), (std::vector<std::string>{"OLD", "NEW", "B", "C"}));
    g.sortScores();
    EXPECT_EQ(topNames(g), (std::vector<std::string>{"OLD", "NEW", "C", "B"}));
    g.addScore("TOP", -1);  // the low 32 bits, read as unsigned
    EXPECT_EQ(g.highScores[0].score, 4294967295);
    EXPECT_EQ(g.highScores.size(), 20u);

    gameapp empty;  // a short table stays safe and fills up
    EXPECT_EQ(empty.lowestTableScore(), 0);
    empty.addScore("ONE", 5);
    EXPECT_EQ(empty.highScores.size(), 1u);
}

TEST_F(ScoreScreens, TheNameEntryKeepsFifteenAllowedCharactersInUpperCase) {
    g.totalScore = 5;
    onChar('z');
    g.drawGameOver(2);  // typed before the screen: drained
    for (char c : std::string("abc\"~defghijklmnopq"))
        onChar(static_cast<std::uint16_t>(c));
    for (int f = 3; f <= 120; ++f) {
        g.drawGameOver(f);
        presentFrame();
    }
    EXPECT_EQ(g.playerName, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(textLines(headless)[542], "ABCDEFGHIJKLMNO");
    onChar(8);
    g.drawGameOver(121);
    EXPECT_EQ(g.playerName, "ABCDEFGHIJKLMN");
}

TEST_F(ScoreScreens, TheTableShowsARowEveryFiveFrames) {
    g.highScores[0].name = std::string(
        "\x01\xff"
        "ANNA",
        6);  // bytes without a glyph are skipped
    g.drawHighScoreTable(51);
    presentFrame();
    auto lines = textLines(headless);
    EXPECT_EQ(lines[130], "1 : ANNA0");
    EXPECT_EQ(lines[400], "10: NOBODY0");
    EXPECT_EQ(lines.count(430), 0u);
}

TEST_F(ScoreScreens, OptionsStepOncePerFrameClampWrapAndSave) {
    writeBytes("prefs.fwk",
               "1\r\n4\r\n20\r\n1\r\n5\r\n1\r\n3\r\n0\r\n0\r\n0\r\n2147483647\r\n1\r\n99\r\n");
    g.setDefaultSettings();
    g.loadPreferences();
    start = headless.framesPresented();
    // Gravity up from the top of the integer range in the first frame; Up wraps to RESET OPTIONS,
    // where a Right does nothing, not even to SOUNDS VOLUME above it; Down wraps back.
    const std::vector<int> keys = {KeyRight, KeyUp,   KeyRight, KeyUp,    KeyDown,
                                   KeyDown,  KeyDown, KeyRight, KeyDown,  KeyRight,
                                   KeyDown,  KeyDown, KeyLeft,  KeyEscape};
    for (std::size_t k = 0; k < keys.size(); ++k)
        pressInFrame(static_cast<int>(k) + 1, keys[k]);
    headless.keyUpAt(start + 7, KeyRight);  // a second press in the same frame: still one step
    headless.keyDownAt(start + 7, KeyRight);
    g.runOptionsScreen();
    EXPECT_EQ(fileBytes("prefs.fwk"),
              "1\r\n5\r\n20\r\n1\r\n5\r\n1\r\n3\r\n0\r\n0\r\n0\r\n10\r\n1\r\n5\r\n");

    // Enter held on RESET OPTIONS restores the defaults and stays; on GRAVITY it leaves.
    start = headless.framesPresented();
    pressInFrame(2, KeyUp);
    pressInFrame(3, KeyEnter);
    pressInFrame(4, KeyDown);
    pressInFrame(5, KeyEnter);
    g.runOptionsScreen();
    EXPECT_EQ(headless.framesPresented() - start, 5);
    EXPECT_EQ(fileBytes("prefs.fwk"),
              "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n");
}

}  // namespace
