// scores.txt: the defaults, loading in file order, bad content and saving.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/gameapp.h"
#include "tests/support/temp_dir.h"

namespace {

std::string defaultScores() {
    std::string s;
    for (int i = 0; i < 20; ++i)
        s += "NOBODY\r\n0\r\n";
    return s;
}

gameapp loaded() {
    gameapp g;
    g.fillDefaultScores();
    g.loadScores();
    return g;
}

}  // namespace

TEST(ScoreFile, MissingFileIsWrittenWithTwentyNobodies) {
    TempDir dir;
    const gameapp g = loaded();
    ASSERT_EQ(g.highScores.size(), 20u);
    EXPECT_EQ(g.highScores[19].name, "NOBODY");
    EXPECT_EQ(fileBytes("scores.txt"), defaultScores());
}

TEST(ScoreFile, LoadsInTheFilesOrderWithoutSorting) {
    TempDir dir;
    writeBytes("scores.txt", "LOW\r\n5\r\nHIGH\r\n900\nMID\n-3\n");
    const gameapp g = loaded();
    EXPECT_EQ(g.highScores[0].name, "LOW");
    EXPECT_EQ(g.highScores[0].score, 5);
    EXPECT_EQ(g.highScores[1].name, "HIGH");
    EXPECT_EQ(g.highScores[1].score, 900);
    EXPECT_EQ(g.highScores[2].score, -3);
    EXPECT_EQ(g.highScores[3].name, "NOBODY");  // beyond the file's end
    ASSERT_EQ(g.highScores.size(), 20u);
}

TEST(ScoreFile, BadContentLoadsSafely) {
    TempDir dir;
    const std::string longName(100000, 'N');
    writeBytes("scores.txt", longName + "\r\n12abc\r\n\r\nxyz\r\nODD\r\n" +
                                 "99999999999999999999\r\n" + std::string("\x00\xff", 2));
    const gameapp g = loaded();
    EXPECT_EQ(g.highScores[0].name, longName);
    EXPECT_EQ(g.highScores[0].score, 12);
    EXPECT_EQ(g.highScores[1].name, "");
    EXPECT_EQ(g.highScores[1].score, 0);
    EXPECT_EQ(g.highScores[2].name, "ODD");
    EXPECT_EQ(g.highScores[2].score, 7766279631452241919LL);  // 10^20 - 1 wrapped to 64 bits
    EXPECT_EQ(g.highScores[3].name, "");
    ASSERT_EQ(g.highScores.size(), 20u);
}

TEST(ScoreFile, SaveWritesFortyCrLfLinesInTableOrder) {
    TempDir dir;
    gameapp g;
    g.fillDefaultScores();
    g.highScores[0] = ScoreEntry{-42, "ANNA"};
    g.highScores[19] = ScoreEntry{INT64_MAX, std::string("\xe9", 1)};
    g.saveScores();
    std::string expected = "ANNA\r\n-42\r\n";
    for (int i = 1; i < 19; ++i)
        expected += "NOBODY\r\n0\r\n";
    expected += "\xe9\r\n9223372036854775807\r\n";
    EXPECT_EQ(fileBytes("scores.txt"), expected);
}
