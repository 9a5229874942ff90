// Streams and resources, and saving whole or not at all.
#include "runtime/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

std::string writeLines(const std::string& path, std::initializer_list<std::string> lines) {
    StreamPtr s = openForWriting(path);
    EXPECT_TRUE(s);
    for (const std::string& line : lines)
        writeLine(*s, line);
    EXPECT_TRUE(closeStream(s));
    return fileBytes(path);
}

}  // namespace

TEST(Streams, WriteLineStoresOneBytePerCharacterAndCrLf) {
    TempDir dir;
    std::string text;
    text.push_back(static_cast<char>(65));
    text.push_back(static_cast<char>(233));
    EXPECT_EQ(writeLines("a.txt", {text}), std::string("\x41\xE9\r\n"));
    EXPECT_EQ(writeLines("b.txt", {"", "x"}), "\r\nx\r\n");
}

TEST(Streams, ReadLineAcceptsCrLfLfAndStopsAtNul) {
    TempDir dir;
    writeBytes("crlf.txt", "one\r\ntwo\r\n");
    writeBytes("lf.txt", "one\ntwo\n");
    for (const char* name : {"crlf.txt", "lf.txt"}) {
        StreamPtr s = openForReading(name);
        ASSERT_TRUE(s);
        EXPECT_FALSE(atEnd(*s));
        EXPECT_EQ(readLine(*s), "one");
        EXPECT_EQ(readLine(*s), "two");
        EXPECT_TRUE(atEnd(*s));
        EXPECT_EQ(readLine(*s), "");  // past the end
        closeStream(s);
    }
    writeBytes("odd.txt", std::string("a\rb\0c\nlast", 10));
    StreamPtr s = openForReading("odd.txt");
    ASSERT_TRUE(s);
    EXPECT_EQ(readLine(*s), "ab");  // CR dropped wherever it stands, NUL ends the line
    EXPECT_EQ(readLine(*s), "c");
    EXPECT_EQ(readLine(*s), "last");  // no terminator at the end
    EXPECT_TRUE(atEnd(*s));
}

TEST(Streams, LongLinesComeBackWhole) {
    TempDir dir;
    const std::string longLine(100000, 'q');
    writeLines("long.txt", {longLine, "after"});
    StreamPtr s = openForReading("long.txt");
    ASSERT_TRUE(s);
    EXPECT_EQ(readLine(*s), longLine);
    EXPECT_EQ(readLine(*s), "after");
}

TEST(Streams, MissingFilesAndDirectoriesDoNotOpen) {
    TempDir dir;
    EXPECT_FALSE(openForReading("missing.txt"));
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(openForReading("folder"));
    EXPECT_FALSE(openForWriting("folder"));
    EXPECT_FALSE(openForWriting("no/such/dir/file.txt"));
}

TEST(Streams, BackslashesBecomeSlashes) {
    TempDir dir;
    std::filesystem::create_directory("sub");
    writeLines("sub\\f.txt", {"inside"});
    EXPECT_EQ(fileBytes("sub/f.txt"), "inside\r\n");
    EXPECT_EQ(normalisePath("a\\b\\c"), "a/b/c");
}

TEST(Streams, CreateFileEmptiesAnExistingFile) {
    TempDir dir;
    writeBytes("full.txt", "content");
    EXPECT_TRUE(createFile("full.txt"));
    EXPECT_EQ(fileBytes("full.txt"), "");
    EXPECT_TRUE(createFile("new.txt"));
    EXPECT_TRUE(std::filesystem::is_regular_file("new.txt"));
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(createFile("folder"));
}

TEST(AtomicSaving, TargetIsUntouchedUntilTheStreamCloses) {
    TempDir dir;
    writeBytes("prefs.txt", "old\r\n");
    StreamPtr s = openForWriting("prefs.txt");
    ASSERT_TRUE(s);
    writeLine(*s, "new");
    EXPECT_EQ(fileBytes("prefs.txt"), "old\r\n");
    EXPECT_TRUE(closeStream(s));
    EXPECT_EQ(fileBytes("prefs.txt"), "new\r\n");
    // Nothing is left behind beside the target.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(AtomicSaving, AnAbandonedWriteLeavesTheOldFile) {
    TempDir dir;
    writeBytes("scores.txt", "kept\r\n");
    {
        StreamPtr s = openForWriting("scores.txt");
        ASSERT_TRUE(s);
        writeLine(*s, "half");
        // Dropped without closeStream, as a crash mid-save would.
    }
    EXPECT_EQ(fileBytes("scores.txt"), "kept\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AtomicSaving, NewFilesGetOrdinaryPermissions) {
    TempDir dir;
    writeLines("fresh.txt", {"1"});
    struct stat info;
    ASSERT_EQ(stat("fresh.txt", &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(AtomicSaving, KeepsThePlayersLinkAndPermissions) {
    TempDir dir;
    std::filesystem::create_directory("real");
    writeBytes("real/prefs.fwk", "old\r\n");
    chmod("real/prefs.fwk", 0640);
    std::filesystem::create_symlink("real/prefs.fwk", "prefs.fwk");
    writeLines("prefs.fwk", {"new"});
    EXPECT_TRUE(std::filesystem::is_symlink("prefs.fwk"));
    EXPECT_EQ(fileBytes("real/prefs.fwk"), "new\r\n");
    struct stat info;
    ASSERT_EQ(stat("real/prefs.fwk", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicSaving, TheNextSaveRemovesTemporariesOfAKilledOne) {
    TempDir dir;
    writeBytes("scores.txt.tmp-Ab12Cd", "killed midway");
    // One that another copy of the game is writing right now holds its lock.
    writeBytes("scores.txt.tmp-Zz99Yy", "in progress");
    const int busy = open("scores.txt.tmp-Zz99Yy", O_RDONLY);
    ASSERT_EQ(flock(busy, LOCK_EX), 0);
    writeLines("scores.txt", {"saved"});
    EXPECT_FALSE(std::filesystem::exists("scores.txt.tmp-Ab12Cd"));
    EXPECT_TRUE(std::filesystem::exists("scores.txt.tmp-Zz99Yy"));
    close(busy);
    EXPECT_EQ(fileBytes("scores.txt"), "saved\r\n");
}

TEST(Resources, IncbinPathsOpenAddedResources) {
    clearResources();
    static const unsigned char first[] = {'h', 'i', '\r', '\n', 'x'};
    static const unsigned char second[] = {'n', 'o'};
    EXPECT_TRUE(addResource("blow.wav", first, sizeof first));
    EXPECT_FALSE(addResource("blow.wav", second, sizeof second));  // the first entry stays
    StreamPtr s = openForReading("incbin::blow.wav");
    ASSERT_TRUE(s);
    EXPECT_EQ(readLine(*s), "hi");
    EXPECT_EQ(readLine(*s), "x");
    EXPECT_TRUE(atEnd(*s));
    EXPECT_FALSE(openForReading("incbin::missing.wav"));
    EXPECT_FALSE(openForReading("incbin::blow.wa"));  // exact names only
    EXPECT_FALSE(openForWriting("incbin::blow.wav"));
    clearResources();
}

TEST(Resources, BinaryReadsStopAtTheEnd) {
    clearResources();
    static const unsigned char bytes[] = {1, 2, 3, 4, 5};
    addResource("five", bytes, sizeof bytes);
    StreamPtr s = openForReading("incbin::five");
    unsigned char into[8] = {};
    EXPECT_EQ(readBytes(*s, into, 3), 3u);
    EXPECT_EQ(bytesLeft(*s), 2u);
    EXPECT_EQ(readBytes(*s, into, 8), 2u);
    EXPECT_EQ(into[1], 5);
    EXPECT_TRUE(atEnd(*s));
    clearResources();
}
