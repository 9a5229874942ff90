// The settings: defaults, prefs.fwk read and written, bad files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "app/gameapp.h"
#include "persist/settings_table.h"
#include "runtime/files.h"
#include "tests/support/temp_dir.h"

namespace {

const char* kDefaultFile = "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n";

std::vector<int> settings(const gameapp& g) {
    return {g.settingSpare1, g.playersSpeed, g.flexibility, g.settingSpare2, g.blowPower,
            g.plasmaEffects, g.slowMotion,   g.fullscreen,  g.soundsVolume,  g.settingSpare3,
            g.gravity,       g.aiLevel,      g.blood};
}

const std::vector<int> kDefaults = {1, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3};

}  // namespace

TEST(Settings, CreationValuesThenDefaults) {
    gameapp g;
    EXPECT_EQ(settings(g), (std::vector<int>{0, 3, 3, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0}));
    g.setDefaultSettings();
    EXPECT_EQ(settings(g), kDefaults);
    g.blood = 99;
    g.resetOptions();
    EXPECT_EQ(settings(g), kDefaults);
}

TEST(Settings, MissingFileIsCreatedWithTheDefaultsAndReadBack) {
    TempDir dir;
    gameapp g;
    g.setDefaultSettings();
    g.loadPreferences();
    EXPECT_EQ(fileBytes("prefs.fwk"), kDefaultFile);
    EXPECT_EQ(settings(g), kDefaults);
}

TEST(Settings, SaveWritesExactlyThirteenCrLfLines) {
    TempDir dir;
    gameapp g;
    g.setDefaultSettings();
    g.gravity = -7;
    g.blood = 99;
    g.savePreferences();
    EXPECT_EQ(fileBytes("prefs.fwk"),
              "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n-7\r\n1\r\n99\r\n");
}

TEST(Settings, LoadedValuesAreNotClamped) {
    TempDir dir;
    writeBytes("prefs.fwk", "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n99\r\n");
    gameapp g;
    g.setDefaultSettings();
    g.loadPreferences();
    EXPECT_EQ(g.blood, 99);
}

TEST(Settings, BadFilesLoadWithoutHarm) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<int> expected;
    };
    const std::string longLine(100000, '7');
    const std::vector<Case> cases = {
        {"empty", "", kDefaults},
        {"short", "2\r\n9\r\n", {2, 9, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3}},
        {"LF only",
         "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"negative and huge",
         "-5\r\n99999999999\r\n-"
         "2147483648\r\n2147483647\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1"
         "\r\n",
         {-5, 1215752191, -2147483647 - 1, 2147483647, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"garbage lines",
         "abc\r\n12abc\r\n\r\n $10\r\n",
         {0, 12, 0, 16, 5, 1, 3, 0, 10, 0, 1, 1, 3}},
        {"binary",
         std::string("\x01\xff\x00\x7f\x80\n\x00\x00", 8),
         {0, 0, 0, 0, 5, 1, 3, 0, 10, 0, 1, 1, 3}},
        {"one huge line", longLine, {1908874353, 4, 5, 1, 5, 1, 3, 0, 10, 0, 1, 1, 3}},
        {"extra lines", std::string(kDefaultFile) + "55\r\n66\r\n", kDefaults},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes("prefs.fwk", c.bytes);
        gameapp g;
        g.setDefaultSettings();
        g.loadPreferences();
        EXPECT_EQ(settings(g), c.expected) << c.what;
        EXPECT_EQ(fileBytes("prefs.fwk"), c.bytes) << c.what << ": loading must not rewrite it";
    }
}

TEST(Settings, UnwritableDirectoryKeepsDefaultsSilently) {
    TempDir dir;
    EXPECT_TRUE(inReadOnlyDirectory([] {
        gameapp g;
        g.setDefaultSettings();
        g.loadPreferences();
        return settings(g) == kDefaults && !std::filesystem::exists("prefs.fwk");
    }));
    EXPECT_FALSE(std::filesystem::exists("prefs.fwk"));
}

TEST(Settings, UnreadableFileKeepsDefaultsAndIsNotReplaced) {
    TempDir dir;
    // A directory where the file should be: neither readable as a file nor replaceable.
    std::filesystem::create_directory("prefs.fwk");
    gameapp g;
    g.setDefaultSettings();
    g.loadPreferences();
    EXPECT_EQ(settings(g), kDefaults);
    EXPECT_TRUE(std::filesystem::is_directory("prefs.fwk"));

    // A file the player cannot read keeps its content rather than taking the defaults.
    TempDir other;
    chmod(".", 0777);
    writeBytes("prefs.fwk", "2\r\n");
    chmod("prefs.fwk", 0222);
    EXPECT_TRUE(asOrdinaryUser([] {
        gameapp h;
        h.setDefaultSettings();
        h.loadPreferences();
        return settings(h) == kDefaults;
    }));
    EXPECT_EQ(fileBytes("prefs.fwk"), "2\r\n");
}

TEST(Settings, AReadOnlyDirectorySavesInPlaceOrKeepsTheOldFile) {
    const char* saved = "1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n0\r\n";
    // A file the player may write is overwritten in place; one they may not keeps its bytes.
    for (const mode_t mode : {0666, 0644}) {
        TempDir dir;
        writeBytes("prefs.fwk", kDefaultFile);
        chmod("prefs.fwk", mode);
        EXPECT_TRUE(inReadOnlyDirectory([] {
            gameapp g;
            g.setDefaultSettings();
            g.blood = 0;
            g.savePreferences();
            return true;
        }));
        EXPECT_EQ(fileBytes("prefs.fwk"), mode == 0666 ? saved : kDefaultFile) << mode;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST(Settings, OutOfRangeNamesTheSettingTheValueAndTheRange) {
    struct Case {
        int gameapp::*field;
        int value;
        const char* why;
    };
    const Case cases[] = {
        {&gameapp::blood, -1, "BLOOD is -1, outside 0 to 5"},
        {&gameapp::blood, 0, ""},
        {&gameapp::blood, 5, ""},
        {&gameapp::blood, 6, "BLOOD is 6, outside 0 to 5"},
        {&gameapp::blood, 999999999, "BLOOD is 999999999, outside 0 to 5"},
        {&gameapp::flexibility, 0, "FLEXIBILITY is 0, outside 1 to 20"},
        {&gameapp::flexibility, 1, ""},
        {&gameapp::flexibility, 20, ""},
        {&gameapp::flexibility, 21, "FLEXIBILITY is 21, outside 1 to 20"},
        {&gameapp::settingSpare2, 8,
         "the spare setting on line 4 of prefs.fwk is 8, outside 1 to 7"},
        {&gameapp::settingSpare1, INT_MIN, ""},
        {&gameapp::fullscreen, 7, ""},
    };
    for (const Case& c : cases) {
        gameapp g;
        g.setDefaultSettings();
        g.*c.field = c.value;
        EXPECT_EQ(settingOutOfRange(g), c.why) << c.value;
    }
}
